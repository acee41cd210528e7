#include "platform/core/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/core/code_pages.h"
#include "platform/core/dos_error.h"
#include "platform/core/file.h"
#include "platform/core/paths.h"

namespace platform {
namespace {

constexpr char kBlanks[] = " \t\v\f";
constexpr char kCrLf[] = "\r\n";

// ---- Text forms -----------------------------------------------------------------------
//
// An ANSI file is edited as its own bytes. A Unicode file (one that starts with a UTF-8 or
// UTF-16 byte-order mark) is edited as UTF-8 and written back in its own form and mark; UTF-16
// text is turned into UTF-8 without loss (a lone surrogate keeps its 3-byte form), so the lines
// a write does not touch come back unchanged. The callers' names and values are ANSI and are
// converted at the document's edge; a character the ANSI code page lacks reads as "?".

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char32_t kBadByte = 0x110000;  // a byte that starts no UTF-8 character

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character of UTF-8 text `s` at `pos`, moving `pos` past it; kBadByte (and one byte on)
// for a byte that is not a well-formed character. Surrogates are accepted (see above).
char32_t NextUtf8(const std::string& s, size_t& pos) {
  auto b = static_cast<unsigned char>(s[pos++]);
  if (b < 0x80) return b;
  size_t more = 0;
  char32_t c = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    more = 1;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    more = 2;
    c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    more = 3;
    c = b & 0x07;
  } else {
    return kBadByte;
  }
  if (s.size() - pos < more) return kBadByte;
  for (size_t i = 0; i < more; ++i) {
    auto t = static_cast<unsigned char>(s[pos + i]);
    if ((t & 0xC0) != 0x80) return kBadByte;
    c = (c << 6) | (t & 0x3F);
  }
  if ((more == 2 && c < 0x800) || (more == 3 && (c < 0x10000 || c > 0x10FFFF))) return kBadByte;
  pos += more;
  return c;
}

std::string AnsiToUtf8(const std::string& ansi, CodePage page) {
  std::string out;
  for (char b : ansi) AppendUtf8(out, CodePageChar(page, static_cast<unsigned char>(b)));
  return out;
}

std::string Utf8ToAnsi(const std::string& utf8, CodePage page) {
  std::string out;
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextUtf8(utf8, pos);
    std::optional<unsigned char> b;
    if (c < 0x10000) b = CodePageByte(page, static_cast<char16_t>(c));
    out += b ? static_cast<char>(*b) : '?';
  }
  return out;
}

