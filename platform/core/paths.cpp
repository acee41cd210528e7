#include "platform/core/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/core/dos_error.h"

namespace platform {
namespace {

std::string& ProgramPathOverride() {
  static std::string path;
  return path;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// Finds an entry of `dir` whose name equals `name` regardless of case; empty when none.
std::string FindNoCase(const std::string& dir, const std::string& name) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::vector<std::string> found;
  while (dirent* e = readdir(d)) {
    if (EqualNoCase(e->d_name, name)) found.emplace_back(e->d_name);
  }
  closedir(d);
  if (found.empty()) return {};
  std::sort(found.begin(), found.end());
  return found.front();
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string ResolveCase(const std::string& path) {
  if (path.empty() || PathExists(path)) return path;
  std::string done;  // resolved prefix, ending with "/" unless empty
  size_t pos = 0;
  if (path[0] == '/') {
    done = "/";
    pos = 1;
  }
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    std::string comp =
        path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    std::string rest = slash == std::string::npos ? "" : path.substr(slash);
    if (!comp.empty() && comp != "." && comp != "..") {
      std::string exact = done + comp;
      if (!PathExists(exact)) {
        std::string match = FindNoCase(done, comp);
        if (match.empty()) return done + path.substr(pos);
        comp = match;
      }
    }
    done += comp;
    if (slash == std::string::npos) break;
    done += "/";
    pos = slash + 1;
  }
  return done;
}

std::string ProgramPath() {
  if (!ProgramPathOverride().empty()) return ProgramPathOverride();
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return std::string(buf.data(), static_cast<size_t>(n));
}

void SetProgramPath(const std::string& path) { ProgramPathOverride() = path; }

std::string ProgramDir() {
  const std::string program = ProgramPath();
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

std::string CurrentDir() {
  std::vector<char> buf(4096);
  if (!getcwd(buf.data(), buf.size())) return "./";
  std::string dir(buf.data());
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string TempDir() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

int CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string* name) {
  name->clear();
  static const char kHex[] = "0123456789ABCDEF";
  std::random_device rd;
  std::mt19937 gen(rd() ^ static_cast<unsigned>(getpid()));
  int last = 0;
  for (int attempt = 0; attempt < 65536; ++attempt) {
    unsigned v = gen() & 0xFFFF;
    std::string candidate = dir + prefix;
    for (int shift = 12; shift >= 0; shift -= 4) candidate += kHex[(v >> shift) & 0xF];
    candidate += ".TMP";
    int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      *name = candidate;
      return 0;
    }
    if (errno != EEXIST) return LastDosCode();
    last = EEXIST;
  }
  return DosCodeFromErrno(last);
}

namespace {
bool test_disk_free_set = false;
int64_t test_disk_free = 0;
}  // namespace

void SetTestDiskFreeBytes(int64_t bytes) {
  test_disk_free = bytes;
  test_disk_free_set = true;
}

void ClearTestDiskFreeBytes() { test_disk_free_set = false; }

int64_t DiskFreeBytes(const std::string& path) {
  struct statvfs vfs {};
  if (statvfs(path.empty() ? "." : path.c_str(), &vfs) != 0) return -1;
  if (test_disk_free_set) return test_disk_free;
  unsigned __int128 bytes = static_cast<unsigned __int128>(vfs.f_bavail) * vfs.f_frsize;
  if (bytes > static_cast<unsigned __int128>(INT64_MAX)) return INT64_MAX;
  return static_cast<int64_t>(bytes);
}

}  // namespace platform
