#include "platform/gui/x11_keys.h"

// Qt before the X headers: they define macros (None, Bool, KeyPress, ...) that Qt's headers
// use as names.
#include <QCoreApplication>
// clang-format off
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <thread>
#include <unordered_map>
#include <utility>

namespace platform::gui {

namespace {

// The characters of the Windows code pages 1252 and 1251 outside Latin-1 that have a keysym of
// their own in the X tables, sorted by character.
constexpr std::pair<char32_t, uint32_t> kLegacyKeysyms[] = {
    {0x0152, 0x13BC}, {0x0153, 0x13BD}, {0x0160, 0x01A9}, {0x0161, 0x01B9}, {0x0178, 0x13BE},
    {0x017D, 0x01AE}, {0x017E, 0x01BE}, {0x0192, 0x08F6}, {0x0401, 0x06B3}, {0x0402, 0x06B1},
    {0x0403, 0x06B2}, {0x0404, 0x06B4}, {0x0405, 0x06B5}, {0x0406, 0x06B6}, {0x0407, 0x06B7},
    {0x0408, 0x06B8}, {0x0409, 0x06B9}, {0x040A, 0x06BA}, {0x040B, 0x06BB}, {0x040C, 0x06BC},
    {0x040E, 0x06BE}, {0x040F, 0x06BF}, {0x0410, 0x06E1}, {0x0411, 0x06E2}, {0x0412, 0x06F7},
    {0x0413, 0x06E7}, {0x0414, 0x06E4}, {0x0415, 0x06E5}, {0x0416, 0x06F6}, {0x0417, 0x06FA},
    {0x0418, 0x06E9}, {0x0419, 0x06EA}, {0x041A, 0x06EB}, {0x041B, 0x06EC}, {0x041C, 0x06ED},
    {0x041D, 0x06EE}, {0x041E, 0x06EF}, {0x041F, 0x06F0}, {0x0420, 0x06F2}, {0x0421, 0x06F3},
    {0x0422, 0x06F4}, {0x0423, 0x06F5}, {0x0424, 0x06E6}, {0x0425, 0x06E8}, {0x0426, 0x06E3},
    {0x0427, 0x06FE}, {0x0428, 0x06FB}, {0x0429, 0x06FD}, {0x042A, 0x06FF}, {0x042B, 0x06F9},
    {0x042C, 0x06F8}, {0x042D, 0x06FC}, {0x042E, 0x06E0}, {0x042F, 0x06F1}, {0x0430, 0x06C1},
    {0x0431, 0x06C2}, {0x0432, 0x06D7}, {0x0433, 0x06C7}, {0x0434, 0x06C4}, {0x0435, 0x06C5},
    {0x0436, 0x06D6}, {0x0437, 0x06DA}, {0x0438, 0x06C9}, {0x0439, 0x06CA}, {0x043A, 0x06CB},
    {0x043B, 0x06CC}, {0x043C, 0x06CD}, {0x043D, 0x06CE}, {0x043E, 0x06CF}, {0x043F, 0x06D0},
    {0x0440, 0x06D2}, {0x0441, 0x06D3}, {0x0442, 0x06D4}, {0x0443, 0x06D5}, {0x0444, 0x06C6},
    {0x0445, 0x06C8}, {0x0446, 0x06C3}, {0x0447, 0x06DE}, {0x0448, 0x06DB}, {0x0449, 0x06DD},
    {0x044A, 0x06DF}, {0x044B, 0x06D9}, {0x044C, 0x06D8}, {0x044D, 0x06DC}, {0x044E, 0x06C0},
    {0x044F, 0x06D1}, {0x0451, 0x06A3}, {0x0452, 0x06A1}, {0x0453, 0x06A2}, {0x0454, 0x06A4},
    {0x0455, 0x06A5}, {0x0456, 0x06A6}, {0x0457, 0x06A7}, {0x0458, 0x06A8}, {0x0459, 0x06A9},
    {0x045A, 0x06AA}, {0x045B, 0x06AB}, {0x045C, 0x06AC}, {0x045E, 0x06AE}, {0x045F, 0x06AF},
    {0x0490, 0x06BD}, {0x0491, 0x06AD}, {0x2013, 0x0AAA}, {0x2014, 0x0AA9}, {0x2018, 0x0AD0},
    {0x2019, 0x0AD1}, {0x201A, 0x0AFD}, {0x201C, 0x0AD2}, {0x201D, 0x0AD3}, {0x201E, 0x0AFE},
    {0x2020, 0x0AF1}, {0x2021, 0x0AF2}, {0x2022, 0x0AE6}, {0x2026, 0x0AAE}, {0x2030, 0x0AD5},
    {0x20AC, 0x20AC}, {0x2116, 0x06B0}, {0x2122, 0x0AC9},
};

// How long activation waits for the window to be mapped and to get the focus.
constexpr std::chrono::milliseconds kActivationWait{2000};
constexpr std::chrono::milliseconds kPollInterval{10};

// ---- error trap ----

struct TrapState {
  Display* display;
  bool failed;
  XErrorHandler previous;
};

TrapState* g_trap = nullptr;

// Errors of the trapped connection are recorded; errors of any other Xlib connection go to
// the handler that was set before.
int TrapErrors(Display* display, XErrorEvent* event) {
  if (g_trap && display == g_trap->display) {
    g_trap->failed = true;
    return 0;
  }
  if (g_trap && g_trap->previous) return g_trap->previous(display, event);
  return 0;
}

// Records the errors of the requests made while it lives instead of letting Xlib's default
// handler end the program. Failed() waits for the server's answers first.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : state_{display, false, nullptr}, outer_(g_trap) {
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(TrapErrors);
    state_.previous = outer_ ? outer_->previous : previous;
    g_trap = &state_;
  }
  ~ErrorTrap() {
    XSync(state_.display, False);
    g_trap = outer_;
    if (!outer_) XSetErrorHandler(state_.previous);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  bool Failed() {
    XSync(state_.display, False);
    return state_.failed;
  }

 private:
  TrapState state_;
  TrapState* outer_;
};

// ---- properties ----

struct Property {
  Atom Type = 0;
  int Format = 0;
  std::string Bytes;                 // format 8
  std::vector<unsigned long> Longs;  // format 32 (Xlib hands them out as longs)
};

// A window property; nullopt when the window does not have it or the request failed (call
// under an ErrorTrap).
std::optional<Property> ReadProperty(Display* display, Window window, Atom name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, name, 0, 1L << 20, False, AnyPropertyType,
                                        &type, &format, &count, &after, &data);
  if (status != Success || type == 0) {
    if (data) XFree(data);
    return std::nullopt;
  }
  Property p;
  p.Type = type;
  p.Format = format;
  if (data) {
    if (format == 32) {
      const auto* longs = reinterpret_cast<const unsigned long*>(data);
      p.Longs.assign(longs, longs + count);
    } else if (format == 8) {
      p.Bytes.assign(reinterpret_cast<const char*>(data), count);
    }
    XFree(data);
  }
  return p;
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// The children of window, bottom-most first; false when the request failed.
bool QueryChildren(Display* display, Window window, std::vector<Window>* children,
                   Window* parent = nullptr) {
  ErrorTrap trap(display);
  Window root = 0;
  Window up = 0;
  Window* list = nullptr;
  unsigned int count = 0;
  const Status ok = XQueryTree(display, window, &root, &up, &list, &count);
  if (children && ok && list) children->assign(list, list + count);
  if (list) XFree(list);
  if (parent) *parent = up;
  return ok && !trap.Failed();
}

}  // namespace

