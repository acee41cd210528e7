#include "engine/utils.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "engine/dates.h"
#include "engine/error.h"
#include "engine/numerics.h"
#include "platform/core/clock.h"
#include "platform/core/code_pages.h"
#include "platform/core/dos_error.h"
#include "platform/core/paths.h"

namespace engine {

// ---- Memory ----------------------------------------------------------------------------

bool UnlimitedHeap = false;

namespace {

constexpr int32_t kHeapMax = 0x7FFFFFFF;
int64_t g_heap_override = -1;  // < 0: no test figure

}  // namespace

int32_t FreeHeap() {
  if (UnlimitedHeap || g_heap_override < 0) return kHeapMax;
  return static_cast<int32_t>(std::min<int64_t>(g_heap_override, kHeapMax));
}

void SetFreeHeapForTest(int64_t bytes) { g_heap_override = bytes < 0 ? -1 : bytes; }

bool HeapHas(int64_t size) { return FreeHeap() >= size; }

void GetMem(void*& p, uint32_t size) {
  // calloc of 0 bytes may return nullptr; one byte keeps "allocated" distinct from nil.
  p = std::calloc(size == 0 ? 1 : size, 1);
  if (!p) SetError(203, "Cannot allocate " + std::to_string(size) + " bytes [GetMem()]");
}

void FreeMem(void*& p, uint32_t /*size*/) {
  if (!p) {
    SetError(9, "Attempt to free NIL pointer [FreeMem()]");
    return;
  }
  std::free(p);
  p = nullptr;
}

// ---- Character sets --------------------------------------------------------------------

namespace {

// Best-fit substitutes for characters that the target page lacks: each entry names a
// character to try instead (often its ASCII look-alike or base letter). Substitutes are
// followed until one exists in the target page or is ASCII.
struct BestFit {
  uint16_t from;
  uint16_t to;
};

constexpr BestFit kBestFit[] = {
    // Latin-1 signs and letters
    {0x00A0, ' '},
    {0x00A1, '!'},
    {0x00A2, 'c'},
    {0x00A3, 'L'},
    {0x00A5, 'Y'},
    {0x00A6, '|'},
    {0x00A8, '"'},
    {0x00A9, 'c'},
    {0x00AA, 'a'},
    {0x00AB, '<'},
    {0x00AC, '-'},
    {0x00AD, '-'},
    {0x00AE, 'r'},
    {0x00AF, '-'},
    {0x00B0, 'o'},
    {0x00B1, '+'},
    {0x00B2, '2'},
    {0x00B3, '3'},
    {0x00B4, '\''},
    {0x00B5, 'u'},
    {0x00B7, '.'},
    {0x00B8, ','},
    {0x00B9, '1'},
    {0x00BA, 'o'},
    {0x00BB, '>'},
    {0x00BF, '?'},
    {0x00C0, 'A'},
    {0x00C1, 'A'},
    {0x00C2, 'A'},
    {0x00C3, 'A'},
    {0x00C4, 'A'},
    {0x00C5, 'A'},
    {0x00C6, 'A'},
    {0x00C7, 'C'},
    {0x00C8, 'E'},
    {0x00C9, 'E'},
    {0x00CA, 'E'},
    {0x00CB, 'E'},
    {0x00CC, 'I'},
    {0x00CD, 'I'},
    {0x00CE, 'I'},
    {0x00CF, 'I'},
    {0x00D0, 'D'},
    {0x00D1, 'N'},
    {0x00D2, 'O'},
    {0x00D3, 'O'},
    {0x00D4, 'O'},
    {0x00D5, 'O'},
    {0x00D6, 'O'},
    {0x00D7, 'x'},
    {0x00D8, 'O'},
    {0x00D9, 'U'},
    {0x00DA, 'U'},
    {0x00DB, 'U'},
    {0x00DC, 'U'},
    {0x00DD, 'Y'},
    {0x00E0, 'a'},
    {0x00E1, 'a'},
    {0x00E2, 'a'},
    {0x00E3, 'a'},
    {0x00E4, 'a'},
    {0x00E5, 'a'},
    {0x00E6, 'a'},
    {0x00E7, 'c'},
    {0x00E8, 'e'},
    {0x00E9, 'e'},
    {0x00EA, 'e'},
    {0x00EB, 'e'},
    {0x00EC, 'i'},
    {0x00ED, 'i'},
    {0x00EE, 'i'},
    {0x00EF, 'i'},
    {0x00F0, 'd'},
    {0x00F1, 'n'},
    {0x00F2, 'o'},
    {0x00F3, 'o'},
    {0x00F4, 'o'},
    {0x00F5, 'o'},
    {0x00F6, 'o'},
    {0x00F7, '/'},
    {0x00F8, 'o'},
    {0x00F9, 'u'},
    {0x00FA, 'u'},
    {0x00FB, 'u'},
    {0x00FC, 'u'},
    {0x00FD, 'y'},
    {0x00FF, 'y'},
    // Latin Extended
    {0x0152, 'O'},
    {0x0153, 'o'},
    {0x0160, 'S'},
    {0x0161, 's'},
    {0x0178, 'Y'},
    {0x017D, 'Z'},
    {0x017E, 'z'},
    {0x0192, 'f'},
    {0x02C6, '^'},
    {0x02DC, '~'},
    // Greek letters of code page 437
    {0x0393, 'G'},
    {0x0398, 'T'},
    {0x03A3, 'S'},
    {0x03A6, 'F'},
    {0x03A9, 'O'},
    {0x03B1, 'a'},
    {0x03B4, 'd'},
    {0x03B5, 'e'},
    {0x03C0, 'p'},
    {0x03C3, 's'},
    {0x03C4, 't'},
    {0x03C6, 'f'},
    // Cyrillic letters that code page 866 lacks
    {0x0403, 0x0413},
    {0x0405, 'S'},
    {0x0406, 'I'},
    {0x0408, 'J'},
    {0x040C, 0x041A},
    {0x0453, 0x0433},
    {0x0455, 's'},
    {0x0456, 'i'},
    {0x0458, 'j'},
    {0x045C, 0x043A},
    {0x0490, 0x0413},
    {0x0491, 0x0433},
    // Punctuation and symbols
    {0x2013, '-'},
    {0x2014, '-'},
    {0x2018, '\''},
    {0x2019, '\''},
    {0x201A, ','},
    {0x201C, '"'},
    {0x201D, '"'},
    {0x201E, '"'},
    {0x2020, '+'},
    {0x2021, '+'},
    {0x2022, 0x2219},
    {0x2026, '.'},
    {0x2030, '%'},
    {0x2039, '<'},
    {0x203A, '>'},
    {0x207F, 'n'},
    {0x20A7, 'P'},
    {0x20AC, 'E'},
    {0x2116, 'N'},
    {0x2122, 'T'},
    {0x2219, 0x00B7},
    {0x221A, 'v'},
    {0x221E, '8'},
    {0x2229, 'n'},
    {0x2248, '~'},
    {0x2261, '='},
    {0x2264, '<'},
    {0x2265, '>'},
    {0x2310, 0x00AC},
    {0x25A0, '#'},
};

uint16_t Substitute(uint16_t cp) {
  if (cp >= 0x2500 && cp <= 0x257F) {
    // Box drawing: straight lines become "-" and "|", corners, tees and crosses "+".
    switch (cp) {
      case 0x2500:
      case 0x2501:
      case 0x2504:
      case 0x2505:
      case 0x2508:
      case 0x2509:
      case 0x254C:
      case 0x254D:
      case 0x2550:
        return '-';
      case 0x2502:
      case 0x2503:
      case 0x2506:
      case 0x2507:
      case 0x250A:
      case 0x250B:
      case 0x254E:
      case 0x254F:
      case 0x2551:
        return '|';
      default:
        return '+';
    }
  }
  if (cp >= 0x2580 && cp <= 0x259F) return '#';  // blocks and shades
  for (const BestFit& f : kBestFit) {
    if (f.from == cp) return f.to;
  }
  return '?';
}

using ByteMap = std::array<uint8_t, 128>;
using platform::CodePage;

// Maps bytes 0x80..0xFF of page `from` to page `to`: the exact counterpart when one exists,
// else the best fit. A byte that `from` leaves undefined stands for a C1 control, which no
// other page holds, so it becomes '?'.
ByteMap BuildMap(CodePage from, CodePage to) {
  ByteMap map{};
  for (int b = 0; b < 128; ++b) {
    uint16_t cp = platform::CodePageChar(from, static_cast<unsigned char>(0x80 + b));
    uint8_t result = '?';
    for (int step = 0; step < 4; ++step) {
      if (std::optional<unsigned char> hit = platform::CodePageByte(to, cp)) {
        result = *hit;
        break;
      }
      cp = Substitute(cp);
    }
    map[b] = result;
  }
  return map;
}

struct CodePageMaps {
  ByteMap oem_to_ansi;
  ByteMap ansi_to_oem;
};

const CodePageMaps& Maps(bool russian) {
  static const CodePageMaps western{BuildMap(CodePage::k437, CodePage::k1252),
                                    BuildMap(CodePage::k1252, CodePage::k437)};
  static const CodePageMaps cyrillic{BuildMap(CodePage::k866, CodePage::k1251),
                                     BuildMap(CodePage::k1251, CodePage::k866)};
  return russian ? cyrillic : western;
}

const CodePageMaps& CurrentMaps() { return Maps(platform::RussianCodePages()); }

char MapChar(const ByteMap& map, char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 0x80 ? c : static_cast<char>(map[u - 0x80]);
}

std::string MapString(const ByteMap& map, const std::string& s) {
  std::string out(s);
  for (char& c : out) c = MapChar(map, c);
  return out;
}

}  // namespace

std::string AnsiToOemStr(const std::string& s) { return MapString(CurrentMaps().ansi_to_oem, s); }
std::string OemToAnsiStr(const std::string& s) { return MapString(CurrentMaps().oem_to_ansi, s); }
char AnsiToOemChar(char c) { return MapChar(CurrentMaps().ansi_to_oem, c); }
char OemToAnsiChar(char c) { return MapChar(CurrentMaps().oem_to_ansi, c); }

// ---- Strings ---------------------------------------------------------------------------

namespace {

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// 1-based position of the n-th (n >= 1) occurrence of sub in s, overlapping occurrences
// counted; 0 when there are fewer.
int NthForward(int n, const std::string& sub, const std::string& s) {
  size_t from = 0;
  for (int found = 0;;) {
    size_t pos = s.find(sub, from);
    if (pos == std::string::npos) return 0;
    if (++found == n) return static_cast<int>(pos) + 1;
    from = pos + 1;
  }
}

}  // namespace

std::string RTrim(const std::string& s) {
  size_t end = s.size();
  while (end > 0 && IsTrimmed(s[end - 1])) --end;
  return s.substr(0, end);
}

std::string LTrim(const std::string& s) {
  size_t start = 0;
  while (start < s.size() && IsTrimmed(s[start])) ++start;
  return s.substr(start);
}

std::string AllTrim(const std::string& s) { return LTrim(RTrim(s)); }

void UpperStr(std::string& s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

std::string UpperCopy(const std::string& s) {
  std::string out(s);
  UpperStr(out);
  return out;
}

int CountSubStr(const std::string& sub, const std::string& s) {
  if (sub.empty() || s.empty()) return 0;
  if (sub.size() == 1) return static_cast<int>(std::count(s.begin(), s.end(), sub[0]));
  int count = 0;
  for (size_t pos = s.find(sub); pos != std::string::npos; pos = s.find(sub, pos + sub.size())) {
    ++count;
  }
  return count;
}

int NthPos(int n, const std::string& sub, const std::string& s) {
  if (n == 0 || sub.empty() || s.empty()) return 0;
  if (n > 0) return NthForward(n, sub, s);
  // From the right: search the reversed texts and map the hit back to the occurrence's
  // first character in s.
  std::string rs(s.rbegin(), s.rend());
  std::string rsub(sub.rbegin(), sub.rend());
  int64_t count = -static_cast<int64_t>(n);
  if (count > static_cast<int64_t>(s.size())) return 0;
  int p = NthForward(static_cast<int>(count), rsub, rs);
  if (p == 0) return 0;
  return static_cast<int>(s.size()) - p + 1 - static_cast<int>(sub.size()) + 1;
}

bool ExtractWord(const std::string& word, std::string& s) {
  std::string w = UpperCopy(word);
  UpperStr(s);
  bool removed = false;
  if (!w.empty()) {
    size_t pos = s.find(w);
    while (pos != std::string::npos) {
      size_t end = pos + w.size();
      if (end == s.size() || !IsWordChar(s[end])) {
        s.erase(pos, w.size());
        removed = true;
        pos = s.find(w, pos);
      } else {
        pos = s.find(w, pos + 1);
      }
    }
  }
  s = AllTrim(s);
  return removed;
}

std::string IntToStrW(int32_t n, uint8_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

// ---- Number texts ----------------------------------------------------------------------

char DecimalSep = '.';
char GroupSep = ',';

void SetSeparatorsForCountry(int country_index) {
  bool comma = country_index >= 3 && country_index <= 6;
  DecimalSep = comma ? ',' : '.';
  GroupSep = comma ? '.' : (country_index == 8 ? ' ' : ',');
}

namespace {

void EraseAll(std::string& s, char c) { s.erase(std::remove(s.begin(), s.end(), c), s.end()); }

void CutAt(std::string& s, size_t pos) {
  if (pos != std::string::npos && pos < s.size()) s.resize(pos);
}

// An optional leading "-" and the digits after it, saturated to [lo, hi]; a text that holds
// no digit there gives 0. Anything after the digits is ignored.
int64_t ParseSigned(const std::string& s, int64_t lo, int64_t hi) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && s[i] == '-') {
    negative = true;
    ++i;
  }
  int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (value <= hi) value = value * 10 + (s[i] - '0');  // stays far inside int64_t
  }
  if (negative) value = -value;
  return std::clamp(value, lo, hi);
}

}  // namespace

