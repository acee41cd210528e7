#include "platform/core/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/core/dos_error.h"
#include "platform/core/paths.h"

namespace platform {
namespace {

constexpr char kBlanks[] = " \t\v\f";
constexpr char kCrLf[] = "\r\n";

unsigned char FoldCase(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
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

// One line of the file, its bytes kept as read so that untouched lines are written back as
// they were.
struct Line {
  enum Kind { kOther, kSection, kKey };
  std::string text;  // without its line end
  std::string eol;   // "\r\n", "\n", or "" for a last line without an end
  Kind kind = kOther;
  std::string name;  // the trimmed section or key name
  size_t eq = 0;     // position of "=" in a key line
};

void Classify(Line& line, bool first_line) {
  std::string text = line.text;
  if (first_line && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
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
  line.eq = eq + (line.text.size() - text.size());
}

Line MakeLine(std::string text) {
  Line line;
  line.text = std::move(text);
  line.eol = kCrLf;
  Classify(line, false);
  return line;
}

Line MakeKeyLine(const std::string& key, const std::string& value) {
  return MakeLine(key + '=' + EncodeValue(value));
}

class Document {
 public:
  explicit Document(const std::string& bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
      size_t nl = bytes.find('\n', pos);
      Line line;
      if (nl == std::string::npos) {
        line.text = bytes.substr(pos);
        pos = bytes.size();
      } else {
        line.text = bytes.substr(pos, nl - pos);
        line.eol = "\n";
        pos = nl + 1;
        if (!line.text.empty() && line.text.back() == '\r') {
          line.text.pop_back();
          line.eol = kCrLf;
        }
      }
      Classify(line, lines_.empty());
      lines_.push_back(std::move(line));
    }
  }

  std::string Bytes() const {
    std::string out;
    for (const Line& line : lines_) out += line.text + line.eol;
    return out;
  }

  bool Empty() const { return lines_.empty(); }

  // Header lines of the sections named `section`, in file order.
  std::vector<size_t> Sections(const std::string& section) const {
    std::vector<size_t> found;
    std::string name = Trim(section);
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
    std::string name = Trim(key);
    for (size_t header : Sections(section)) {
      for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (lines_[i].kind == Line::kKey && EqualNoCase(lines_[i].name, name)) return i;
      }
    }
    return std::string::npos;
  }

  std::string Value(size_t i) const {
    std::string value = Trim(lines_[i].text.substr(lines_[i].eq + 1));
    if (WrappedInQuotes(value)) value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxProfileValue) value.resize(kMaxProfileValue);
    return value;
  }

  std::vector<std::string> SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
      if (line.kind != Line::kSection) continue;
      bool seen = false;
      for (const std::string& n : names) seen = seen || EqualNoCase(n, line.name);
      if (!seen) names.push_back(line.name);
    }
    return names;
  }

  std::vector<ProfileEntry> Entries(const std::string& section) const {
    std::vector<ProfileEntry> entries;
    for (size_t header : Sections(section)) {
      for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (lines_[i].kind != Line::kKey) continue;
        bool seen = false;
        for (const ProfileEntry& e : entries) seen = seen || EqualNoCase(e.key, lines_[i].name);
        if (!seen) entries.push_back({lines_[i].name, Value(i)});
      }
    }
    return entries;
  }

  // Sets a key; returns whether the text changed.
  bool SetKey(const std::string& section, const std::string& key, const std::string& value) {
    size_t at = FindKey(section, key);
    if (at != std::string::npos) {
      Line line = MakeKeyLine(lines_[at].name, value);
      line.eol = lines_[at].eol.empty() ? kCrLf : lines_[at].eol;
      if (line.text == lines_[at].text) return false;
      lines_[at] = std::move(line);
      return true;
    }
    std::vector<size_t> headers = Sections(section);
    if (headers.empty()) {
      AppendSection(section, {{Trim(key), value}});
    } else {
      InsertAt(EndOfContent(headers.front()), {MakeKeyLine(Trim(key), value)});
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

  void ReplaceSection(const std::string& section, const std::vector<ProfileEntry>& entries) {
    std::vector<size_t> headers = Sections(section);
    if (headers.empty()) {
      AppendSection(section, entries);
      return;
    }
    for (size_t k = headers.size(); k-- > 1;) EraseRange(headers[k], SectionEnd(headers[k]));
    size_t header = headers.front();
    // Blank lines that end the old body stay, so the next section keeps its separation.
    EraseRange(header + 1, EndOfContent(header));
    std::vector<Line> added;
    for (const ProfileEntry& e : entries) added.push_back(MakeKeyLine(Trim(e.key), e.value));
    InsertAt(header + 1, std::move(added));
  }

 private:
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

  void AppendSection(const std::string& section, const std::vector<ProfileEntry>& entries) {
    std::vector<Line> added;
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) added.push_back(MakeLine(""));
    added.push_back(MakeLine('[' + Trim(section) + ']'));
    for (const ProfileEntry& e : entries) added.push_back(MakeKeyLine(Trim(e.key), e.value));
    InsertAt(lines_.size(), std::move(added));
  }

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

// Follows symbolic links at the end of `path` to the file they name (which may not exist yet).
std::string FollowLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
    target.resize(static_cast<size_t>(n));
    path = target[0] == '/' ? target : FolderOf(path) + target;
  }
  return path;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Holds the write lock of a profile file's side file for the lifetime of the object.