std::vector<uint32_t> KeysymsForUnicode(char32_t ch) {
  if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || ch > 0x10FFFF) return {};
  if (ch < 0x100) return {static_cast<uint32_t>(ch)};
  std::vector<uint32_t> out;
  const auto* it = std::lower_bound(
      std::begin(kLegacyKeysyms), std::end(kLegacyKeysyms), ch,
      [](const std::pair<char32_t, uint32_t>& entry, char32_t c) { return entry.first < c; });
  if (it != std::end(kLegacyKeysyms) && it->first == ch) out.push_back(it->second);
  out.push_back(0x01000000u + static_cast<uint32_t>(ch));
  return out;
}

KeySenderBackend::~KeySenderBackend() = default;

struct X11KeySender::Impl {
  // A key of the layout: its key code and the modifiers of the level that carries a keysym.
  struct Key {
    KeyCode Code;
    bool Shift;
    bool Level3;
    int Cost;  // modifiers needed; the cheapest key wins
  };

  Display* display = nullptr;
  bool tried = false;
  bool xtest = false;
  Atom net_client_list = 0;
  Atom net_client_list_stacking = 0;
  Atom net_wm_desktop = 0;
  Atom net_current_desktop = 0;
  Atom net_wm_name = 0;
  Atom net_active_window = 0;
  Atom net_supported = 0;
  Atom net_supporting_wm_check = 0;
  Atom wm_state = 0;
  std::unordered_map<uint32_t, Key> keys;