int16_t TextToInt(const std::string& s) {
  std::string t = s;
  size_t start = t.find_first_not_of(' ');
  t.erase(0, start == std::string::npos ? t.size() : start);
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  EraseAll(t, DecimalSep == '.' ? ',' : '.');
  size_t dollar = t.find('$');
  if (dollar != std::string::npos) t.erase(dollar, 1);
  CutAt(t, t.find(' '));
  CutAt(t, t.find_first_not_of("0123456789-"));
  return static_cast<int16_t>(ParseSigned(t, -32768, 32767));
}

void CleanNumStr(std::string& s) {
  EraseAll(s, '$');
  size_t start = s.find_first_not_of(" +");
  s.erase(0, start == std::string::npos ? s.size() : start);
  size_t body = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (body < s.size() && s[body] == DecimalSep) s.insert(body, 1, '0');
  EraseAll(s, GroupSep);
  if (DecimalSep != '.') std::replace(s.begin(), s.end(), DecimalSep, '.');
  CutAt(s, s.find(' '));
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= '0' && c <= '9') || c == '.' || (c == '-' && i == 0);
    if (!ok) {
      s.resize(i);
      break;
    }
  }
  if (!s.empty() && s.back() == '.') s.pop_back();
}

double TextToReal(const std::string& s) {
  std::string t = s;
  CleanNumStr(t);
  // The cleaned text may still hold a second "."; the number is its longest valid prefix.
  size_t dot = t.find('.');
  if (dot != std::string::npos) CutAt(t, t.find('.', dot + 1));
  if (t.empty() || t == "-" || t == "-." || t == ".") return 0.0;
  double value = 0.0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too many digits for a double: far beyond what a 6-byte real holds, or too small.
    bool negative = t[0] == '-';
    bool tiny = t.find_first_of("123456789") > t.find('.');
    value = tiny ? 0.0 : (negative ? -kReal48Max : kReal48Max);
  } else if (ec != std::errc()) {
    value = 0.0;
  }
  (void)end;
  return RoundToReal48(value);
}

