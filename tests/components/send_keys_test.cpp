// The key sender: what it sends through a recording backend, and, under the Xvfb fixture, keys
// typed into a window of our own found by its title.
#include "components/gui/send_keys.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/core/code_pages.h"
#include "platform/core/language.h"
#include "platform/gui/text.h"
#include "tests/support/recording_key_backend.h"

// After Qt: the X headers define macros that Qt uses as names.
// clang-format off
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
// clang-format on

namespace components {
namespace {

using testing_support::RecordingBackend;

TKeyEvent Down(TKeySym k) { return {true, k}; }
TKeyEvent Up(TKeySym k) { return {false, k}; }

TEST(SendKeys, KeyStringsBecomeKeyEventsOfTheLayout) {
  struct Case {
    std::string keys;
    std::vector<TKeyEvent> events;
    const char* name;
  };
  const Case cases[] = {
      {"\xFC"
       "5\xFD",
       {Down(kKeyControl), Down('5'), Up('5'), Up(kKeyControl)},
       "Ctrl down, 5, Ctrl up"},
      {"12\r",
       {Down('1'), Up('1'), Down('2'), Up('2'), Down(kKeyReturn), Up(kKeyReturn)},
       "digits and Enter"},
      {"A", {Down(kKeyShift), Down('A'), Up('A'), Up(kKeyShift)}, "a capital with Shift"},
      {"\xE4", {Down(kKeyF1), Up(kKeyF1)}, "228 is F1"},
      {"\xEF", {}, "a key the keyboard lacks (F12) is skipped"},
      {"\x80",
       {Down(kKeyLevel3), Down(0x20AC), Up(0x20AC), Up(kKeyLevel3)},
       "ANSI 128 is the euro sign, on the third level"},
      {"a\xB5"
       "b",
       {Down('a'), Up('a'), Down('b'), Up('b')},
       "a character the layout cannot type is skipped"},
      {"\xFE"
       "\xFC",
       {Down(kKeyAlt), Down(kKeyControl), Up(kKeyAlt), Up(kKeyControl)},
       "held modifiers are released at the end, Alt before Ctrl"},
      {"", {}, "an empty string sends nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingBackend backend;
    TSendKeys sender(&backend);
    EXPECT_TRUE(sender.SendKeyString(c.keys));
    EXPECT_EQ(backend.events, c.events);
  }
}

TEST(SendKeys, NothingIsSentWithoutTheWindow) {
  RecordingBackend backend;
  backend.window_title = "Caf\xC3\xA9";
  TSendKeys sender(&backend);
  EXPECT_FALSE(sender.SendKeysTo("Viewer", "12\r"));
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"find Viewer"}));
  EXPECT_TRUE(backend.events.empty());

  // The ANSI title reaches the desktop as UTF-8.
  EXPECT_EQ(sender.FindWindowByTitle("Caf\xE9"), 42u);
  backend.calls.clear();
  backend.activates = false;
  EXPECT_FALSE(sender.SendKeysTo("Caf\xE9", "12\r"));
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"find Caf\xC3\xA9", "activate 42"}));
  EXPECT_TRUE(backend.events.empty()) << "not activated: nothing sent";
  EXPECT_FALSE(sender.ActivateWindow(0));

  backend.activates = true;
  backend.calls.clear();
  EXPECT_TRUE(sender.SendKeysTo("Caf\xE9", "1"));
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"find Caf\xC3\xA9", "activate 42", "begin"}));
  EXPECT_EQ(backend.events, (std::vector<TKeyEvent>{Down('1'), Up('1')}));
}

// For a Russian user the key string's bytes and the title are ANSI 1251, as everywhere else.
TEST(SendKeys, ARussianUsersKeysAndTitlesAreCyrillic) {
  platform::SetTestLanguage("ru_RU.UTF-8");
  platform::ChooseCodePages();
  RecordingBackend backend;
  backend.window_title = "\xD0\x9E\xD0\xBA\xD0\xBD\xD0\xBE";  // "Okno" in Cyrillic, UTF-8
  TSendKeys sender(&backend);
  // "MIR" in capitals: bytes from 228 are key codes, not letters.
  const bool sent = sender.SendKeysTo("\xCE\xEA\xED\xEE", "\xCC\xC8\xD0");  // 1251
  platform::SetTestLanguage("en_US.UTF-8");
  platform::ChooseCodePages();
  platform::ClearTestLanguage();
  EXPECT_TRUE(sent);
  EXPECT_EQ(backend.calls.front(), "find " + backend.window_title);
  EXPECT_EQ(backend.events,
            (std::vector<TKeyEvent>{Down(0x100041C), Up(0x100041C), Down(0x1000418), Up(0x1000418),
                                    Down(0x1000420), Up(0x1000420)}));
}