  ~Impl() {
    if (display) XCloseDisplay(display);
  }

  Display* Open() {
    if (tried) return display;
    tried = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    display = XOpenDisplay(name);
    if (!display) return nullptr;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    xtest = XTestQueryExtension(display, &event_base, &error_base, &major, &minor);
    if (xtest) XTestGrabControl(display, True);  // keys still arrive while a client grabs
    char names[][32] = {
        "_NET_CLIENT_LIST",         "_NET_WM_NAME", "_NET_ACTIVE_WINDOW",        "_NET_SUPPORTED",
        "_NET_SUPPORTING_WM_CHECK", "WM_STATE",     "_NET_CLIENT_LIST_STACKING", "_NET_WM_DESKTOP",
        "_NET_CURRENT_DESKTOP"};
    char* name_ptrs[std::size(names)];
    for (std::size_t i = 0; i < std::size(names); ++i) name_ptrs[i] = names[i];
    Atom atoms[std::size(names)] = {};
    XInternAtoms(display, name_ptrs, static_cast<int>(std::size(names)), False, atoms);
    net_client_list = atoms[0];
    net_wm_name = atoms[1];
    net_active_window = atoms[2];
    net_supported = atoms[3];
    net_supporting_wm_check = atoms[4];
    wm_state = atoms[5];
    net_client_list_stacking = atoms[6];
    net_wm_desktop = atoms[7];
    net_current_desktop = atoms[8];
    return display;
  }

  Window Root() const { return DefaultRootWindow(display); }

  // Whether a window manager runs that announced itself: the root's _NET_SUPPORTING_WM_CHECK
  // names a window that names itself. A manager that has gone leaves a stale announcement
  // (its window is gone), and its client list with it.
  bool ManagerAlive() {
    ErrorTrap trap(display);
    std::optional<Property> check = ReadProperty(display, Root(), net_supporting_wm_check);
    if (trap.Failed() || !check || check->Format != 32 || check->Longs.empty()) return false;
    const Window wm = check->Longs[0];
    std::optional<Property> own = ReadProperty(display, wm, net_supporting_wm_check);
    return !trap.Failed() && own && own->Format == 32 && !own->Longs.empty() && own->Longs[0] == wm;
  }

  // The list of windows in the root's property `name`; nullopt without it.
  std::optional<std::vector<Window>> RootWindowList(Atom name) {
    ErrorTrap trap(display);
    std::optional<Property> list = ReadProperty(display, Root(), name);
    if (trap.Failed() || !list || list->Type != XA_WINDOW || list->Format != 32)
      return std::nullopt;
    return std::vector<Window>(list->Longs.begin(), list->Longs.end());
  }