int32_t TextToLong(const std::string& s) {
  std::string t = s;
  CleanNumStr(t);
  CutAt(t, t.find('.'));
  return static_cast<int32_t>(
      ParseSigned(t, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// ---- File names and files --------------------------------------------------------------

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

bool HasDrivePrefix(const std::string& name) {
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// Length of the folder part of `name`, its final separator (or "X:" prefix) included.
size_t DirLength(const std::string& name) {
  size_t len = HasDrivePrefix(name) ? 2 : 0;
  for (size_t i = name.size(); i > len; --i) {
    if (IsSep(name[i - 1])) return i;
  }
  return len;
}

// Folder part turned into a path this system can open: "\" becomes "/" and an "X:" prefix
// (drives do not exist here) is dropped.
std::string NativeDir(const std::string& dir) {
  std::string d = HasDrivePrefix(dir) ? dir.substr(2) : dir;
  std::replace(d.begin(), d.end(), '\\', '/');
  return d;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Glob match with "*" (any run) and "?" (exactly one character), ignoring ASCII case.
bool GlobMatch(const char* m, const char* me, const char* n, const char* ne) {
  const char* star = nullptr;
  const char* star_n = nullptr;
  while (n < ne) {
    if (m < me && *m == '*') {
      star = ++m;
      star_n = n;
    } else if (m < me && (*m == '?' || UpperAscii(*m) == UpperAscii(*n))) {
      ++m;
      ++n;
    } else if (star) {
      m = star;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (m < me && *m == '*') ++m;
  return m == me;
}

bool Glob(const std::string& mask, const std::string& name) {
  return GlobMatch(mask.data(), mask.data() + mask.size(), name.data(), name.data() + name.size());
}

bool IsWritableByOwner(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// Search attributes of an entry; false when it no longer exists.
bool EntryAttributes(const std::string& path, const std::string& name, TSearchRec& rec) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;
  uint8_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr = faDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr = faArchive;
  } else {
    attr = faSysFile;  // devices, sockets, pipes, dangling links
  }
  if (!IsWritableByOwner(st)) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.') attr |= faHidden;
  rec.Name = name;
  rec.Size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
  rec.Attr = attr;
  rec.Time = static_cast<int64_t>(st.st_mtime);
  return true;
}

// DOS search rule: read-only and archive entries always qualify; hidden, system and
// directory entries only when asked for.
bool Wanted(uint8_t attr, uint8_t want) {
  uint8_t special = attr & (faHidden | faSysFile | faDirectory);
  return (special & ~want) == 0;
}

int32_t NextMatch(TSearchRec& rec) {
  while (!rec.Pending.empty()) {
    std::string name = std::move(rec.Pending.front());
    rec.Pending.erase(rec.Pending.begin());
    std::string path = (rec.Dir.empty() ? std::string("./") : rec.Dir) + name;
    if (EntryAttributes(path, name, rec) && Wanted(rec.Attr, rec.WantAttr)) return 0;
  }
  return 18;  // no more files
}

}  // namespace

void FileSplit(const std::string& name, std::string& dir, std::string& base, std::string& ext) {
  size_t dlen = DirLength(name);
  dir = name.substr(0, dlen);
  std::string rest = name.substr(dlen);
  size_t dot = rest.rfind('.');
  if (dot == std::string::npos || rest == "." || rest == "..") {
    base = rest;
    ext.clear();
  } else {
    base = rest.substr(0, dot);
    ext = rest.substr(dot);
  }
}

std::string AddDefaultExt(const std::string& name, const std::string& ext) {
  std::string dir, base, old_ext;
  FileSplit(name, dir, base, old_ext);
  if (!old_ext.empty()) return name;
  return dir + base + "." + ext.substr(0, 3);
}

std::string ChangeExt(const std::string& name, const std::string& ext) {
  std::string dir, base, old_ext;
  FileSplit(name, dir, base, old_ext);
  if (ext.empty()) return dir + base;
  return dir + base + (ext[0] == '.' ? "" : ".") + ext;
}

std::string StripExt(const std::string& name) {
  std::string dir, base, ext;
  FileSplit(name, dir, base, ext);
  return dir + base;
}

std::string FullPath(const std::string& name) {
  std::string path = NativeDir(name);
  if (path.empty() || path[0] != '/') path = platform::CurrentDir() + path;
  bool trailing = path.back() == '/';
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string comp = path.substr(pos, slash - pos);
    if (comp == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!comp.empty() && comp != ".") {
      parts.push_back(comp);
    }
    pos = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  if (out.empty() || trailing) out += "/";
  return out;
}

int32_t LastFindResult = 0;
std::vector<TSearchRec> EraseFailures;

bool MaskMatches(const std::string& mask, const std::string& name) {
  if (mask.empty() || name.empty()) return false;
  if (mask == "*" || mask == "*.*") return true;
  if (mask.back() == '.') {
    // "NAME." matches NAME only when the name has no extension.
    return name.find('.') == std::string::npos && Glob(mask.substr(0, mask.size() - 1), name);
  }
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
      Glob(mask.substr(0, mask.size() - 2), name)) {
    return true;  // "NAME.*" also matches NAME without an extension
  }
  return Glob(mask, name);
}

int32_t FindFirstFile(const std::string& mask, uint8_t attributes, TSearchRec& rec) {
  rec = TSearchRec{};
  size_t dlen = DirLength(mask);
  std::string dir = NativeDir(mask.substr(0, dlen));
  if (!dir.empty()) dir = platform::ResolveCase(dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  rec.Dir = dir;
  rec.Mask = mask.substr(dlen);
  rec.WantAttr = attributes;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) {
    int err = errno;
    LastFindResult = (err == ENOENT || err == ENOTDIR) ? platform::kDosPathNotFound
                                                       : platform::DosCodeFromErrno(err);
    return LastFindResult;
  }
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (MaskMatches(rec.Mask, n)) rec.Pending.push_back(std::move(n));
  }
  closedir(d);
  std::sort(rec.Pending.begin(), rec.Pending.end());
  LastFindResult = NextMatch(rec);
  return LastFindResult;
}

int32_t FindNextFile(TSearchRec& rec) {
  LastFindResult = NextMatch(rec);
  return LastFindResult;
}

void EndFind(TSearchRec& rec) { rec.Pending.clear(); }

bool FileFound(const std::string& name) {
  TSearchRec rec;
  bool found = FindFirstFile(name, faReadOnly | faHidden | faSysFile | faArchive, rec) == 0;
  EndFind(rec);
  return found;
}

namespace {

// Erases one file as the DOS erase does: a read-only file is refused (access denied).
// Returns 0 or a DOS code.
int EraseOne(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return platform::LastDosCode();
  if (S_ISDIR(st.st_mode) || !IsWritableByOwner(st)) return platform::kDosAccessDenied;
  if (unlink(path.c_str()) != 0) return platform::LastDosCode();
  return 0;
}

}  // namespace

void EraseFiles(const std::string& mask) {
  EraseFailures.clear();
  if (mask.find_first_of("*?") == std::string::npos) {
    size_t dlen = DirLength(mask);
    std::string path = platform::ResolveCase(NativeDir(mask.substr(0, dlen)) + mask.substr(dlen));
    int code = EraseOne(path);
    if (code != 0) SetError(static_cast<uint16_t>(code), "Error erasing " + mask);
    return;
  }
  TSearchRec rec;
  for (int32_t r = FindFirstFile(mask, faArchive, rec); r == 0; r = FindNextFile(rec)) {
    if (EraseOne(rec.Dir + rec.Name) != 0) {
      TSearchRec failed = rec;
      failed.Pending.clear();
      EraseFailures.push_back(std::move(failed));
    }
  }
  EndFind(rec);
  if (!EraseFailures.empty()) {
    SetError(5, "Could not erase " + std::to_string(EraseFailures.size()) + " files like " + mask);
  }
}

namespace {

int32_t BytesToKB(int64_t bytes) {
  if (bytes < 0) return -1;
  return static_cast<int32_t>(std::min<int64_t>(bytes / 1024, 0x7FFFFFFF));
}

}  // namespace

int32_t DiskFreeKB(uint8_t drive) {
  if (drive != 0) return -1;
  return BytesToKB(platform::DiskFreeBytes(platform::CurrentDir()));
}

int32_t DiskFreeKBOf(const std::string& path) {
  std::string p = NativeDir(path);
  int64_t bytes = platform::DiskFreeBytes(p.empty() ? "." : p);
  if (bytes < 0) {
    // A file that does not exist yet: its folder tells where it would go.
    std::string dir = p.substr(0, DirLength(p));
    bytes = platform::DiskFreeBytes(dir.empty() ? "." : dir);
  }
  return BytesToKB(bytes);
}

std::string UniqueFilename() {
  std::string name;
  int code = platform::CreateUniqueFile(platform::TempDir(), "WENP", &name);
  if (code != 0) {
    SetError(static_cast<uint16_t>(code), "Error requesting unique file name [UniqueFilename]");
    return {};
  }
  return name;
}

// ---- Clock and idle --------------------------------------------------------------------

void GetDate(uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& day_of_week) {
  platform::LocalTime now = platform::Now();
  year = static_cast<uint16_t>(now.year);
  month = static_cast<uint16_t>(now.month);
  day = static_cast<uint16_t>(now.day);
  day_of_week = static_cast<uint16_t>(now.day_of_week);
}

int32_t TimerTicks() {
  long double ticks = static_cast<long double>(platform::TickMs()) * 0.001L * 18.20648193L;
  // Wraps around like the 32-bit counter it stands for.
  auto whole = static_cast<uint64_t>(RoundHalfAwayFromZero(ticks));
  return static_cast<int32_t>(static_cast<uint32_t>(whole));
}

void Idle() {}

// ---- Start values ----------------------------------------------------------------------

void InitUtils() {
  SetSeparatorsForCountry(CountryIndex);
  platform::ChooseCodePages();
  SetFreeHeapForTest(-1);
  UnlimitedHeap = false;
  LastFindResult = 0;
  EraseFailures.clear();
}

}  // namespace engine
