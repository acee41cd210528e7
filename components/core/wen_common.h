// The base of the class layer over the table engine: the component base class, the library's
// message texts, raising and showing them, the message mode, the engine's halt-on-error switch
// around engine calls, the logical texts, the registry of data sources (WenSession), and the
// start settings taken from the user's locale.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"

namespace components {

using engine::EWendalError;

// ---- Component base ----------------------------------------------------------------------

// Component state flags.
enum TComponentStateFlag : uint8_t {
  csLoading = 0x01,     // being read from its form
  csDesigning = 0x02,   // never set: the programs never run inside a form designer
  csDestroying = 0x04,  // destruction has begun
};

// The base of every component of the class layer: a name, an owner that frees it, and the
// components it owns (freed, newest first, when it is destroyed).
class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& GetName() const { return name_; }
  virtual void SetName(const std::string& new_name);

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }

  uint8_t ComponentState() const { return state_; }
  bool Loading() const { return (state_ & csLoading) != 0; }
  bool Designing() const { return (state_ & csDesigning) != 0; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }

  // Form reading: BeginLoading marks the component and the ones it owns as being read; Loaded
  // ends it for the component, then for each owned component still loading (overrides call
  // the inherited Loaded first).
  void BeginLoading();
  virtual void Loaded();

 protected:
  // Marks destruction as begun; derived destructors call it first so that their own
  // teardown sees Destroying().
  void MarkDestroying() { state_ |= csDestroying; }

 private:
  void InsertComponent(TComponent* child);
  void RemoveComponent(TComponent* child);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  uint8_t state_ = 0;
};

// ---- Message texts -----------------------------------------------------------------------

// One argument of a formatted message: a text or a whole number.
class TFmtArg {
 public:
  TFmtArg(const std::string& s) : text_(s) {}             // NOLINT(runtime/explicit)
  TFmtArg(const char* s) : text_(s) {}                    // NOLINT(runtime/explicit)
  TFmtArg(std::string_view s) : text_(s) {}               // NOLINT(runtime/explicit)
  TFmtArg(char c) : text_(1, c) {}                        // NOLINT(runtime/explicit)
  TFmtArg(int v) : text_(std::to_string(v)) {}            // NOLINT(runtime/explicit)
  TFmtArg(long v) : text_(std::to_string(v)) {}           // NOLINT(runtime/explicit)
  TFmtArg(long long v) : text_(std::to_string(v)) {}      // NOLINT(runtime/explicit)
  TFmtArg(unsigned v) : text_(std::to_string(v)) {}       // NOLINT(runtime/explicit)
  TFmtArg(unsigned long v) : text_(std::to_string(v)) {}  // NOLINT(runtime/explicit)
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};
using TFmtArgs = std::initializer_list<TFmtArg>;

// Fills "%s" and "%d" of fmt with the arguments in order ("%%" is a "%"); an argument that is
// missing fills nothing, surplus arguments are ignored.
std::string FormatMsg(std::string_view fmt, TFmtArgs args);

// The text of a string-table entry; the empty text for an id the table does not hold.
std::string LoadMsg(int id);
std::string FmtLoadMsg(int id, TFmtArgs args);

// Raise EWendalError with the (formatted) text of an entry.
[[noreturn]] void RaiseMsg(int id);
[[noreturn]] void RaiseMsgFmt(int id, TFmtArgs args);

// Message mode: 2 (the start value) shows the class layer's message boxes, any other value
// suppresses them. Returns the current mode; a new_mode other than 0 becomes the mode.
uint8_t MessageMode(uint8_t new_mode);

// Only in message mode 2: shows the (formatted) text in a plain message box without a caption
// of its own (platform::ShowMessage). Nothing is returned to the caller.
void ShowMsg(int id);
void ShowMsgFmt(int id, TFmtArgs args);