TEST(SendKeys, AFailedKeyStopsTheStringAndReleasesWhatIsDown) {
  RecordingBackend backend;
  backend.fail_on = 'B';
  TSendKeys sender(&backend);
  EXPECT_FALSE(
      sender.SendKeyString("\xFC"
                           "aBc"));
  EXPECT_EQ(backend.events, (std::vector<TKeyEvent>{Down(kKeyControl), Down('a'), Up('a'),
                                                    Down('B'), Up(kKeyControl)}));
}

TEST(SendKeys, UnicodeCharactersHaveTheirKeysyms) {
  struct Case {
    char32_t ch;
    std::vector<uint32_t> keysyms;
    const char* name;
  };
  const Case cases[] = {
      {U'a', {0x61}, "ASCII"},
      {U'\u00E9', {0xE9}, "Latin-1"},
      {U'\u20AC', {0x20AC, 0x10020AC}, "euro sign: its own keysym, then Unicode"},
      {U'\u0416', {0x6F6, 0x1000416}, "Cyrillic"},
      {U'\u02C6', {0x10002C6}, "no keysym of its own: Unicode only"},
      {U'\r', {}, "control character"},
      {U'\u0085', {}, "C1 control character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::gui::KeysymsForUnicode(c.ch), c.keysyms);
  }
}

TEST(SendKeys, WithoutADisplayNothingIsFoundOrSent) {
  const char* old = ::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  ::unsetenv("DISPLAY");
  {
    TSendKeys sender;
    EXPECT_EQ(sender.FindWindowByTitle("Anything"), 0u);
    EXPECT_FALSE(sender.SendKeysTo("Anything", "1"));
    EXPECT_FALSE(sender.SendKeyString("1"));
  }
  if (old) ::setenv("DISPLAY", saved.c_str(), 1);
}

// Processes events until done() holds or the deadline passes.
template <typename Done>
bool WaitUntil(Done done, int milliseconds = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qSleep(5);
  }
  return true;
}

// A top-level window of our own with a line edit that has the focus.
struct TargetWindow {
  explicit TargetWindow(const QString& title) {
    window.setWindowTitle(title);
    window.resize(240, 60);
    edit = new QLineEdit(&window);
    edit->setGeometry(10, 10, 200, 24);
    QObject::connect(edit, &QLineEdit::returnPressed, [this] { ++returns; });
    window.show();
    edit->setFocus();
  }
  QWidget window;
  QLineEdit* edit;
  int returns = 0;
};

// Keys typed into a window found by its title, the focus taken from another window of ours.
void ExpectKeysArriveInTheWindowWithTheTitle() {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  TargetWindow other(QString::fromUtf8("Another window"));
  TargetWindow target(QString::fromUtf8("Exam viewer \u00E9"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&target.window));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other.window));
  other.window.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &other.window; }));

  TSendKeys sender;
  const TSendKeys::THandle handle = sender.FindWindowByTitle("Exam viewer \xE9");
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(handle, target.window.winId());
  EXPECT_EQ(sender.FindWindowByTitle("Exam viewer"), 0u) << "titles match exactly";

  ASSERT_TRUE(sender.SendKeysTo("Exam viewer \xE9", "Ab1 x\r"));
  EXPECT_TRUE(WaitUntil([&] { return target.returns == 1; }));
  EXPECT_EQ(target.edit->text(), "Ab1 x");
  EXPECT_EQ(QApplication::activeWindow(), &target.window);
  // With Ctrl held by its codes, "a" selects all; the next character replaces it.
  ASSERT_TRUE(sender.SendKeysTo("Exam viewer \xE9",
                                "\xFC"
                                "a\xFD"
                                "Z"));
  EXPECT_TRUE(WaitUntil([&] { return target.edit->text() == "Z"; }));
  // Home and Shift+End, then Delete, through the navigation codes.
  ASSERT_TRUE(sender.SendKeysTo("Exam viewer \xE9", "q\xF0\xFA\xF1\xFB\xF9"));
  EXPECT_TRUE(WaitUntil([&] { return target.edit->text().isEmpty(); }));
  EXPECT_TRUE(other.edit->text().isEmpty()) << "nothing went to the other window";
  EXPECT_EQ(other.returns, 0);

  EXPECT_FALSE(sender.SendKeysTo("No such window", "abc"));
  QTest::qWait(50);
  EXPECT_TRUE(target.edit->text().isEmpty());
  EXPECT_TRUE(other.edit->text().isEmpty());
}

