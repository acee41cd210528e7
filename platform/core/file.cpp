#include "platform/core/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/core/dos_error.h"

namespace platform {
namespace {

int SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
  if (errno == EAGAIN || errno == EACCES) return kDosLockViolation;
  return LastDosCode();
}

// The lock type that holds the share mode of `mode` on the reserved range, whatever the access:
// the modes that deny others anything take it for writing.
short ShareLockType(int mode) {
  int share = mode & 0x70;
  bool deny = share == kShareExclusive || share == kShareDenyWrite || share == kShareDenyRead;
  return deny ? F_WRLCK : F_RDLCK;
}

int ShareResult(int rc) { return rc == kDosLockViolation ? kDosShareViolation : rc; }

// Opens a second descriptor, for reading and writing, of the file that `fd` (opened as `path`)
// is, to hold a share lock of either type, which a read-only descriptor cannot. Returns it, or
// -1 with *rc set: the share error when write access is refused, 2 when the name no longer
// leads to this file.
int OpenLockHolder(int fd, const std::string& path, int* rc) {
  const int holder = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (holder < 0) {
    *rc = LastDosCode();
    if (*rc == kDosAccessDenied) *rc = kDosShareViolation;
    return -1;
  }
  struct stat ours {};
  struct stat theirs {};
  if (fstat(fd, &ours) != 0 || fstat(holder, &theirs) != 0 || ours.st_dev != theirs.st_dev ||
      ours.st_ino != theirs.st_ino) {
    ::close(holder);
    *rc = kDosFileNotFound;
    return -1;
  }
  *rc = 0;
  return holder;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      share_fd_(std::exchange(other.share_fd_, -1)),
      read_only_(other.read_only_),
      path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    share_fd_ = std::exchange(other.share_fd_, -1);
    read_only_ = other.read_only_;
    path_ = std::move(other.path_);
  }
  return *this;
}

int File::Finish(int fd, const std::string& path, int mode, bool read_only) {
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kDosAccessDenied;
  }
  const short type = ShareLockType(mode);
  int share_fd = -1;
  int rc = 0;
  if (type == F_WRLCK && read_only) {
    share_fd = OpenLockHolder(fd, path, &rc);
    if (share_fd >= 0) rc = SetLock(share_fd, type, kShareLockOffset, 1);
  } else {
    rc = SetLock(fd, type, kShareLockOffset, 1);
  }
  if (rc != 0) {
    if (share_fd >= 0) ::close(share_fd);
    ::close(fd);
    return ShareResult(rc);
  }
  fd_ = fd;
  share_fd_ = share_fd;
  read_only_ = read_only;
  path_ = path;
  return 0;
}

int File::Open(const std::string& path, int mode) {
  if (fd_ >= 0) return kDosAccessDenied;
  int access = mode & 7;
  int flags = access == kModeRead ? O_RDONLY : access == kModeWrite ? O_WRONLY : O_RDWR;
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return LastDosCode();
  return Finish(fd, path, mode, access == kModeRead);
}

int File::Create(const std::string& path, int mode) {
  if (fd_ >= 0) return kDosAccessDenied;
  // Open without truncating first, so that a share conflict leaves the old contents alone.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return LastDosCode();
  int rc = Finish(fd, path, mode, false);
  if (rc != 0) return rc;
  if (::ftruncate(fd_, 0) != 0) {
    rc = LastDosCode();
    Close();
    return rc;
  }
  return 0;
}

int File::Close() {
  if (share_fd_ >= 0) ::close(share_fd_);
  share_fd_ = -1;
  if (fd_ < 0) return 0;
  int rc = ::close(fd_) == 0 ? 0 : LastDosCode();
  fd_ = -1;
  return rc;
}