// The engine's halt-on-error switch (engine::AbortOnError). SuspendHalt returns its value and
// turns it off; ResumeHalt returns its value and turns it on. Turn it back on only when
// SuspendHalt returned true.
bool SuspendHalt();
bool ResumeHalt();

// Scope form of SuspendHalt/ResumeHalt: halting is off for the guard's lifetime and turned on
// again on every way out when it was on at the start.
class THaltSuspension {
 public:
  THaltSuspension() : was_on_(SuspendHalt()) {}
  ~THaltSuspension() {
    if (was_on_) ResumeHalt();
  }
  THaltSuspension(const THaltSuspension&) = delete;
  THaltSuspension& operator=(const THaltSuspension&) = delete;
  bool WasOn() const { return was_on_; }

 private:
  bool was_on_;
};

// s without leading and trailing blanks (engine::AllTrim).
std::string AllTrimStr(const std::string& s);

// s with the ASCII letters lower-cased; bytes from 0x80 stay as they are.
std::string LowerStr(std::string s);

// Sets a variable for the scope and restores its old value however the scope ends.
template <class T>
class TScopedValue {
 public:
  TScopedValue(T& target, T value) : target_(target), saved_(target) { target_ = value; }
  ~TScopedValue() { target_ = saved_; }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

 private:
  T& target_;
  T saved_;
};

// The logical texts (at most 20 characters each), loaded by InitClassLayer from entries
// 57857 to 57860.
extern std::string TrueText;
extern std::string FalseText;
extern std::string YesText;
extern std::string NoText;

// ---- Data-source registry ----------------------------------------------------------------

class TWenDataSource;

// The list of registered data sources (not owned).
class TWenSession : public TComponent {
 public:
  explicit TWenSession(TComponent* owner = nullptr) : TComponent(owner) {}

  void AddDataSource(TWenDataSource* data_source);     // a data source already listed stays once
  void RemoveDataSource(TWenDataSource* data_source);  // no-op when not listed
  // The first listed data source other than except whose first 10 name characters equal the
  // first 10 of name, compared case-insensitively; nullptr when none.
  TWenDataSource* FindByName10(const std::string& name, const TWenDataSource* except) const;
  const std::vector<TWenDataSource*>& DataSources() const { return data_sources_; }

 private:
  std::vector<TWenDataSource*> data_sources_;
};

// The one instance, created by InitClassLayer and freed by the exit procedure it registers
// (or by ResetClassLayer). nullptr before and after: callers test it.
extern TWenSession* WenSession;

// ---- Start settings ----------------------------------------------------------------------

// The locale texts the start settings come from, as the C library reports them.
struct TLocaleTexts {
  std::string DateFormat;    // strftime form, e.g. "%d.%m.%Y" (LC_TIME's D_FMT)
  std::string TimeFormat;    // strftime form, e.g. "%H:%M:%S" (LC_TIME's T_FMT)
  std::string DecimalPoint;  // LC_NUMERIC's RADIXCHAR
  std::string ThousandsSep;  // LC_NUMERIC's THOUSEP
  std::string Codeset;       // the codeset of those texts ("UTF-8", "ISO-8859-1", ...)
};

// The user's locale texts (LC_TIME and LC_NUMERIC from the environment); the C locale's
// texts when the environment names a locale that is not installed.
TLocaleTexts ReadUserLocaleTexts();

// The class library's form of a strftime date format: "%d" "%e" -> "dd", "%m" -> "MM",
// "%y" -> "yy", "%Y" -> "yyyy", "%D" -> "MM/dd/yy", "%F" -> "yyyy-MM-dd", other characters
// kept. "MM/dd/yy" when the result does not hold a day, a month and a year, or holds any
// other directive.
std::string DateFormatFromStrftime(std::string_view format);

// The long time format (platform::LocaleSettings) of a strftime time format: "%H" "%I" -> "hh",
// "%k" "%l" -> "h", "%M" -> "mm", "%S" -> "ss", "%p" -> "AP", "%P" -> "ap", "%T" ->
// "hh:mm:ss", "%R" -> "hh:mm", "%r" -> "hh:mm:ss AP", other characters kept. "hh:mm:ss" when
// the result does not hold one hour and one minute, holds any other directive, or keeps a
// letter or a quote of its own (it would read as a field).
std::string TimeFormatFromStrftime(std::string_view format);