// A window hidden again is no longer found.
void ExpectHiddenWindowsAreNotFound() {
  TargetWindow target(QString::fromUtf8("Hidden target"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&target.window));
  TSendKeys sender;
  EXPECT_NE(sender.FindWindowByTitle("Hidden target"), 0u);
  target.window.hide();
  platform::gui::X11KeySender probe;
  EXPECT_TRUE(WaitUntil([&] { return probe.FindWindowByTitle("Hidden target") == 0; }));
}

TEST(X11SendKeys, KeysArriveInTheWindowWithTheTitle) { ExpectKeysArriveInTheWindowWithTheTitle(); }

TEST(X11SendKeys, HiddenWindowsAreNotFound) { ExpectHiddenWindowsAreNotFound(); }

// A window manager's announcement and client list left behind when it is gone (its check
// window names no manager, or is gone itself) are not used: the window is found on screen.
TEST(X11SendKeys, AStaleWindowManagerClientListIsNotUsed) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Window root = DefaultRootWindow(display);
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  const Atom clients = XInternAtom(display, "_NET_CLIENT_LIST", False);
  const Atom stacking = XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False);
  TargetWindow target(QString::fromUtf8("Behind a stale list"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&target.window));
  for (const bool manager_window_destroyed : {false, true}) {
    SCOPED_TRACE(manager_window_destroyed ? "the manager's window is gone"
                                          : "the window names no manager");
    Window gone = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    if (manager_window_destroyed) {
      XChangeProperty(display, gone, check, XA_WINDOW, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&gone), 1);
    }
    for (const Atom list : {check, clients, stacking}) {
      XChangeProperty(display, root, list, XA_WINDOW, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&gone), 1);
    }
    if (manager_window_destroyed) XDestroyWindow(display, gone);
    XSync(display, False);
    TSendKeys sender;
    EXPECT_EQ(sender.FindWindowByTitle("Behind a stale list"), target.window.winId());
    for (const Atom list : {check, clients, stacking}) XDeleteProperty(display, root, list);
    if (!manager_window_destroyed) XDestroyWindow(display, gone);
    XSync(display, False);
  }
  XCloseDisplay(display);
}

// ---- Under a window manager ----

// Sends a client message about `window` to the root window, as pagers ask the manager.
void AskManager(Display* display, Window window, const char* type, long l0, long l1) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, type, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

int MapState(Display* display, Window window) {
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, window, &attributes);
  return attributes.map_state;
}

TEST(X11DesktopSendKeys, KeysArriveInTheWindowWithTheTitle) {
  ExpectKeysArriveInTheWindowWithTheTitle();
}

TEST(X11DesktopSendKeys, HiddenWindowsAreNotFound) { ExpectHiddenWindowsAreNotFound(); }

// Of two windows with one title the front-most is found, whichever was mapped first.
TEST(X11DesktopSendKeys, OfTwoWindowsWithTheSameTitleTheFrontMostIsFound) {
  TargetWindow first(QString::fromUtf8("Same title"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&first.window));
  QTest::qWait(100);
  TargetWindow second(QString::fromUtf8("Same title"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&second.window));
  platform::gui::X11KeySender probe;
  EXPECT_TRUE(WaitUntil([&] {
    return probe.FindWindowByTitle("Same title") == second.window.winId();
  })) << "the newer window is in front";
  ASSERT_TRUE(probe.ActivateWindow(first.window.winId()));
  EXPECT_TRUE(WaitUntil([&] {
    return probe.FindWindowByTitle("Same title") == first.window.winId();
  })) << "the window brought to the front";
}