class SideLock {
 public:
  SideLock(const SideLock&) = delete;
  SideLock& operator=(const SideLock&) = delete;
  explicit SideLock(const std::string& target) {
    fd_ = ::open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      error_ = LastDosCode();
      return;
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    int rc;
    while ((rc = fcntl(fd_, F_OFD_SETLKW, &fl)) != 0 && errno == EINTR) {
    }
    if (rc != 0) error_ = LastDosCode();
  }
  ~SideLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the description releases its lock
  }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Writes `bytes` as the new content of `target` through the temporary file `target`.tmp.
// `old` is the old file's status, or null when there is none. Returns 0 or a DOS code.
int ReplaceFile(const std::string& target, const std::string& bytes, const struct stat* old) {
  std::string temp = target + ".tmp";
  ::unlink(temp.c_str());  // a stale file of a killed writer; we hold the lock
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
  if (fd < 0) return LastDosCode();
  int rc = 0;
  if (old) {
    if (old->st_uid != geteuid() || old->st_gid != getegid()) {
      // Keeps the owner when allowed to (root writing a user's file); not an error otherwise.
      if (fchown(fd, old->st_uid, old->st_gid) != 0) {
      }
    }
    if (fchmod(fd, old->st_mode & 07777) != 0) rc = LastDosCode();
  }
  if (rc == 0 && !WriteAll(fd, bytes)) rc = LastDosCode();
  if (rc == 0 && fsync(fd) != 0) rc = LastDosCode();
  if (::close(fd) != 0 && rc == 0) rc = LastDosCode();
  if (rc == 0 && ::rename(temp.c_str(), target.c_str()) != 0) rc = LastDosCode();
  if (rc != 0) {
    ::unlink(temp.c_str());
    return rc;
  }
  std::string folder = FolderOf(target);
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);  // makes the rename itself durable; best effort
    ::close(dir);
  }
  return 0;
}

// One locked read-modify-write of a profile file. `change` edits the document and returns
// whether it changed anything.
bool Modify(const std::string& file, const std::function<bool(Document&)>& change, int* dos_error) {
  int rc = 0;
  auto fail = [&](int code) {
    if (dos_error) *dos_error = code;
    return false;
  };
  if (dos_error) *dos_error = 0;
  if (file.empty()) return fail(kDosFileNotFound);
  if (IsBareName(file)) MakeFolders(ProfileDir());
  std::string target = FollowLinks(ResolveCase(ProfilePath(file)));
  SideLock lock(target);
  if (lock.error() != 0) return fail(lock.error());
  std::string bytes;
  struct stat st {};
  rc = ReadWholeFile(target, &bytes, &st);
  bool exists = rc == 0;
  if (rc != 0 && rc != kDosFileNotFound) return fail(rc);
  Document doc(bytes);
  if (!change(doc)) return true;
  if (!exists && doc.Empty()) return true;
  rc = ReplaceFile(target, doc.Bytes(), exists ? &st : nullptr);
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
  Document doc(bytes);
  size_t at = doc.FindKey(*section, *key);
  return at == std::string::npos ? def : doc.Value(at);
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
      file,
      [&](Document& doc) {
        std::string before = doc.Bytes();
        doc.ReplaceSection(section, entries);
        return doc.Bytes() != before;
      },
      dos_error);
}

}  // namespace platform
