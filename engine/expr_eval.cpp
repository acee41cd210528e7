// The evaluator of compiled key expressions. It walks a block's postfix code list once,
// keeping intermediate values on the block's work stack; character values live in the
// block's working pool, which is used as a stack in step with the work stack, so the final
// character result always starts at the pool's first byte.
//
// Every character operation pops its operands (which returns their pool bytes), builds its
// result in a scratch text and pushes that, so results may overlap their operands safely.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/dates.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/expr_util.h"
#include "engine/hooks.h"
#include "engine/memo_device.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"

namespace engine {

uint8_t SoundexLength = 4;

namespace {

// Opcodes: the token numbers of the functions, fields and operators.
enum Opcode : int32_t {
  kAbs = 257,
  kAsc = 259,
  kAt = 261,
  kCdow = 264,
  kChr = 266,
  kCmonth = 267,
  kCtod = 269,
  kDate = 270,
  kDay = 271,
  kDeleted = 272,
  kDow = 274,
  kDtoc = 275,
  kDtos = 277,
  kIif = 283,
  kInt = 284,
  kLeft = 288,
  kLen = 289,
  kLower = 292,
  kLtrim = 293,
  kMax = 294,
  kMin = 295,
  kMod = 296,
  kMonth = 297,
  kRecno = 300,
  kReplicate = 301,
  kRight = 302,
  kRound = 303,
  kRtrim = 305,
  kSoundex = 308,
  kSpace = 310,
  kStr = 311,
  kStuff = 312,
  kSubstr = 313,
  kTrim = 316,
  kUpper = 318,
  kVal = 319,
  kYear = 320,
  kFieldC = 321,  // 321..325: field of the current area of type C, N, L, D, M
  kFieldM = 325,
  kAliasC = 326,  // 326..330: the same, qualified by an alias
  kAliasM = 330,
  kAddNN = 347,
  kAddND = 348,
  kAddDN = 349,
  kConcat = 350,
  kSubNN = 351,
  kSubDN = 352,
  kSubDD = 353,
  kSubCC = 354,
  kMul = 355,
  kDiv = 356,
  kPow = 357,
  kEqN = 358,
  kEqD = 359,
  kEqC = 360,
  kEqL = 361,
  kExactC = 362,
  kContains = 363,
  kGtN = 364,
  kGtD = 365,
  kGtC = 366,
  kLtN = 367,
  kLtD = 368,
  kLtC = 369,
  kNeN = 370,
  kNeD = 371,
  kNeC = 372,
  kNeL = 373,
  kLeN = 374,
  kLeD = 375,
  kLeC = 376,
  kGeN = 377,
  kGeD = 378,
  kGeC = 379,
  kOr = 380,
  kAnd = 381,
  kNot = 382,
  kNeg = 383,
};

constexpr size_t kMaxText = 255;  // the longest character value

// What an evaluation error names.
constexpr const char* kNotFinite = "Result is not a finite number";
constexpr const char* kModZero = "MOD by 0";
constexpr const char* kIntRange = "Number outside the integer range";
constexpr const char* kNoTable = "Work area not in use";
constexpr const char* kBadField = "Field does not fit the table";
constexpr const char* kDateRange = "Date beyond the year 9999";
constexpr const char* kBadCode = "Invalid code list";

struct Text {
  const char* p = "";
  size_t n = 0;
  std::string_view view() const { return {p, n}; }
};

// Engine-wide evaluation state: one evaluation at a time.
TExprBlock* g_block = nullptr;  // the block being evaluated
size_t g_depth = 0;             // entries on its work stack
bool g_stopped = false;         // the evaluation was stopped (pool, memory or code failure)
std::string g_scratch;          // character results are built here before they are pushed

const std::string& Blanks() {
  static const std::string blanks(kMaxText, ' ');
  return blanks;
}

bool IsText(int32_t type) { return type == kTypeC || type == kTypeM; }

void EvalError(const char* what) {
  SetError(358, std::string("Error during evaluation: ") + what + " [Evaluate/Engine]");
}

void Stop() { g_stopped = true; }

void BadCode() {
  EvalError(kBadCode);
  Stop();
}

// ---- Work stack and pool ----------------------------------------------------------------

// A fresh entry on top of the work stack (WStackCheck: the stack grows only when it has no
// spare entry); nullptr after reporting when memory is short.
TCodeEntry* NewEntry() {
  std::vector<TCodeEntry>& ws = g_block->WorkStack;
  if (g_depth == ws.size()) {
    if (!HeapHas(static_cast<int64_t>(sizeof(TCodeEntry)) + 11)) {
      SetError(217, " [PARSER/WStackCheck]");
      Stop();
      return nullptr;
    }
    ws.emplace_back();
  }
  TCodeEntry& e = ws[g_depth++];
  e = TCodeEntry{};
  return &e;
}

void PushNumber(int32_t type, double v) {
  if (!std::isfinite(v)) {
    EvalError(kNotFinite);
    v = 0;
  }
  if (TCodeEntry* e = NewEntry()) {
    e->TypeCode = type;
    e->Num = v;
  }
}

void PushLogical(bool v) {
  if (TCodeEntry* e = NewEntry()) {
    e->TypeCode = kTypeL;
    e->Int = v ? 1 : 0;
  }
}

// Copies a text (cut at 255 characters) to the pool's next free byte (Allocate) and pushes it.
void PushText(int32_t type, const char* p, size_t n) {
  n = std::min(n, kMaxText);
  std::vector<char>& pool = g_block->Pool;
  const size_t at = g_block->PoolNext;
  if (at + n + 1 > pool.size()) {
    SetError(354, "Working pool overflow [PARSER/Allocate]");
    Stop();
    return;
  }
  TCodeEntry* e = NewEntry();
  if (!e) return;
  if (n) std::memmove(pool.data() + at, p, n);
  pool[at + n] = '\0';
  e->TypeCode = type;
  e->Text = pool.data() + at;
  e->Int = static_cast<int32_t>(n);
  g_block->PoolNext = at + n + 1;
}

void PushText(std::string_view s) { PushText(kTypeC, s.data(), s.size()); }

void PushBlank(int32_t type) {
  if (IsText(type))
    PushText(type, "", 0);
  else if (type == kTypeL)
    PushLogical(false);
  else
    PushNumber(type, 0);
}

// Pops the top entry; a character value gives its pool bytes back.
TCodeEntry Pop() {
  TCodeEntry e = g_block->WorkStack[--g_depth];
  if (IsText(e.TypeCode) && e.Text)
    g_block->PoolNext = static_cast<size_t>(e.Text - g_block->Pool.data());
  return e;
}

Text PopText() {
  const TCodeEntry e = Pop();
  if (!IsText(e.TypeCode)) {
    BadCode();
    return {};
  }
  return {e.Text, static_cast<size_t>(e.Int)};
}

double PopNumber() {
  const TCodeEntry e = Pop();
  if (e.TypeCode != kTypeN && e.TypeCode != kTypeD) {
    BadCode();
    return 0;
  }
  return e.Num;
}

bool PopLogical() {
  const TCodeEntry e = Pop();
  if (e.TypeCode != kTypeL) {
    BadCode();
    return false;
  }
  return e.Int != 0;
}

// Field and area numbers are logical-typed data entries holding the number.
int32_t PopInt() {
  const TCodeEntry e = Pop();
  if (e.TypeCode != kTypeL) {
    BadCode();
    return 0;
  }
  return e.Int;
}

// A data entry of the code list (PushWD).
void PushData(const TCodeEntry& d) {
  switch (d.TypeCode) {
    case kTypeC:
    case kTypeM: {
      const char* p = d.Text ? d.Text : "";
      PushText(d.TypeCode, p, std::strlen(p));
      break;
    }
    case kTypeN:
    case kTypeD:
      PushNumber(d.TypeCode, d.Num);
      break;
    case kTypeL:
      if (TCodeEntry* e = NewEntry()) {
        e->TypeCode = kTypeL;
        e->Int = d.Int;
      }
      break;
    default:
      SetError(356,
               "Unknown data type (none of \"C\",\"N\",\"F\",\"L\",\"D\"or\"M\") [PARSER/PushWD]");
      Stop();
  }
}

// ---- Conversions ------------------------------------------------------------------------

// trunc(v) as a 32-bit integer; false after reporting when it does not fit.
bool ToInt(double v, int32_t& out) {
  if (v > -2147483649.0 && v < 2147483648.0) {
    out = static_cast<int32_t>(v);
    return true;
  }
  EvalError(kIntRange);
  out = 0;
  return false;
}

// ---- Fields -----------------------------------------------------------------------------

bool TypeFits(char field_type, int32_t type) {
  switch (type) {
    case kTypeC:
      return field_type == 'C';
    case kTypeN:
      return field_type == 'N' || field_type == 'F';
    case kTypeL:
      return field_type == 'L';
    case kTypeD:
      return field_type == 'D';
    default:
      return field_type == 'M';
  }
}

// A memo: its lines (each cut at 255 characters) run together, cut at the pool's end.
void PushMemo(uint8_t area, std::string_view bytes) {
  const double number = LeadingNumber(bytes);
  int32_t ref = number >= 2147483647.0    ? 2147483647
                : number <= -2147483648.0 ? -2147483647 - 1
                                          : static_cast<int32_t>(number);
  const size_t at = g_block->PoolNext;
  const size_t pool_size = g_block->Pool.size();
  const size_t room = at < pool_size ? std::min(pool_size - at - 1, kMaxText) : 0;
  g_scratch.clear();
  if (ref != 0 && MemoHooks.AssignMemo) {
    TMemoDevice f;
    const uint8_t current = CurrentArea;
    CurrentArea = area;
    const bool assigned = MemoHooks.AssignMemo(f, ref);
    CurrentArea = current;
    if (assigned && f.Reset() == 0) {
      std::string line;
      while (!f.Eof() && g_scratch.size() < room) {
        if (f.ReadLn(line) != 0) break;
        g_scratch.append(line, 0, std::min(line.size(), kMaxText));
      }
    }
    f.Close();
  }
  // The text ends at its first NUL, as every character value does.
  const size_t n = std::min(room, std::strlen(g_scratch.c_str()));
  PushText(kTypeM, g_scratch.data(), n);  // an exhausted pool reports the overflow
}

void FetchField(int32_t opcode) {
  const bool qualified = opcode >= kAliasC;
  const int32_t type = kTypeC + (opcode - (qualified ? kAliasC : kFieldC));
  int32_t area = CurrentArea;
  if (qualified) {
    const int32_t a = PopInt();
    if (a < 33) area = a;  // 33 and above mean the current area
  }
  const int32_t field_no = PopInt();
  if (g_stopped) return;
  const TWorkAreaRec* wa = area >= 1 && area <= kMaxArea ? WorkAreas[area].get() : nullptr;
  if (!wa) {
    EvalError(kNoTable);
    PushBlank(type);
    return;
  }
  const TDbfFileRec& t = wa->Dbf;
  if (field_no < 1 || static_cast<size_t>(field_no) > t.Fields.size() ||
      !TypeFits(t.Fields[field_no - 1].FieldType, type)) {
    EvalError(kBadField);
    PushBlank(type);
    return;
  }
  const TFieldDef& f = t.Fields[field_no - 1];
  // Off a record (an empty table, past the end) every field reads as blanks.
  const bool on_record = t.RecNo >= 1 && t.RecNo <= t.RecCount &&
                         static_cast<size_t>(f.Offset) + f.Len <= t.RecBuf.size();
  const std::string_view bytes =
      on_record ? std::string_view(reinterpret_cast<const char*>(t.RecBuf.data()) + f.Offset, f.Len)
                : std::string_view(Blanks().data(), f.Len);
  switch (type) {
    case kTypeC:
      PushText(kTypeC, bytes.data(), strnlen(bytes.data(), bytes.size()));
      break;
    case kTypeN:
      PushNumber(kTypeN, LeadingNumber(bytes));
      break;
    case kTypeL: {
      const char c = bytes.empty() ? ' ' : UpperChar(bytes[0]);
      PushLogical(c == 'Y' || c == 'T');
      break;
    }
    case kTypeD:
      PushNumber(kTypeD, static_cast<double>(DayNumberFromText(bytes)));
      break;
    default:
      PushMemo(static_cast<uint8_t>(area), bytes);
  }
}

// ---- Dates ------------------------------------------------------------------------------

// The whole day number of a date value; false after reporting when it is not a 32-bit number.
bool DayOf(double d, int64_t& day_number) {
  int32_t n = 0;
  const bool ok = ToInt(d, n);
  day_number = n;
  return ok;
}

uint8_t Mode() { return DateMode > 8 ? 0 : DateMode; }

// DTOC: the date in the current date mode, the year with 4 digits when Century is on.
std::string DateText(int64_t day_number) {
  int64_t year = 0;
  int month = 0, day = 0;
  const bool blank = !DayNumberToDate(day_number, year, month, day);
  const uint8_t mode = Mode();
  const char sep = mode == 3 ? '-' : (mode == 1 || (mode >= 4 && mode <= 7)) ? '.' : '/';
  const std::string y = blank     ? std::string(Century ? 4 : 2, ' ')
                        : Century ? ZeroPadded(year, 4)
                                  : ZeroPadded(year % 100, 2);
  const std::string m = blank ? "  " : ZeroPadded(month, 2);
  const std::string d = blank ? "  " : ZeroPadded(day, 2);
  if (mode == 0) return m + sep + d + sep + y;
  if (mode == 1) return y + sep + m + sep + d;
  return d + sep + m + sep + y;
}

// A date of the year 2000 in the current mode's form, for the name tables.
std::string NameDate(int month, int day) {
  return DateToMode(ZeroPadded(month, 2) + "/" + ZeroPadded(day, 2) + "/2000");
}

// CTOD: the date text read in the current mode through the fixed form with a 4-digit year.
int64_t DayNumberOfDateText(std::string_view s) {
  const std::string text(s.substr(0, 10));
  const bool century = Century;
  Century = true;
  const std::string fixed = DateFromMode(text);
  Century = century;
  auto digits = [&fixed](size_t from, size_t len) -> int64_t {
    if (from + len > fixed.size()) return -1;
    int64_t v = 0;
    for (size_t i = from; i < from + len; ++i) {
      if (fixed[i] < '0' || fixed[i] > '9') return -1;
      v = v * 10 + (fixed[i] - '0');
    }
    return v;
  };
  const int64_t month = digits(0, 2), day = digits(3, 2), year = digits(6, 4);
  if (month < 0 || day < 0 || year < 0) return 0;
  return DayNumberOf(year, static_cast<int>(month), static_cast<int>(day));
}

// ---- Numbers as text --------------------------------------------------------------------

// v with k decimals (0..255), rounded half away from zero.
std::string FixedText(double v, int k) {
  long double scale = 1;
  for (int i = 0; i < k; ++i) scale *= 10;
  const long double scaled = static_cast<long double>(v) * scale;
  if (std::fabs(scaled) < 9.0e18L) {
    const int64_t r = RoundHalfAwayFromZero(scaled);
    std::string digits = ZeroPadded(r < 0 ? -r : r, k + 1);
    if (k > 0) digits.insert(digits.size() - static_cast<size_t>(k), 1, '.');
    return r < 0 ? "-" + digits : digits;
  }
  // Beyond 64 bits the value is a whole number or its last digit is far below the shown ones.
  char buf[700];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, k);
  return std::string(buf, res.ptr);
}

// STR(n, w, k): right-aligned in w (at most 255), w asterisks when it does not fit.
std::string StrText(double v, int32_t w, int32_t k) {
  if (w <= 0) return "";
  const size_t width = std::min<size_t>(static_cast<size_t>(w), kMaxText);
  if (k < 0) k = 0;
  if (static_cast<size_t>(k) >= width) return std::string(width, '*');
  std::string s = FixedText(v, k);
  if (s.size() > width) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

// ROUND(n, k): n cut toward zero to k decimals, the powers taken by repeated multiplication.
bool RoundValue(double n, double k, double& out) {
  int32_t whole = 0, decimals = 0;
  out = 0;
  if (!ToInt(k, decimals) || !ToInt(n, whole)) return false;
  const double frac = n - whole;
  double up = 1, down = 1;
  for (int32_t i = 0; i < decimals; ++i) {
    up *= 10;
    down *= 0.1;
    if (std::isinf(up) && down == 0) break;  // nothing changes any more
  }
  const double scaled = frac * up;
  out = std::isfinite(scaled) ? whole + std::trunc(scaled) * down : n;
  return true;
}

// ---- Strings ----------------------------------------------------------------------------

int CompareText(const Text& a, const Text& b) {
  const int r = CompareBytes(a.p, b.p, std::min(a.n, b.n));
  if (r != 0) return r;
  return a.n < b.n ? -1 : a.n > b.n ? 1 : 0;
}

size_t TrailingBlanks(const Text& s) {
  size_t n = 0;
  while (n < s.n && s.p[s.n - 1 - n] == ' ') ++n;
  return n;
}

// ---- Operators and functions ------------------------------------------------------------

// Operands an instruction takes from the work stack; -1 for one the evaluator passes over.
int Arity(const TCodeEntry& e) {
  const int32_t op = e.Opcode;
  if (op >= kFieldC && op <= kFieldM) return 1;
  if (op >= kAliasC && op <= kAliasM) return 2;
  if (op >= kAddNN && op <= kAnd) return 2;
  switch (op) {
    case kDate:
    case kDeleted:
    case kRecno:
      return 0;
    case kAt:
    case kLeft:
    case kMax:
    case kMin:
    case kMod:
    case kReplicate:
    case kRight:
    case kRound:
      return 2;
    case kIif:
    case kSubstr:
      return 3;
    case kStuff:
      return 4;
    case kStr:
      return e.Operands >= 1 && e.Operands <= 3 ? e.Operands : 0;
    case kAbs:
    case kAsc:
    case kCdow:
    case kChr:
    case kCmonth:
    case kCtod:
    case kDay:
    case kDow:
    case kDtoc:
    case kDtos:
    case kInt:
    case kLen:
    case kLower:
    case kLtrim:
    case kMonth:
    case kRtrim:
    case kSoundex:
    case kSpace:
    case kTrim:
    case kUpper:
    case kVal:
    case kYear:
    case kNot:
    case kNeg:
      return 1;
    default:
      return -1;
  }
}

void Comparison(int32_t op) {
  bool r = false;
  if (op == kEqC || op == kExactC || op == kContains || op == kGtC || op == kLtC || op == kNeC ||
      op == kLeC || op == kGeC) {
    const Text b = PopText();
    const Text a = PopText();
    switch (op) {
      case kEqC:  // a begins with b; an empty b never matches
        r = b.n > 0 && b.n <= a.n && std::memcmp(a.p, b.p, b.n) == 0;
        break;
      case kExactC:
        r = CompareText(a, b) == 0;
        break;
      case kContains:  // a occurs in b; an empty a does not, as AT finds it nowhere
        r = a.n > 0 && b.view().find(a.view()) != std::string_view::npos;
        break;
      case kGtC:
        r = CompareText(a, b) > 0;
        break;
      case kLtC:
        r = CompareText(a, b) < 0;
        break;
      case kNeC:
        r = CompareText(a, b) != 0;
        break;
      case kLeC:
        r = CompareText(a, b) <= 0;
        break;
      default:
        r = CompareText(a, b) >= 0;
    }
  } else if (op == kEqL || op == kNeL) {
    const bool b = PopLogical();
    const bool a = PopLogical();
    r = op == kEqL ? a == b : a != b;
  } else {
    const double b = PopNumber();
    const double a = PopNumber();
    switch (op) {
      case kEqN:
      case kEqD:
        r = a == b;
        break;
      case kGtN:
      case kGtD:
        r = a > b;
        break;
      case kLtN:
      case kLtD:
        r = a < b;
        break;
      case kNeN:
      case kNeD:
        r = a != b;
        break;
      case kLeN:
      case kLeD:
        r = a <= b;
        break;
      default:
        r = a >= b;
    }
  }
  PushLogical(r);
}

void Arithmetic(int32_t op) {
  if (op == kConcat || op == kSubCC) {
    const Text b = PopText();
    const Text a = PopText();
    g_scratch.assign(a.p, a.n);
    g_scratch.append(b.p, b.n);
    if (op == kSubCC) {
      // The trailing blanks of a move behind b.
      const size_t blanks = TrailingBlanks(a);
      RotateBlocks(g_scratch.data() + (a.n - blanks), blanks, b.n);
    }
    PushText(g_scratch);
    return;
  }
  const double b = PopNumber();
  const double a = PopNumber();
  switch (op) {
    case kAddNN:
      PushNumber(kTypeN, a + b);
      break;
    case kAddND:
    case kAddDN:
    case kSubDN:
      PushNumber(kTypeD, op == kSubDN ? a - b : a + b);
      break;
    case kSubNN:
    case kSubDD:
      PushNumber(kTypeN, a - b);
      break;
    case kMul:
      PushNumber(kTypeN, a * b);
      break;
    case kDiv:
      if (b == 0) {
        SetError(358, "Error during evaluation: Divide by 0 [Evaluate/Engine]");
        PushNumber(kTypeN, 1.0E250);
      } else {
        PushNumber(kTypeN, a / b);
      }
      break;
    default:  // kPow
      PushNumber(kTypeN, std::pow(a, b));
  }
}

void TextFunction(int32_t op) {
  const Text s = PopText();
  g_scratch.clear();
  switch (op) {
    case kLower:
    case kUpper:
      g_scratch.assign(s.p, s.n);
      for (char& c : g_scratch) c = op == kUpper ? UpperChar(c) : LowerChar(c);
      break;
    case kLtrim: {
      size_t i = 0;
      while (i < s.n && s.p[i] == ' ') ++i;
      g_scratch.assign(s.p + i, s.n - i);
      break;
    }
    case kRtrim:
    case kTrim:
      g_scratch.assign(s.p, s.n - TrailingBlanks(s));
      break;
    default:  // kSoundex
      g_scratch = Soundex(s.view(), SoundexLength);
  }
  PushText(g_scratch);
}

void DateFunction(int32_t op) {
  const double d = PopNumber();
  int64_t dn = 0;
  const bool ok = DayOf(d, dn);
  int64_t year = 0;
  int month = 0, day = 0;
  const bool dated = ok && DayNumberToDate(dn, year, month, day);
  switch (op) {
    case kDay:
      PushNumber(kTypeN, day);
      break;
    case kMonth:
      PushNumber(kTypeN, month);
      break;
    case kYear:
      PushNumber(kTypeN, static_cast<double>(year));
      break;
    case kDow:
      PushNumber(kTypeN, dated ? WeekdayOfDayNumber(dn) : 0);
      break;
    case kCdow:
      // Names come from a date of 2000 with the same weekday (2 January 2000 was a Sunday).
      PushText(dated ? DayName(NameDate(1, 1 + WeekdayOfDayNumber(dn))) : std::string());
      break;
    case kCmonth:
      PushText(dated ? MonthName(NameDate(month, 1)) : ok ? MonthName(BlankDate(Mode())) : "");
      break;
    default:  // kDtoc, kDtos: four-digit years only
      if (!ok) {
        PushText("");
      } else if (dn > kLastDayNumber) {
        EvalError(kDateRange);
        PushText("");
      } else {
        PushText(op == kDtos ? DayNumberToText(dn) : DateText(dn));
      }
  }
}

void Apply(const TCodeEntry& e) {
  const int32_t op = e.Opcode;
  const int arity = Arity(e);
  if (arity < 0) return;  // an opcode of no function: passed over
  if (g_depth < static_cast<size_t>(arity) || (op == kStr && arity == 0)) {
    BadCode();
    return;
  }
  if (op >= kFieldC && op <= kAliasM) {
    FetchField(op);
    return;
  }
  if (op >= kEqN && op <= kGeC) {
    Comparison(op);
    return;
  }
  if (op >= kAddNN && op <= kPow) {
    Arithmetic(op);
    return;
  }
  switch (op) {
    case kOr:
    case kAnd: {
      const bool b = PopLogical();
      const bool a = PopLogical();
      PushLogical(op == kOr ? a || b : a && b);
      return;
    }
    case kNot:
      PushLogical(!PopLogical());
      return;
    case kNeg:
      PushNumber(kTypeN, -PopNumber());
      return;
    case kLower:
    case kUpper:
    case kLtrim:
    case kRtrim:
    case kTrim:
    case kSoundex:
      TextFunction(op);
      return;
    case kDay:
    case kMonth:
    case kYear:
    case kDow:
    case kCdow:
    case kCmonth:
    case kDtoc:
    case kDtos:
      DateFunction(op);
      return;
    case kAbs:
      PushNumber(kTypeN, std::fabs(PopNumber()));
      return;
    case kAsc: {
      const Text s = PopText();
      PushNumber(kTypeN, s.n ? static_cast<unsigned char>(s.p[0]) : 0);
      return;
    }
    case kAt: {
      const Text t = PopText();
      const Text s = PopText();
      const size_t at = s.n ? t.view().find(s.view()) : std::string_view::npos;
      PushNumber(kTypeN, at == std::string_view::npos ? 0 : static_cast<double>(at + 1));
      return;
    }
    case kChr: {
      int32_t code = 0;
      const char c = ToInt(PopNumber(), code) ? static_cast<char>(code & 0xFF) : '\0';
      PushText(std::string_view(&c, c ? 1 : 0));
      return;
    }
    case kCtod: {
      const Text s = PopText();
      PushNumber(kTypeD, static_cast<double>(DayNumberOfDateText(s.view())));
      return;
    }
    case kDate: {
      const platform::LocalTime now = platform::Now();
      PushNumber(kTypeD, static_cast<double>(DayNumberOf(now.year, now.month, now.day)));
      return;
    }
    case kDeleted: {
      const TWorkAreaRec* wa = CurrentWorkArea();
      if (!wa) {
        CheckArea("Deleted");
        PushLogical(false);
        return;
      }
      const TDbfFileRec& t = wa->Dbf;
      PushLogical(t.RecNo >= 1 && t.RecNo <= t.RecCount && !t.RecBuf.empty() && t.RecBuf[0] == '*');
      return;
    }
    case kIif: {
      const Text t = PopText();
      const Text s = PopText();
      const bool c = PopLogical();
      const Text& r = c ? s : t;
      g_scratch.assign(r.p, r.n);
      PushText(g_scratch);
      return;
    }
    case kInt: {
      int32_t n = 0;
      ToInt(PopNumber(), n);
      PushNumber(kTypeN, n);
      return;
    }
    case kLeft:
    case kRight: {
      int32_t n = 0;
      const bool ok = ToInt(PopNumber(), n);
      const Text s = PopText();
      const size_t count = ok && n > 0 ? std::min(static_cast<size_t>(n), s.n) : 0;
      g_scratch.assign(op == kLeft ? s.p : s.p + (s.n - count), count);
      PushText(g_scratch);
      return;
    }
    case kLen:
      PushNumber(kTypeN, static_cast<double>(PopText().n));
      return;
    case kMax:
    case kMin: {
      const TCodeEntry b = Pop();
      const TCodeEntry a = Pop();
      if (IsText(a.TypeCode) || a.TypeCode == kTypeL || a.TypeCode != b.TypeCode) {
        BadCode();
        return;
      }
      PushNumber(a.TypeCode, op == kMax ? std::max(a.Num, b.Num) : std::min(a.Num, b.Num));
      return;
    }
    case kMod: {
      int32_t a = 0, b = 0;
      const double bn = PopNumber();
      const double an = PopNumber();
      if (!ToInt(an, a) || !ToInt(bn, b)) {
        PushNumber(kTypeN, 0);
      } else if (b == 0) {
        EvalError(kModZero);
        PushNumber(kTypeN, 0);
      } else {
        // In 64 bits, so that the smallest integer by -1 does not overflow.
        PushNumber(kTypeN, static_cast<double>(static_cast<int64_t>(a) % b));
      }
      return;
    }
    case kRecno:
      PushNumber(kTypeN, RecNo());
      return;
    case kReplicate:
    case kSpace: {
      int32_t n = 0;
      const bool ok = ToInt(PopNumber(), n);
      const Text s = op == kSpace ? Text{" ", 1} : PopText();
      g_scratch.clear();
      if (ok && s.n > 0) {
        for (int32_t i = 0; i < n && g_scratch.size() < kMaxText; ++i) g_scratch.append(s.p, s.n);
      }
      PushText(g_scratch);
      return;
    }
    case kRound: {
      const double k = PopNumber();
      const double n = PopNumber();
      double r = 0;
      RoundValue(n, k, r);
      PushNumber(kTypeN, r);
      return;
    }
    case kStr: {
      double args[3] = {0, 10, 0};
      for (int i = arity - 1; i >= 0; --i) args[i] = PopNumber();
      int32_t w = 10, k = 0;
      const bool ok = (arity < 2 || ToInt(args[1], w)) && (arity < 3 || ToInt(args[2], k));
      PushText(ok ? StrText(args[0], w, k) : std::string());
      return;
    }
    case kStuff: {
      const Text t = PopText();
      int32_t k = 0, p = 0;
      const double kn = PopNumber();
      const double pn = PopNumber();
      const Text s = PopText();
      if (!ToInt(pn, p) || !ToInt(kn, k)) {
        PushText("");
        return;
      }
      // Positions before the text mean its start, after it its end.
      const size_t at = p < 1 ? 0 : std::min(static_cast<size_t>(p) - 1, s.n);
      const size_t removed = k < 1 ? 0 : std::min(static_cast<size_t>(k), s.n - at);
      g_scratch.assign(s.p, at);
      g_scratch.append(t.p, t.n);
      g_scratch.append(s.p + at + removed, s.n - at - removed);
      PushText(g_scratch);
      return;
    }
    case kSubstr: {
      int32_t k = 0, p = 0;
      const double kn = PopNumber();
      const double pn = PopNumber();
      const Text s = PopText();
      g_scratch.clear();
      if (ToInt(pn, p) && ToInt(kn, k) && p >= 1 && k > 0 && static_cast<size_t>(p) <= s.n) {
        const size_t at = static_cast<size_t>(p) - 1;
        g_scratch.assign(s.p + at, std::min(static_cast<size_t>(k), s.n - at));
      }
      PushText(g_scratch);
      return;
    }
    case kVal:
      PushNumber(kTypeN, LeadingNumber(PopText().view()));
      return;
    default:
      return;
  }
}

// Points the block's result at its value: the pool start for character results, the bottom
// of the work stack otherwise. A stopped evaluation gives the empty value of its type.
const void* Finish(TExprBlock* block) {
  static const char kEmptyText[] = "";
  static const TCodeEntry kEmpty{};
  const bool empty = g_stopped || g_depth == 0;
  if (block->ResultType == 'C' || block->ResultType == 'M') {
    if (block->Pool.empty()) {
      block->Result = kEmptyText;
    } else {
      if (empty) block->Pool[0] = '\0';
      block->Result = block->Pool.data();
    }
    return block->Result;
  }
  const TCodeEntry* bottom = &kEmpty;
  if (!block->WorkStack.empty()) {
    if (empty) block->WorkStack[0] = TCodeEntry{};
    bottom = &block->WorkStack[0];
  }
  block->Result = block->ResultType == 'L' ? static_cast<const void*>(&bottom->Int)
                                           : static_cast<const void*>(&bottom->Num);
  return block->Result;
}

}  // namespace

const void* EvaluateExpr(TExprBlock* block) {
  if (!block) return nullptr;
  g_block = block;
  g_depth = 0;
  g_stopped = false;
  block->PoolNext = 0;
  for (const TCodeEntry& e : block->Code) {
    if (e.Opcode == kOpEnd) break;
    if (e.Opcode == kOpData)
      PushData(e);
    else
      Apply(e);
    if (g_stopped) break;
  }
  return Finish(block);
}

std::string ExprResultText(TExprBlock* block) {
  if (!block || (block->ResultType != 'C' && block->ResultType != 'M') || block->Pool.empty())
    return "";
  return std::string(block->Pool.data(), strnlen(block->Pool.data(), block->Pool.size()));
}

}  // namespace engine