// A window on another workspace is found, brought to the user and typed into.
TEST(X11DesktopSendKeys, AWindowOnAnotherWorkspaceIsFoundAndGetsTheKeys) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  TargetWindow target(QString::fromUtf8("Elsewhere"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&target.window));
  const Window id = static_cast<Window>(target.window.winId());
  AskManager(display, id, "_NET_WM_DESKTOP", 1, 2);  // 2: a pager's request
  const bool moved = WaitUntil([&] { return MapState(display, id) != IsViewable; });
  TSendKeys sender;
  const TSendKeys::THandle found = sender.FindWindowByTitle("Elsewhere");
  const bool sent = sender.SendKeysTo("Elsewhere", "ws2\r");
  const bool arrived = WaitUntil([&] { return target.returns == 1; });
  AskManager(display, DefaultRootWindow(display), "_NET_CURRENT_DESKTOP", 0, CurrentTime);
  XCloseDisplay(display);
  ASSERT_TRUE(moved) << "the manager did not take the window to the other workspace";
  EXPECT_EQ(found, target.window.winId());
  EXPECT_TRUE(sent);
  EXPECT_TRUE(arrived);
  EXPECT_EQ(target.edit->text(), "ws2");
}

// A spare key made to carry the section sign on its first level and the euro sign on its
// third: ANSI characters above 127 are typed by their keysyms, the euro with the third-level
// shift. The key is given back its empty mapping afterwards.
TEST(X11SendKeys, AnsiCharactersAndTheThirdLevelComeFromTheKeymap) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  int min_code = 0, max_code = 0;
  XDisplayKeycodes(display, &min_code, &max_code);
  int per_code = 0;
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(min_code),
                                    max_code - min_code + 1, &per_code);
  ASSERT_NE(map, nullptr);
  int spare = 0;
  for (int code = max_code; code >= min_code && spare == 0; --code) {
    bool empty = true;
    for (int i = 0; i < per_code; ++i) empty = empty && map[(code - min_code) * per_code + i] == 0;
    if (empty) spare = code;
  }
  XFree(map);
  ASSERT_NE(spare, 0);
  // Four levels in group 1: the section sign plain and shifted, the euro sign on levels 3, 4.
  XkbDescPtr xkb = XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd);
  ASSERT_NE(xkb, nullptr);
  XkbGetNames(display, XkbKeyTypeNamesMask, xkb);
  int four_level = -1;
  for (int i = 0; i < xkb->map->num_types; ++i) {
    char* name = XGetAtomName(display, xkb->map->types[i].name);
    if (name && std::string(name) == "FOUR_LEVEL") four_level = i;
    if (name) XFree(name);
  }
  ASSERT_GE(four_level, 0);
  XkbMapChangesRec changes{};
  int types[XkbNumKbdGroups] = {four_level};
  ASSERT_EQ(XkbChangeTypesOfKey(xkb, spare, 1, XkbGroup1Mask, types, &changes), Success);
  KeySym* syms = XkbResizeKeySyms(xkb, spare, 4);
  ASSERT_NE(syms, nullptr);
  syms[0] = syms[1] = XK_section;
  syms[2] = syms[3] = XK_EuroSign;
  changes.changed |= XkbKeySymsMask;
  changes.first_key_sym = static_cast<KeyCode>(spare);
  changes.num_key_syms = 1;
  XkbChangeMap(display, xkb, &changes);
  XkbFreeKeyboard(xkb, 0, True);
  XSync(display, False);

  TargetWindow target(QString::fromUtf8("Third level"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&target.window));
  QTest::qWait(100);  // the toolkit reads the changed keymap
  TSendKeys sender;
  const bool sent = sender.SendKeysTo("Third level", "\xA7\x80");
  const bool arrived = WaitUntil([&] { return target.edit->text().size() == 2; });
  KeySym none[1] = {0};
  XChangeKeyboardMapping(display, spare, 1, none, 1);
  XCloseDisplay(display);
  ASSERT_TRUE(sent);
  EXPECT_TRUE(arrived);
  EXPECT_EQ(target.edit->text(), QString::fromUtf8("\u00A7\u20AC"));
}

}  // namespace
}  // namespace components