  // The top-level windows, front-most first. While a window manager runs: its clients, by its
  // stacking list (kept bottom first), else by its client list (kept in the order of mapping:
  // the newest first); *managed is then true, and a client counts whether or not it is on the
  // workspace shown. Else the windows that carry WM_STATE below each child of the root, or
  // that child itself when none below it does (a server without a window manager).
  bool TopLevels(std::vector<Window>* out, bool* managed) {
    *managed = false;
    if (ManagerAlive()) {
      std::optional<std::vector<Window>> list = RootWindowList(net_client_list_stacking);
      if (!list) list = RootWindowList(net_client_list);
      if (list) {
        out->assign(list->rbegin(), list->rend());
        *managed = true;
        return true;
      }
    }
    std::vector<Window> children;
    if (!QueryChildren(display, Root(), &children)) return false;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      const std::size_t before = out->size();
      FindClients(*it, 0, out);
      if (out->size() == before) out->push_back(*it);
    }
    return true;
  }

  // Adds the windows with WM_STATE at or below window; a window that goes away meanwhile is
  // passed over.
  void FindClients(Window window, int depth, std::vector<Window>* out) {
    {
      ErrorTrap trap(display);
      const bool has_state = ReadProperty(display, window, wm_state).has_value();
      if (trap.Failed()) return;
      if (has_state) {
        out->push_back(window);
        return;
      }
    }
    if (depth >= 8) return;
    std::vector<Window> children;
    if (!QueryChildren(display, window, &children)) return;
    for (auto it = children.rbegin(); it != children.rend(); ++it) FindClients(*it, depth + 1, out);
  }

  struct WindowState {
    bool Viewable;
    bool Iconic;
  };

  // Whether window is mapped and shown, or iconic; nullopt when it went away.
  std::optional<WindowState> StateOf(Window window) {
    ErrorTrap trap(display);
    XWindowAttributes attrs{};
    const Status ok = XGetWindowAttributes(display, window, &attrs);
    std::optional<Property> state = ReadProperty(display, window, wm_state);
    if (trap.Failed() || !ok || attrs.c_class == InputOnly) return std::nullopt;
    const bool iconic =
        state && state->Format == 32 && !state->Longs.empty() && state->Longs[0] == IconicState;
    return WindowState{attrs.map_state == IsViewable, iconic};
  }

  // The window's title in UTF-8: _NET_WM_NAME, else WM_NAME; nullopt without either or when
  // the window went away.
  std::optional<std::string> TitleOf(Window window) {
    ErrorTrap trap(display);
    std::optional<Property> net_name = ReadProperty(display, window, net_wm_name);
    if (trap.Failed()) return std::nullopt;
    if (net_name && net_name->Format == 8) return net_name->Bytes;
    std::optional<Property> name = ReadProperty(display, window, XA_WM_NAME);
    if (trap.Failed() || !name || name->Format != 8) return std::nullopt;
    if (name->Type == XA_STRING) return Latin1ToUtf8(name->Bytes);
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(name->Bytes.data());
    text.encoding = name->Type;
    text.format = 8;
    text.nitems = name->Bytes.size();
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list) {
      std::string out;
      for (int i = 0; i < count; ++i) out += list[i];
      XFreeStringList(list);
      return out;
    }
    return name->Bytes;  // UTF8_STRING, or an encoding this locale cannot convert
  }

  // A cardinal property of window; nullopt without it.
  std::optional<unsigned long> Cardinal(Window window, Atom name) {
    ErrorTrap trap(display);
    std::optional<Property> p = ReadProperty(display, window, name);
    if (trap.Failed() || !p || p->Format != 32 || p->Longs.empty()) return std::nullopt;
    return p->Longs[0];
  }

  // Sends the window manager the client message `type` about `window` with the data l0 and
  // l1, as a pager-like tool does.
  bool AskManager(Window window, Atom type, long l0, long l1) {
    ErrorTrap trap(display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    XSendEvent(display, Root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    return !trap.Failed();
  }

  // Switches the manager's workspace to the one of window when it lies on another (managers
  // may refuse to activate a window there, or move it to the user instead).
  void GoToWorkspaceOf(Window window) {
    const std::optional<unsigned long> desktop = Cardinal(window, net_wm_desktop);
    const std::optional<unsigned long> current = Cardinal(Root(), net_current_desktop);
    if (!desktop || !current || *desktop == *current || *desktop == 0xFFFFFFFFul) return;
    if (!AskManager(Root(), net_current_desktop, static_cast<long>(*desktop), CurrentTime)) return;
    WaitFor([&] { return Cardinal(Root(), net_current_desktop) == desktop; });
  }

  // Whether a running window manager announces _NET_ACTIVE_WINDOW.
  bool ActiveWindowSupported() {
    if (!ManagerAlive()) return false;
    ErrorTrap trap(display);
    std::optional<Property> supported = ReadProperty(display, Root(), net_supported);
    if (trap.Failed() || !supported || supported->Format != 32) return false;
    return std::find(supported->Longs.begin(), supported->Longs.end(), net_active_window) !=
           supported->Longs.end();
  }

  // Whether the keyboard focus is in window or in one of its descendants.
  bool HasFocus(Window window) {
    Window focus = 0;
    int revert = 0;
    {
      ErrorTrap trap(display);
      XGetInputFocus(display, &focus, &revert);
      if (trap.Failed()) return false;
    }
    for (int depth = 0; focus != 0 && focus != PointerRoot && depth < 32; ++depth) {
      if (focus == window) return true;
      if (focus == Root()) return false;
      Window parent = 0;
      if (!QueryChildren(display, focus, nullptr, &parent)) return false;
      focus = parent;
    }
    return false;
  }

  // Polls until done() holds or the activation wait has passed, letting the program process
  // its events in between (a window of our own answers the window manager meanwhile).
  template <typename Done>
  bool WaitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + kActivationWait;
    while (true) {
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      if (QCoreApplication::instance()) QCoreApplication::processEvents();
      std::this_thread::sleep_for(kPollInterval);
    }
  }

  // The real modifier that the third-level shift key sets; 0 when the layout has none.
  unsigned Level3Mask() {
    const KeyCode code = XKeysymToKeycode(display, XK_ISO_Level3_Shift);
    if (code == 0) return 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return 0;
    unsigned mask = 0;
    for (int mod = 0; mod < 8; ++mod) {
      for (int k = 0; k < map->max_keypermod; ++k) {
        if (map->modifiermap[mod * map->max_keypermod + k] == code) mask |= 1u << mod;
      }
    }
    XFreeModifiermap(map);
    return mask;
  }

  // The modifiers that select level of a key of type; nullopt when only other modifiers
  // (Lock, NumLock, ...) reach it.
  static std::optional<unsigned> ModsForLevel(const XkbKeyTypeRec& type, int level,
                                              unsigned level3_mask) {
    if (level == 0) return 0u;
    std::optional<unsigned> best;
    for (int i = 0; i < type.map_count; ++i) {
      const XkbKTMapEntryRec& entry = type.map[i];
      if (!entry.active || entry.level != level) continue;
      const unsigned mask = entry.mods.mask;
      if (mask == 0 || (mask & ~(ShiftMask | level3_mask)) != 0) continue;
      if (!best || std::popcount(mask) < std::popcount(*best)) best = mask;
    }
    return best;
  }

  bool ReadLayout() {
    keys.clear();
    ErrorTrap trap(display);
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb) return false;
    XkbStateRec state{};
    int group = 0;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) group = state.group;
    const unsigned level3_mask = Level3Mask();
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
      const int groups = XkbKeyNumGroups(xkb, code);
      if (groups == 0) continue;
      const int g = group % groups;
      const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb, code, g);
      const int width = XkbKeyGroupWidth(xkb, code, g);
      for (int level = 0; level < width; ++level) {
        const KeySym sym = XkbKeySymEntry(xkb, code, level, g);
        if (sym == NoSymbol) continue;
        const std::optional<unsigned> mods = ModsForLevel(type, level, level3_mask);
        if (!mods) continue;
        const Key key{static_cast<KeyCode>(code), (*mods & ShiftMask) != 0,
                      level3_mask != 0 && (*mods & level3_mask) != 0, std::popcount(*mods)};
        auto [it, added] = keys.emplace(static_cast<uint32_t>(sym), key);
        if (!added && key.Cost < it->second.Cost) it->second = key;
      }
    }
    XkbFreeKeyboard(xkb, 0, True);
    return !trap.Failed();
  }
};