// UTF-16 bytes from offset `from` as UTF-8; a last odd byte is dropped.
std::string Utf16ToUtf8(const std::string& bytes, size_t from, bool big_endian) {
  auto unit = [&](size_t i) -> char32_t {
    auto hi = static_cast<unsigned char>(bytes[i + (big_endian ? 0 : 1)]);
    auto lo = static_cast<unsigned char>(bytes[i + (big_endian ? 1 : 0)]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  std::string out;
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8ToUtf16(const std::string& utf8, bool big_endian) {
  std::string out;
  auto put = [&](char32_t u) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextUtf8(utf8, pos);
    if (c == kBadByte) c = 0xFFFD;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool WrappedInQuotes(const std::string& s) {
  return s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back();
}

// A value as a key line stores it: quoted when reading would otherwise change it.
std::string EncodeValue(const std::string& value) {
  if (value.empty()) return value;
  bool blank_end = std::string(kBlanks).find(value.front()) != std::string::npos ||
                   std::string(kBlanks).find(value.back()) != std::string::npos;
  if (blank_end || WrappedInQuotes(value)) return '"' + value + '"';
  return value;
}

bool HasLineBreakOrNul(const std::string& s) {
  return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// One line of the file in the document's form, kept as read so that untouched lines are
// written back as they were.
struct Line {
  enum Kind { kOther, kSection, kKey };
  std::string text;  // without its line end
  std::string eol;   // "\r\n", "\n", or "" for a last line without an end
  Kind kind = kOther;
  std::string name;  // the trimmed section or key name
  size_t eq = 0;     // position of "=" in a key line
};

void Classify(Line& line) {
  const std::string& text = line.text;
  line.kind = Line::kOther;
  line.name.clear();
  size_t start = text.find_first_not_of(kBlanks);
  if (start == std::string::npos || text[start] == ';') return;
  if (text[start] == '[') {
    size_t close = text.find(']', start);
    if (close != std::string::npos) {
      line.kind = Line::kSection;
      line.name = Trim(text.substr(start + 1, close - start - 1));
      return;
    }
  }
  size_t eq = text.find('=');
  if (eq == std::string::npos) return;
  line.kind = Line::kKey;
  line.name = Trim(text.substr(0, eq));
  line.eq = eq;
}

Line MakeLine(std::string text) {
  Line line;
  line.text = std::move(text);
  line.eol = kCrLf;
  Classify(line);
  return line;
}

Line MakeKeyLine(const std::string& key, const std::string& value) {
  return MakeLine(key + '=' + EncodeValue(value));
}

// A profile file as lines. Public members take and give ANSI texts; the lines hold the
// document's own form (see Text forms).
class Document {
 public:
  explicit Document(const std::string& bytes) : page_(AnsiCodePage()) {
    std::string text;
    if (bytes.compare(0, 3, kUtf8Mark) == 0) {
      encoding_ = Encoding::kUtf8;
      text = bytes.substr(3);
    } else if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
      encoding_ = Encoding::kUtf16Le;
      text = Utf16ToUtf8(bytes, 2, false);
    } else if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
      encoding_ = Encoding::kUtf16Be;
      text = Utf16ToUtf8(bytes, 2, true);
    } else {
      text = bytes;
    }
    size_t pos = 0;
    while (pos < text.size()) {
      size_t nl = text.find('\n', pos);
      Line line;
      if (nl == std::string::npos) {
        line.text = text.substr(pos);
        pos = text.size();
      } else {
        line.text = text.substr(pos, nl - pos);
        line.eol = "\n";
        pos = nl + 1;
        if (!line.text.empty() && line.text.back() == '\r') {
          line.text.pop_back();
          line.eol = kCrLf;
        }
      }
      Classify(line);
      lines_.push_back(std::move(line));
    }
  }

  // The file's bytes: its mark and text in its own form.
  std::string Bytes() const {
    switch (encoding_) {
      case Encoding::kAnsi:
        break;
      case Encoding::kUtf8:
        return kUtf8Mark + Text();
      case Encoding::kUtf16Le:
        return "\xFF\xFE" + Utf8ToUtf16(Text(), false);
      case Encoding::kUtf16Be:
        return "\xFE\xFF" + Utf8ToUtf16(Text(), true);
    }
    return Text();
  }

  bool Empty() const { return lines_.empty(); }

  // The names of all sections, the first spelling of each.
  std::vector<std::string> SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
      if (line.kind != Line::kSection) continue;
      bool seen = false;
      for (const std::string& n : names) seen = seen || EqualNoCase(n, line.name);
      if (!seen) names.push_back(line.name);
    }
    for (std::string& n : names) n = Out(n);
    return names;
  }

  // The value of the first key `key` in the sections named `section`.
  std::optional<std::string> Value(const std::string& section, const std::string& key) const {
    size_t at = FindKey(section, key);
    if (at == std::string::npos) return std::nullopt;
    return Value(at);
  }

  std::vector<ProfileEntry> Entries(const std::string& section) const {
    std::vector<ProfileEntry> entries;
    std::vector<std::string> names;
    for (size_t header : Sections(section)) {
      for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (lines_[i].kind != Line::kKey) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || EqualNoCase(n, lines_[i].name);
        if (seen) continue;
        names.push_back(lines_[i].name);
        entries.push_back({Out(lines_[i].name), Value(i)});
      }
    }
    return entries;
  }

  // Sets a key; returns whether its value changed.
  bool SetKey(const std::string& section, const std::string& key, const std::string& value) {
    std::string text = In(value);
    size_t at = FindKey(section, key);
    if (at != std::string::npos) {
      if (RawValue(at) == text) return false;
      Line line = MakeKeyLine(lines_[at].name, text);
      line.eol = lines_[at].eol.empty() ? kCrLf : lines_[at].eol;
      lines_[at] = std::move(line);
      return true;
    }
    std::vector<size_t> headers = Sections(section);
    if (headers.empty()) {
      AppendSection(section, {{key, value}});
    } else {
      InsertAt(EndOfContent(headers.front()), {MakeKeyLine(Trim(In(key)), text)});
    }
    return true;
  }

  // Removes every line of the key in the sections named `section`.
  bool EraseKey(const std::string& section, const std::string& key) {
    bool changed = false;
    for (size_t at; (at = FindKey(section, key)) != std::string::npos; changed = true) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return changed;
  }

  // Removes every section named `section`, from its header to the next one.
  bool EraseSection(const std::string& section) {
    std::vector<size_t> headers = Sections(section);
    for (size_t k = headers.size(); k-- > 0;) EraseRange(headers[k], SectionEnd(headers[k]));
    return !headers.empty();
  }

  // Replaces the keys of the section; returns whether the text changed.
  bool ReplaceSection(const std::string& section, const std::vector<ProfileEntry>& entries) {
    std::string before = Text();
    std::vector<size_t> headers = Sections(section);
    if (headers.empty()) {
      AppendSection(section, entries);
      return true;
    }
    for (size_t k = headers.size(); k-- > 1;) EraseRange(headers[k], SectionEnd(headers[k]));
    size_t header = headers.front();
    // Blank lines that end the old body stay, so the next section keeps its separation.
    EraseRange(header + 1, EndOfContent(header));
    InsertAt(header + 1, KeyLines(entries));
    return Text() != before;
  }

 private:
  std::string Text() const {
    std::string out;
    for (const Line& line : lines_) out += line.text + line.eol;
    return out;
  }

  // An ANSI text in the document's form, and back.
  std::string In(const std::string& ansi) const {
    return encoding_ == Encoding::kAnsi ? ansi : AnsiToUtf8(ansi, page_);
  }
  std::string Out(const std::string& text) const {
    return encoding_ == Encoding::kAnsi ? text : Utf8ToAnsi(text, page_);
  }

  // The character of `s` at `pos` (moving past it).
  char32_t Next(const std::string& s, size_t& pos) const {
    if (encoding_ != Encoding::kAnsi) return NextUtf8(s, pos);
    return CodePageChar(page_, static_cast<unsigned char>(s[pos++]));
  }

  // Names in the document's form, compared without regard to letter case.
  bool EqualNoCase(const std::string& a, const std::string& b) const {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
      if (UpperCaseLetter(Next(a, i)) != UpperCaseLetter(Next(b, j))) return false;
    }
    return i == a.size() && j == b.size();
  }

  // Header lines of the sections named `section`, in file order.
  std::vector<size_t> Sections(const std::string& section) const {
    std::vector<size_t> found;
    std::string name = Trim(In(section));
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind == Line::kSection && EqualNoCase(lines_[i].name, name)) found.push_back(i);
    }
    return found;
  }

  // One past the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Line::kSection) ++i;
    return i;
  }

  // The first key line named `key` in the sections named `section`, or npos.
  size_t FindKey(const std::string& section, const std::string& key) const {
    std::string name = Trim(In(key));
    for (size_t header : Sections(section)) {
      for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (lines_[i].kind == Line::kKey && EqualNoCase(lines_[i].name, name)) return i;
      }
    }
    return std::string::npos;
  }

  // The value of the key line at `i`: whole in the document's form, and as the callers get it.
  std::string RawValue(size_t i) const {
    std::string value = Trim(lines_[i].text.substr(lines_[i].eq + 1));
    if (WrappedInQuotes(value)) value = value.substr(1, value.size() - 2);
    return value;
  }
  std::string Value(size_t i) const {
    std::string value = Out(RawValue(i));
    if (value.size() > kMaxProfileValue) value.resize(kMaxProfileValue);
    return value;
  }

  // One past the last non-blank line of the section at `header` (new keys go there).
  size_t EndOfContent(size_t header) const {
    size_t end = SectionEnd(header);
    while (end > header + 1 && Trim(lines_[end - 1].text).empty()) --end;
    return end;
  }

  void EraseRange(size_t from, size_t to) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(from),
                 lines_.begin() + static_cast<std::ptrdiff_t>(to));
  }

  void InsertAt(size_t at, std::vector<Line> added) {
    if (added.empty()) return;
    if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = kCrLf;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  }

  std::vector<Line> KeyLines(const std::vector<ProfileEntry>& entries) const {
    std::vector<Line> lines;
    for (const ProfileEntry& e : entries)
      lines.push_back(MakeKeyLine(Trim(In(e.key)), In(e.value)));
    return lines;
  }

  void AppendSection(const std::string& section, const std::vector<ProfileEntry>& entries) {
    std::vector<Line> added;
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) added.push_back(MakeLine(""));
    added.push_back(MakeLine('[' + Trim(In(section)) + ']'));
    for (Line& line : KeyLines(entries)) added.push_back(std::move(line));
    InsertAt(lines_.size(), std::move(added));
  }

  CodePage page_;
  Encoding encoding_ = Encoding::kAnsi;
  std::vector<Line> lines_;
};