int File::ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) const {
  *got = 0;
  if (fd_ < 0) return kDosInvalidHandle;
  auto* p = static_cast<char*>(buf);
  while (*got < n) {
    ssize_t r = ::pread(fd_, p + *got, n - *got, static_cast<off_t>(offset + *got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return LastDosCode();
    }
    if (r == 0) break;
    *got += static_cast<size_t>(r);
  }
  return 0;
}

int File::WriteAt(uint64_t offset, const void* buf, size_t n, size_t* written) {
  size_t done = 0;
  if (written) *written = 0;
  if (fd_ < 0) return kDosInvalidHandle;
  if (read_only_) return kDosAccessDenied;
  auto* p = static_cast<const char*>(buf);
  while (done < n) {
    ssize_t w = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0) {
      if (errno == EINTR) continue;
      if (written) *written = done;
      return LastDosCode();
    }
    if (w == 0) break;
    done += static_cast<size_t>(w);
  }
  if (written) *written = done;
  return done == n ? 0 : kDosWriteError;
}

int File::Size(uint64_t* size) const {
  *size = 0;
  if (fd_ < 0) return kDosInvalidHandle;
  struct stat st {};
  if (fstat(fd_, &st) != 0) return LastDosCode();
  *size = static_cast<uint64_t>(st.st_size);
  return 0;
}

int File::Truncate(uint64_t size) {
  if (fd_ < 0) return kDosInvalidHandle;
  if (read_only_) return kDosAccessDenied;
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : LastDosCode();
}

int File::Flush() {
  if (fd_ < 0) return kDosInvalidHandle;
  if (::fsync(fd_) == 0) return 0;
  // A read-only descriptor or a special file has nothing to flush.
  if (errno == EINVAL || errno == EBADF) return 0;
  return LastDosCode();
}

int File::Lock(uint64_t offset, uint64_t length, bool exclusive) {
  if (fd_ < 0) return kDosInvalidHandle;
  return SetLock(fd_, (exclusive && !read_only_) ? F_WRLCK : F_RDLCK, offset, length);
}

int File::Unlock(uint64_t offset, uint64_t length) {
  if (fd_ < 0) return kDosInvalidHandle;
  return SetLock(fd_, F_UNLCK, offset, length);
}

int File::ChangeShareMode(int mode) {
  if (fd_ < 0) return kDosInvalidHandle;
  const short type = ShareLockType(mode);
  if (share_fd_ < 0 && type == F_WRLCK && read_only_) {
    // The share lock moves to a descriptor opened for writing. The holder takes the read lock
    // beside ours before ours goes, so that the file is never without a share lock.
    int rc = 0;
    const int holder = OpenLockHolder(fd_, path_, &rc);
    if (holder < 0) return rc;
    rc = SetLock(holder, F_RDLCK, kShareLockOffset, 1);
    if (rc != 0) {
      ::close(holder);
      return ShareResult(rc);
    }
    SetLock(fd_, F_UNLCK, kShareLockOffset, 1);
    share_fd_ = holder;
  }
  // Converting an OFD lock is atomic: a refused conversion leaves the old lock in place.
  return ShareResult(SetLock(share_fd_ >= 0 ? share_fd_ : fd_, type, kShareLockOffset, 1));
}

namespace {

std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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

}  // namespace

std::string FollowLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
    target.resize(static_cast<size_t>(n));
    path = target[0] == '/' ? target : FolderPart(path) + target;
  }
  return path;
}

int ReplaceFileThrough(const std::string& target, const std::string& temp, const std::string& bytes,
                       const struct stat* old, int folder_fd) {
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
  if (folder_fd >= 0) fsync(folder_fd);  // makes the rename itself durable; best effort
  return 0;
}

int ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::string target = FollowLinks(path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return kDosAccessDenied;
  if (!exists && errno != ENOENT) return LastDosCode();
  const std::string folder = FolderPart(target);
  const int folder_fd =
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return LastDosCode();
  // A temporary name of this process that is free: an earlier writer's leftover, or another
  // process writing the same file at the same time, never stands in the way.
  int rc = 0;
  for (unsigned n = 0; n < 100; ++n) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld-%u.tmp", static_cast<long>(::getpid()), n);
    rc = ReplaceFileThrough(target, target + suffix, bytes, exists ? &st : nullptr, folder_fd);
    if (rc != kDosAccessDenied || errno != EEXIST) break;
  }
  ::close(folder_fd);
  return rc;
}

}  // namespace platform
