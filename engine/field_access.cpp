// Field access: the native record buffer, its conversions to and from the file-form record,
// the blank record, the field-description routines and the direct field reads and writes by
// record number (Peek, Poke) with Peek's record cache.
//
// Native slots, in field order after the deletion flag (byte 0):
//   C(L)  length byte + L characters      D   length byte + 10 characters (date text)
//   N/F with decimals  6-byte real        N/F without decimals  signed 32-bit integer
//   L     Boolean byte                    M   signed 32-bit memo block number
// The conversions walk the field table once per record and allocate nothing: they run on
// every record move and every record write.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dates.h"
#include "engine/error.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/dos_error.h"

namespace engine {

namespace {

// Records of one table, read as a block for Peek.
struct TPeekCache {
  std::string Alias;  // owning area; empty = no cache
  int32_t First = 0;
  int32_t Count = 0;
  uint16_t RecLen = 0;
  std::vector<uint8_t> Data;
};

TPeekCache g_peek;

constexpr size_t kMaxSlot = 256;  // C(255): length byte + 255 characters

uint16_t SlotSize(const TFieldDef& f) {
  switch (f.FieldType) {
    case 'C':
      return static_cast<uint16_t>(f.Len + 1);
    case 'D':
      return 11;
    case 'N':
    case 'F':
      return f.Dec > 0 ? 6 : 4;
    case 'L':
      return 1;
    case 'M':
      return 4;
    default:
      return 0;  // the file layer accepts no other type
  }
}

bool IsBlank(uint8_t c) { return c <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the number at the start of [p, end) after leading blanks: an optional sign,
// digits with an optional decimal point and an optional exponent. Anything after the valid
// part is ignored; a text without a number is 0. Beyond the range of a double the value is
// the largest double of its sign (or 0 for a tiny one).
double ParseNumber(const uint8_t* p, const uint8_t* end) {
  while (p < end && IsBlank(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  const char* s = reinterpret_cast<const char*>(p);
  const char* e = reinterpret_cast<const char*>(end);
  // Only a digit or a point followed by a digit starts a number (no "inf", "nan" or hex).
  if (s == e || !(IsDigit(*s) || (*s == '.' && s + 1 < e && IsDigit(s[1])))) return 0.0;
  double value = 0.0;
  auto [stop, ec] = std::from_chars(s, e, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Decimal magnitude: integer digits after leading zeros (or minus the zeros after the
    // point), plus the exponent.
    const char* q = s;
    while (q < stop && *q == '0') ++q;
    int64_t magnitude = 0;
    while (q < stop && IsDigit(*q)) ++q, ++magnitude;
    if (magnitude == 0 && q < stop && *q == '.') {
      ++q;
      while (q < stop && *q == '0') ++q, --magnitude;
    }
    while (q < stop && *q != 'e' && *q != 'E') ++q;
    if (q < stop) {
      ++q;
      bool exp_negative = false;
      if (q < stop && (*q == '+' || *q == '-')) exp_negative = *q++ == '-';
      int64_t exp = 0;
      while (q < stop && IsDigit(*q) && exp < 100000) exp = exp * 10 + (*q++ - '0');
      magnitude += exp_negative ? -exp : exp;
    }
    value = magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

// The whole part of `value`, clamped to the range of a 32-bit integer.
int32_t ClampToInt32(double value) {
  if (std::isnan(value)) return 0;
  const double whole = std::trunc(value);
  if (whole >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (whole <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(whole);
}

// Writes `text` of `len` characters right-aligned into the field of `width` bytes, or
// `width` "*" characters when it does not fit.
void PutRightAligned(const char* text, size_t len, uint8_t* field, size_t width) {
  if (len > width) {
    std::memset(field, '*', width);
    return;
  }
  std::memset(field, ' ', width - len);
  std::memcpy(field + (width - len), text, len);
}

void PutInteger(int32_t value, uint8_t* field, size_t width) {
  char text[16];
  auto [end, ec] = std::to_chars(text, text + sizeof(text), value);
  (void)ec;
  PutRightAligned(text, static_cast<size_t>(end - text), field, width);
}

// Formats `value` with `dec` decimals, rounding its exact binary value half away from zero.
// Returns the length written into `out` (room for 400 characters).
size_t FormatFixed(double value, int dec, char* out) {
  const bool negative = std::signbit(value);
  double magnitude = std::fabs(value);
  if (!std::isfinite(magnitude)) magnitude = kReal48Max;
  // Every double has a finite decimal expansion: mantissa m and exponent e with
  // value = m * 2^e have max(0, -e) decimals once m's trailing zero bits are gone.
  int frac_digits = 0;
  if (magnitude != 0.0) {
    int exp2 = 0;
    const double fraction = std::frexp(magnitude, &exp2);
    auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
    int e = exp2 - 53;
    while (e < 0 && (mantissa & 1) == 0) {
      mantissa >>= 1;
      ++e;
    }
    frac_digits = e < 0 ? -e : 0;
  }
  // A 6-byte real needs at most 39 integer digits and 167 decimals; anything finer than the
  // decimals kept beyond the rounding digit cannot change the result.
  frac_digits = std::min(frac_digits, std::max(dec + 1, 0) + 200);
  char exact[512];
  auto [stop, ec] =
      std::to_chars(exact, exact + sizeof(exact), magnitude, std::chars_format::fixed, frac_digits);
  if (ec != std::errc()) {
    stop = exact;
    *stop++ = '0';
  }
  const size_t exact_len = static_cast<size_t>(stop - exact);
  size_t point = exact_len;
  for (size_t i = 0; i < exact_len; ++i) {
    if (exact[i] == '.') point = i;
  }
  // Integer digits, then `dec` decimals (padded with zeros), as one digit string.
  char digits[512];
  size_t n = 0;
  for (size_t i = 0; i < point; ++i) digits[n++] = exact[i];
  for (int i = 0; i < dec; ++i) {
    const size_t at = point + 1 + static_cast<size_t>(i);
    digits[n++] = at < exact_len ? exact[at] : '0';
  }
  const size_t round_at = point + 1 + static_cast<size_t>(std::max(dec, 0));
  if (round_at < exact_len && exact[round_at] >= '5') {
    size_t i = n;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i > 0) {
      ++digits[i - 1];
    } else {
      std::memmove(digits + 1, digits, n);
      digits[0] = '1';
      ++n;
    }
  }
  const size_t int_digits = n - static_cast<size_t>(std::max(dec, 0));
  bool zero = true;
  for (size_t i = 0; i < n; ++i) zero = zero && digits[i] == '0';
  size_t len = 0;
  if (negative && !zero) out[len++] = '-';
  for (size_t i = 0; i < int_digits; ++i) out[len++] = digits[i];
  if (dec > 0) {
    out[len++] = '.';
    for (size_t i = int_digits; i < n; ++i) out[len++] = digits[i];
  }
  return len;
}

uint8_t Mode() { return DateMode > 8 ? 0 : DateMode; }

char DateSeparator(uint8_t mode) {
  if (mode == 0 || mode == 2) return '/';
  if (mode == 3) return '-';
  return '.';
}

// File form -> native slot for one field. `rec` is the file-form record.
void FieldToSlot(const TFieldDef& f, const uint8_t* rec, uint8_t* slot) {
  const uint8_t* src = rec + f.Offset;
  switch (f.FieldType) {
    case 'C':
      slot[0] = f.Len;
      std::memcpy(slot + 1, src, f.Len);
      break;
    case 'D': {
      uint8_t ymd[8];
      std::memset(ymd, ' ', sizeof(ymd));
      std::memcpy(ymd, src, std::min<size_t>(f.Len, 8));
      const uint8_t* year = Century ? ymd : ymd + 2;
      const size_t year_len = Century ? 4 : 2;
      const uint8_t* month = ymd + 4;
      const uint8_t* day = ymd + 6;
      const uint8_t mode = Mode();
      const uint8_t sep = static_cast<uint8_t>(DateSeparator(mode));
      const uint8_t* parts[3];
      size_t lens[3] = {2, 2, 2};
      if (mode == 0) {
        parts[0] = month, parts[1] = day, parts[2] = year, lens[2] = year_len;
      } else if (mode == 1) {
        parts[0] = year, parts[1] = month, parts[2] = day, lens[0] = year_len;
      } else {
        parts[0] = day, parts[1] = month, parts[2] = year, lens[2] = year_len;
      }
      std::memset(slot + 1, ' ', 10);
      size_t at = 1;
      for (int i = 0; i < 3; ++i) {
        if (i > 0) slot[at++] = sep;
        std::memcpy(slot + at, parts[i], lens[i]);
        at += lens[i];
      }
      slot[0] = static_cast<uint8_t>(at - 1);
      break;
    }
    case 'N':
    case 'F': {
      const double value = ParseNumber(src, src + f.Len);
      if (f.Dec > 0) {
        const Real48 r = Real48Encode(value);
        std::memcpy(slot, r.data(), r.size());
      } else {
        PutI32LE(slot, ClampToInt32(value));
      }
      break;
    }
    case 'L': {
      const uint8_t c = f.Len > 0 ? src[0] : ' ';
      slot[0] = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 1 : 0;
      break;
    }
    case 'M':
      PutI32LE(slot, ClampToInt32(ParseNumber(src, src + f.Len)));
      break;
    default:
      break;
  }
}

// True when the date text holds nothing but blanks and separators (the blank masks).
bool BlankDateText(const uint8_t* text, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    const uint8_t c = text[i];
    if (!IsBlank(c) && c != '/' && c != '.' && c != '-') return false;
  }
  return true;
}

// Native slot -> file form for one field.
void SlotToField(const TFieldDef& f, const uint8_t* slot, uint8_t* rec) {
  uint8_t* dst = rec + f.Offset;
  switch (f.FieldType) {
    case 'C': {
      const size_t n = std::min<size_t>(slot[0], f.Len);
      std::memcpy(dst, slot + 1, n);
      std::memset(dst + n, ' ', f.Len - n);
      break;
    }
    case 'D': {
      const size_t len = std::min<size_t>(slot[0], 10);
      const uint8_t* text = slot + 1;
      char ymd[8];
      std::memset(ymd, ' ', sizeof(ymd));
      if (!BlankDateText(text, len)) {
        const uint8_t mode = Mode();
        const size_t year_len = Century ? 4 : 2;
        size_t year_at = 6, month_at = 3, day_at = 0;
        if (mode == 0) {
          month_at = 0, day_at = 3;
        } else if (mode == 1) {
          year_at = 0, month_at = year_len + 1, day_at = year_len + 4;
        }
        auto part = [&](size_t at, size_t n) {
          std::string s(n, ' ');
          for (size_t i = 0; i < n; ++i) {
            if (at + i < len) s[i] = static_cast<char>(text[at + i]);
          }
          return s;
        };
        std::string year = part(year_at, year_len);
        if (!Century) year = CenturyDigits(year) + year;
        const std::string full = year.substr(0, 4) + part(month_at, 2) + part(day_at, 2);
        std::memcpy(ymd, full.data(), std::min<size_t>(full.size(), 8));
      }
      const size_t n = std::min<size_t>(f.Len, 8);
      std::memcpy(dst, ymd, n);
      std::memset(dst + n, ' ', f.Len - n);
      break;
    }
    case 'N':
    case 'F':
      if (f.Dec > 0) {
        Real48 r;
        std::memcpy(r.data(), slot, r.size());
        char text[400];
        const size_t len = FormatFixed(Real48Decode(r), f.Dec, text);
        PutRightAligned(text, len, dst, f.Len);
      } else {
        PutInteger(GetI32LE(slot), dst, f.Len);
      }
      break;
    case 'L':
      if (f.Len > 0) {
        dst[0] = slot[0] != 0 ? 'T' : 'F';
        std::memset(dst + 1, ' ', f.Len - 1u);
      }
      break;
    case 'M':
      PutInteger(GetI32LE(slot), dst, f.Len);
      break;
    default:
      break;
  }
}

// The current area when it has a bound buffer (USE binds one of the table's native size).
TWorkAreaRec* BoundArea() {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr || wa->UserBuf == nullptr || wa->Dbf.RecBuf.size() < wa->Dbf.RecLen) {
    return nullptr;
  }
  return wa;
}

void BlankSlot(const TFieldDef& f, uint8_t* slot) {
  switch (f.FieldType) {
    case 'C':
      slot[0] = f.Len;
      std::memset(slot + 1, ' ', f.Len);
      break;
    case 'D': {
      const char sep = DateSeparator(Mode());
      const char mask[] = {' ', ' ', sep, ' ', ' ', sep, ' ', ' ', ' ', ' '};
      slot[0] = Century ? 10 : 8;
      std::memcpy(slot + 1, mask, sizeof(mask));
      break;
    }
    default:
      std::memset(slot, 0, SlotSize(f));
      break;
  }
}

bool BadField(uint8_t n, const char* routine) {
  if (n >= 1 && n <= CurrentWorkArea()->Dbf.FieldCount) return false;
  SetError(220, std::string("Invalid field number. [") + routine + "(" + std::to_string(n) + ")]");
  return true;
}

uint64_t RecordOffset(const TDbfFileRec& t, int32_t rec) {
  return uint64_t{t.HeaderLen} + static_cast<uint64_t>(rec - 1) * t.RecLen;
}

bool CacheHolds(const TPeekCache& c, int32_t rec) {
  return !c.Alias.empty() && rec >= c.First && rec < c.First + c.Count;
}

}  // namespace

uint16_t NativeRecSize(const TDbfFileRec& table) {
  uint32_t size = 1;
  for (const TFieldDef& f : table.Fields) size += SlotSize(f);
  return static_cast<uint16_t>(size);
}

void DbfToNative() {
  TWorkAreaRec* wa = BoundArea();
  if (wa == nullptr) return;
  const uint8_t* rec = wa->Dbf.RecBuf.data();
  uint8_t* slot = wa->UserBuf;
  *slot++ = rec[0] == '*' ? 1 : 0;
  for (const TFieldDef& f : wa->Dbf.Fields) {
    FieldToSlot(f, rec, slot);
    slot += SlotSize(f);
  }
}

void NativeToDbf() {
  TWorkAreaRec* wa = BoundArea();
  if (wa == nullptr) return;
  uint8_t* rec = wa->Dbf.RecBuf.data();
  const uint8_t* slot = wa->UserBuf;
  rec[0] = *slot++ != 0 ? '*' : ' ';
  for (const TFieldDef& f : wa->Dbf.Fields) {
    SlotToField(f, slot, rec);
    slot += SlotSize(f);
  }
}

void NativeToDbfChanged() {
  TWorkAreaRec* wa = BoundArea();
  if (wa == nullptr) return;
  uint8_t* rec = wa->Dbf.RecBuf.data();
  const uint8_t* slot = wa->UserBuf;
  rec[0] = *slot++ != 0 ? '*' : ' ';
  uint8_t stored[kMaxSlot];
  for (const TFieldDef& f : wa->Dbf.Fields) {
    const uint16_t size = SlotSize(f);
    FieldToSlot(f, rec, stored);
    if (std::memcmp(stored, slot, size) != 0) SlotToField(f, slot, rec);
    slot += size;
  }
}

void ClearRecord() {
  if (CheckArea("ClearRecord")) return;
  TWorkAreaRec* wa = BoundArea();
  if (wa == nullptr) return;
  uint8_t* slot = wa->UserBuf;
  *slot++ = 0;
  for (const TFieldDef& f : wa->Dbf.Fields) {
    BlankSlot(f, slot);
    slot += SlotSize(f);
  }
}

char FieldType(uint8_t n) {
  if (CheckArea("FieldType()") || BadField(n, "FieldType")) return ' ';
  return CurrentWorkArea()->Dbf.Fields[n - 1].FieldType;
}

uint8_t FieldLen(uint8_t n) {
  if (CheckArea("FieldLen()") || BadField(n, "FieldLen")) return 0;
  const TFieldDef& f = CurrentWorkArea()->Dbf.Fields[n - 1];
  if (f.FieldType == 'D') return Century ? 10 : 8;
  return f.Len;
}

uint8_t FieldDec(uint8_t n) {
  if (CheckArea("FieldDec()") || BadField(n, "FieldDec")) return 0;
  return CurrentWorkArea()->Dbf.Fields[n - 1].Dec;
}

uint8_t* FieldAddress(uint8_t n) {
  if (CheckArea("FieldAddress()")) return nullptr;
  TWorkAreaRec* wa = CurrentWorkArea();
  if (n == 0) return wa->UserBuf;
  if (BadField(n, "FieldAddress") || wa->UserBuf == nullptr) return nullptr;
  size_t offset = 1;
  for (uint8_t i = 0; i + 1 < n; ++i) offset += SlotSize(wa->Dbf.Fields[i]);
  return wa->UserBuf + offset;
}

bool Deleted() {
  if (CheckArea("Deleted")) return false;
  const TWorkAreaRec* wa = CurrentWorkArea();
  return wa->UserBuf != nullptr && wa->UserBuf[0] != 0;
}

std::string Field(uint8_t n) {
  if (CheckArea("Field()") || BadField(n, "Field")) return {};
  return CurrentWorkArea()->Dbf.Fields[n - 1].Name;
}

uint8_t FieldNo(const std::string& name) {
  if (CheckArea("FieldNo()")) return 0;
  std::string wanted = name.substr(0, 10);
  while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
  UpperStr(wanted);
  const std::vector<TFieldDef>& fields = CurrentWorkArea()->Dbf.Fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].Name == wanted) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

uint8_t FieldCount() {
  if (CheckArea("FieldCount()")) return 0;
  return CurrentWorkArea()->Dbf.FieldCount;
}

std::string Peek(uint8_t n, int32_t rec) {
  if (CheckArea("Peek")) return {};
  TWorkAreaRec& wa = *CurrentWorkArea();
  TDbfFileRec& t = wa.Dbf;
  if (rec < 1 || rec > t.RecCount || n > t.FieldCount || t.RecLen == 0) return {};
  const size_t offset = n == 0 ? 0 : t.Fields[n - 1].Offset;
  const size_t len = n == 0 ? 1 : t.Fields[n - 1].Len;

  if (PeekCacheSize == 0) {
    std::string out(len, '\0');
    size_t got = 0;
    t.DataFile.ReadAt(RecordOffset(t, rec) + offset, out.data(), len, &got);
    out.resize(got);
    return out;
  }

  if (!g_peek.Alias.empty() && (g_peek.Alias != wa.Alias || g_peek.RecLen != t.RecLen)) {
    ReleasePeekCache({});
  }
  if (!CacheHolds(g_peek, rec)) {
    ReleasePeekCache({});
    const int64_t half_heap = FreeHeap() / 2;
    int64_t bytes = std::min<int64_t>({PeekCacheSize, half_heap, 65520});
    // Whole records, no more than the table holds from `rec` on.
    int64_t records = std::min<int64_t>(bytes / t.RecLen, t.RecCount);
    records = std::min<int64_t>(records, int64_t{t.RecCount} - rec + 1);
    if (records <= 0) {
      if (half_heap < t.RecLen) {
        SetError(217, "Insufficient memory for cache [Peek]");
        return {};
      }
      records = 1;
    }
    g_peek.Data.assign(static_cast<size_t>(records) * t.RecLen, 0);
    size_t got = 0;
    int rc = t.DataFile.ReadAt(RecordOffset(t, rec), g_peek.Data.data(), g_peek.Data.size(), &got);
    if (rc != 0 || got < t.RecLen) {
      ReleasePeekCache({});
      SetError(
          static_cast<uint16_t>(rc != 0 ? rc : platform::kDosReadError),
          "DBF: " + t.FileName + " [Peek(" + std::to_string(n) + "," + std::to_string(rec) + ")]");
      return {};
    }
    g_peek.Alias = wa.Alias;
    g_peek.First = rec;
    g_peek.Count = static_cast<int32_t>(got / t.RecLen);
    g_peek.RecLen = t.RecLen;
  }
  const size_t at = static_cast<size_t>(rec - g_peek.First) * g_peek.RecLen + offset;
  return std::string(reinterpret_cast<const char*>(g_peek.Data.data() + at), len);
}

void Poke(const std::string& value, uint8_t n, int32_t rec) {
  if (CheckArea("Poke")) return;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TDbfFileRec& t = wa.Dbf;
  const std::string routine =
      ("[Poke(" + value + "," + std::to_string(n) + "," + std::to_string(rec) + ")]")
          .substr(0, 100);
  if (SharedAccess && !wa.Exclusive && !IsLocked(rec)) {
    SetError(1200, "Record not locked " + routine);
    return;
  }
  if (rec < 1 || rec > t.RecCount || n > t.FieldCount) return;
  const size_t offset = n == 0 ? 0 : t.Fields[n - 1].Offset;
  const size_t len = std::min<size_t>(value.size(), n == 0 ? 1 : t.Fields[n - 1].Len);
  if (len == 0) return;
  size_t written = 0;
  const int rc = t.DataFile.WriteAt(RecordOffset(t, rec) + offset, value.data(), len, &written);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0 || written < len) {
    SetError(static_cast<uint16_t>(rc != 0 ? rc : platform::kDosWriteError), routine);
    return;
  }
  if (g_peek.Alias == wa.Alias && CacheHolds(g_peek, rec) && g_peek.RecLen == t.RecLen) {
    const size_t at = static_cast<size_t>(rec - g_peek.First) * g_peek.RecLen + offset;
    std::memcpy(g_peek.Data.data() + at, value.data(), len);
  }
}

void RefreshPeekCacheRecord() {
  const TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr || g_peek.Alias != wa->Alias || g_peek.RecLen != wa->Dbf.RecLen) return;
  const int32_t rec = wa->Dbf.RecNo;
  if (!CacheHolds(g_peek, rec) || wa->Dbf.RecBuf.size() < g_peek.RecLen) return;
  std::memcpy(g_peek.Data.data() + static_cast<size_t>(rec - g_peek.First) * g_peek.RecLen,
              wa->Dbf.RecBuf.data(), g_peek.RecLen);
}

void ReleasePeekCache(const std::string& alias) {
  if (!alias.empty() && g_peek.Alias != alias) return;
  g_peek = TPeekCache{};
}

}  // namespace engine