bool IsBareName(const std::string& file) {
  if (file.find_first_of("/\\") != std::string::npos) return false;
  return !(file.size() >= 2 && file[1] == ':');
}

// Reads a whole file. Returns 0, or the DOS code of the failure (2 when it does not exist).
int ReadWholeFile(const std::string& path, std::string* bytes, struct stat* st = nullptr) {
  bytes->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastDosCode();
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    int rc = S_ISDIR(info.st_mode) ? kDosAccessDenied : LastDosCode();
    ::close(fd);
    return rc;
  }
  if (st) *st = info;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int rc = LastDosCode();
      ::close(fd);
      return rc;
    }
    if (n == 0) break;
    bytes->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return 0;
}

bool ReadDocument(const std::string& file, std::string* bytes) {
  if (file.empty()) return false;
  return ReadWholeFile(ResolveCase(ProfilePath(file)), bytes) == 0;
}

// Creates `dir` and its missing parents (new folders are private to the user).
void MakeFolders(const std::string& dir) {
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos == dir.size() || dir[pos] == '/') ::mkdir(dir.substr(0, pos).c_str(), 0700);
  }
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Serialises the read-modify-writes of the profile files of one folder for the lifetime of the
// object, without putting any file of its own into that folder. The lock is an flock on the
// folder's own descriptor: flock locks belong to the open file description (so two descriptors
// in one process exclude each other too), need no write access (a folder opens read-only only),
// and die with a killed writer. Where the file system refuses flock on a read-only descriptor
// (NFS turns it into a byte-range write lock), a lock file in $XDG_RUNTIME_DIR named after the
// folder's device and inode takes its place; when neither can be had the write goes on
// unlocked, still whole through the rename but open to a lost update by a concurrent writer.
class FolderLock {
 public:
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  explicit FolderLock(const std::string& folder) {
    dir_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_ < 0) {
      missing_ = errno == ENOENT;  // a path through a regular file stays an error
      error_ = LastDosCode();
      return;
    }
    if (Lock(dir_)) return;
    if (errno != EBADF && errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) {
      error_ = LastDosCode();
      return;
    }
    struct stat st {};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/' || fstat(dir_, &st) != 0) return;
    std::string name = std::string(runtime) + "/practice-exam-profiles-" +
                       std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino) + ".lock";
    side_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (side_ >= 0 && !Lock(side_)) {
      ::close(side_);
      side_ = -1;
    }
  }
  ~FolderLock() {
    // Closing the last descriptor of a description releases its lock.
    if (side_ >= 0) ::close(side_);
    if (dir_ >= 0) ::close(dir_);
  }

  // The folder (or an entry on the way to it) does not exist.
  bool missing() const { return missing_; }
  // 0, or the DOS code of the failure to open or lock the folder.
  int error() const { return error_; }
  // The folder's descriptor, -1 after a failure.
  int folder() const { return dir_; }

 private:
  static bool Lock(int fd) {
    int rc;
    while ((rc = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return rc == 0;
  }

  int dir_ = -1;
  int side_ = -1;
  bool missing_ = false;
  int error_ = 0;
};

// One locked read-modify-write of a profile file. `change` edits the document and returns
// whether it changed anything; a change that changes nothing writes nothing, and one that
// adds nothing to a missing file creates neither the file nor its folder.
bool Modify(const std::string& file, const std::function<bool(Document&)>& change, int* dos_error) {
  auto fail = [&](int code) {
    if (dos_error) *dos_error = code;
    return false;
  };
  if (dos_error) *dos_error = 0;
  if (file.empty()) return fail(kDosFileNotFound);
  std::string target = FollowLinks(ResolveCase(ProfilePath(file)));
  std::optional<FolderLock> lock;
  lock.emplace(FolderOf(target));
  if (lock->missing()) {
    Document none("");
    if (!change(none) || none.Empty()) return true;
    if (!IsBareName(file)) return fail(lock->error());
    MakeFolders(ProfileDir());
    lock.emplace(FolderOf(target));
  }
  if (lock->error() != 0) return fail(lock->error());
  ::unlink((target + ".tmp").c_str());  // a stale one of a killed writer; we hold the lock
  std::string bytes;
  struct stat st {};
  int rc = ReadWholeFile(target, &bytes, &st);
  bool exists = rc == 0;
  if (rc != 0 && rc != kDosFileNotFound) return fail(rc);
  Document doc(bytes);
  if (!change(doc)) return true;
  if (!exists && doc.Empty()) return true;
  rc = ReplaceFileThrough(target, target + ".tmp", doc.Bytes(), exists ? &st : nullptr,
                          lock->folder());
  return rc == 0 ? true : fail(rc);
}

bool ValidSection(const std::string& s) { return !HasLineBreakOrNul(s) && s.find(']') == s.npos; }

bool ValidKey(const std::string& k) {
  std::string name = Trim(k);
  if (HasLineBreakOrNul(k) || k.find('=') != k.npos) return false;
  return name.empty() || (name[0] != '[' && name[0] != ';');
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    out += n;
    out += '\0';
  }
  return out;
}

}  // namespace