// The ANSI byte of a separator text in the given codeset; fallback when the text is empty,
// longer than one character, or has no ANSI byte.
char SeparatorByte(std::string_view text, std::string_view codeset, char fallback);

// The time separator of a strftime time format in the given codeset: the first character
// between its fields that is not a letter, as an ANSI byte ("%T", "%R" and "%r" stand for
// ":"); ":" when there is none or it has no ANSI byte.
char TimeSeparatorFromStrftime(std::string_view format, std::string_view codeset);

// The thousands separator to use beside the decimal one: the locale's own (own, '\0' when it
// has none that fits), else "," or, when the decimal separator is ",", "."; never the decimal
// separator itself, and '\0' (no grouping) when nothing fits.
char ThousandSeparatorBeside(char own, char decimal);

// Fills the locale object's short date format, long time format (literal characters as ANSI
// bytes, the fallback when one has none), date separator (the first character of the
// format that is not a letter, "/" when none), time separator (TimeSeparatorFromStrftime),
// decimal separator (fallback ".") and thousands separator (ThousandSeparatorBeside) from the
// texts.
void ApplyLocaleTexts(const TLocaleTexts& texts);

// Unit initialisation from the locale object: the engine's number separators, century switch
// (format holds "YYYY", case-insensitive) and date mode (0, then from the format's first
// character: d with "-" 3, "." 5, "/" 2; y 1). engine::SetDateMode writes its own short
// date format and separator back into the locale object.
void ApplyEngineSettingsFromLocale();

// Runs once (guarded by a counter): ApplyLocaleTexts(ReadUserLocaleTexts()), loads the
// logical texts, ApplyEngineSettingsFromLocale, creates WenSession and registers the exit
// procedure that frees it. Call after engine::StartEngine.
void InitClassLayer();

// Frees WenSession, removes the exit procedure and restores the start values (message mode 2,
// default logical texts), so that InitClassLayer runs again. For tests.
void ResetClassLayer();

// ---- Message ids -------------------------------------------------------------------------

inline constexpr int kMsgFieldWrongType = 57347;
inline constexpr int kMsgFieldNotFound = 57348;
inline constexpr int kMsgFieldNameMissing = 57349;
inline constexpr int kMsgDuplicateFieldName = 57350;
inline constexpr int kMsgInvalidFieldName = 57351;
inline constexpr int kMsgInvalidFieldType = 57352;
inline constexpr int kMsgNotEditing = 57354;
inline constexpr int kMsgDataSetClosed = 57355;
inline constexpr int kMsgDataSetReadOnly = 57356;
inline constexpr int kMsgDatabaseNotOpen = 57364;
inline constexpr int kMsgFieldNotIn = 57365;
inline constexpr int kMsgFieldTypeExpected = 57366;
inline constexpr int kMsgInvalidMaskData = 57371;
inline constexpr int kMsgCouldNotCreate = 57601;
inline constexpr int kMsgNameEmpty = 57602;
inline constexpr int kMsgNameNotUnique = 57603;
inline constexpr int kMsgFieldListNil = 57604;
inline constexpr int kMsgFieldListEmpty = 57605;
inline constexpr int kMsgCannotOpen = 57606;
inline constexpr int kMsgCannotOpenFieldInfo = 57608;
inline constexpr int kMsgInvalidDate = 57619;
inline constexpr int kMsgLockFailed = 57620;
inline constexpr int kMsgTrue = 57857;
inline constexpr int kMsgFalse = 57858;
inline constexpr int kMsgYes = 57859;
inline constexpr int kMsgNo = 57860;
inline constexpr int kMsgInvalidInput = 57874;

}  // namespace components