X11KeySender::X11KeySender() : impl_(std::make_unique<Impl>()) {}
X11KeySender::~X11KeySender() = default;

bool X11KeySender::Connected() { return impl_->Open() != nullptr; }

XWindowHandle X11KeySender::FindWindowByTitle(const std::string& title) {
  if (!impl_->Open()) return 0;
  std::vector<Window> tops;
  bool managed = false;
  if (!impl_->TopLevels(&tops, &managed)) return 0;
  for (const Window window : tops) {
    const std::optional<Impl::WindowState> state = impl_->StateOf(window);
    if (!state) continue;
    // A client of the window manager on another workspace is unmapped by it, and still there.
    if (!managed && !state->Viewable && !state->Iconic) continue;
    const std::optional<std::string> name = impl_->TitleOf(window);
    if (name && *name == title) return window;
  }
  return 0;
}

bool X11KeySender::ActivateWindow(XWindowHandle window) {
  Display* display = impl_->Open();
  if (!display || window == 0) return false;
  const std::optional<Impl::WindowState> state = impl_->StateOf(window);
  if (!state) return false;
  const bool manager = impl_->ActiveWindowSupported();
  // Without a window manager only a window on screen or iconic can come to the front; with
  // one, a client on another workspace is brought there by the manager.
  if (!manager && !state->Viewable && !state->Iconic) return false;
  if (state->Iconic) {
    // An iconic window is restored by mapping it again; the window manager shows it.
    {
      ErrorTrap trap(display);
      XMapRaised(display, window);
      if (trap.Failed()) return false;
    }
    if (!manager) {
      const bool shown = impl_->WaitFor([&] {
        const std::optional<Impl::WindowState> now = impl_->StateOf(window);
        return now && now->Viewable;
      });
      if (!shown) return false;
    }
  }
  if (manager) {
    impl_->GoToWorkspaceOf(window);
    // Source 2: asked for by a pager-like tool, which managers honour.
    if (!impl_->AskManager(window, impl_->net_active_window, 2, CurrentTime)) return false;
  } else {
    ErrorTrap trap(display);
    XRaiseWindow(display, window);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    if (trap.Failed()) return false;
  }
  // The focus must hold for a few polls: a window manager still working through an earlier
  // activation can hand it back to the previous window once, and keys sent then go astray.
  int held = 0;
  return impl_->WaitFor([&] {
    held = impl_->HasFocus(window) ? held + 1 : 0;
    return held >= 5;
  });
}

bool X11KeySender::BeginKeys() {
  if (!impl_->Open() || !impl_->xtest) return false;
  return impl_->ReadLayout();
}

std::optional<XKeyLevel> X11KeySender::KeyForCharacter(char32_t ch) {
  for (const uint32_t sym : KeysymsForUnicode(ch)) {
    const auto it = impl_->keys.find(sym);
    if (it != impl_->keys.end()) return XKeyLevel{sym, it->second.Shift, it->second.Level3};
  }
  return std::nullopt;
}

bool X11KeySender::HasKey(uint32_t keysym) { return impl_->keys.count(keysym) != 0; }

bool X11KeySender::SendKey(uint32_t keysym, bool press) {
  Display* display = impl_->display;
  const auto it = impl_->keys.find(keysym);
  if (!display || !impl_->xtest || it == impl_->keys.end()) return false;
  ErrorTrap trap(display);
  XTestFakeKeyEvent(display, it->second.Code, press ? True : False, CurrentTime);
  return !trap.Failed();
}

}  // namespace platform::gui