std::string ProfileDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && *home) {
      base = home;
    } else if (const passwd* pw = getpwuid(getuid())) {
      base = pw->pw_dir;
    }
    if (base.empty() || base.back() != '/') base += '/';
    base += ".config";
  }
  if (base.back() != '/') base += '/';
  return base + "practice-exam/";
}

std::string ProfilePath(const std::string& file) {
  if (IsBareName(file)) return ProfileDir() + file;
  std::string path = file;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

std::string ReadProfileString(const std::string& file, const std::optional<std::string>& section,
                              const std::optional<std::string>& key, const std::string& def) {
  std::string bytes;
  bool read = ReadDocument(file, &bytes);
  if (!section || !key) {
    if (!read) return {};
    Document doc(bytes);
    if (!section) return JoinNames(doc.SectionNames());
    std::vector<std::string> names;
    for (const ProfileEntry& e : doc.Entries(*section)) names.push_back(e.key);
    return JoinNames(names);
  }
  if (!read) return def;
  return Document(bytes).Value(*section, *key).value_or(def);
}

bool WriteProfileString(const std::string& file, const std::optional<std::string>& section,
                        const std::optional<std::string>& key,
                        const std::optional<std::string>& value, int* dos_error) {
  if (dos_error) *dos_error = 0;
  if (!section) return true;
  if (!ValidSection(*section) || (key && !ValidKey(*key)) ||
      (key && value && HasLineBreakOrNul(*value))) {
    if (dos_error) *dos_error = kDosInvalidParameter;
    return false;
  }
  return Modify(
      file,
      [&](Document& doc) {
        if (!key) return doc.EraseSection(*section);
        if (!value) return doc.EraseKey(*section, *key);
        return doc.SetKey(*section, *key, *value);
      },
      dos_error);
}

std::vector<ProfileEntry> ReadProfileSection(const std::string& file, const std::string& section) {
  std::string bytes;
  if (!ReadDocument(file, &bytes)) return {};
  return Document(bytes).Entries(section);
}

bool WriteProfileSection(const std::string& file, const std::string& section,
                         const std::vector<ProfileEntry>& entries, int* dos_error) {
  if (dos_error) *dos_error = 0;
  bool valid = ValidSection(section);
  for (const ProfileEntry& e : entries) {
    valid = valid && ValidKey(e.key) && !HasLineBreakOrNul(e.value);
  }
  if (!valid) {
    if (dos_error) *dos_error = kDosInvalidParameter;
    return false;
  }
  return Modify(
      file, [&](Document& doc) { return doc.ReplaceSection(section, entries); }, dos_error);
}

}  // namespace platform
