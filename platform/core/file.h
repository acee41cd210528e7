// Files as the engine uses them: opened in a DOS file mode (access and share mode), read and
// written at explicit 64-bit positions, with Windows-style byte-range locks.
//
// Why open-file-description locks: POSIX record locks (F_SETLK) belong to the process and are
// all dropped when the process closes *any* descriptor of the file, and a process never
// conflicts with itself. Windows locks belong to the handle. OFD locks (F_OFD_SETLK) belong to
// the open file description, survive the closing of other descriptors of the same file and
// conflict between two opens in one process, which is what the engine's locking expects.
//
// Share modes are emulated on a byte range far above every range the engine locks
// (kShareLockOffset): the exclusive, deny-write and deny-read modes take it for writing, the
// deny-none and compatibility modes take it for reading, so a conflicting open fails with DOS
// code 32. The share lock follows the share mode whatever the access: a table opened read-only
// and exclusively keeps every other open out. A read-only descriptor cannot hold a write lock,
// so for a denying mode on it the File opens a second descriptor of the same file for reading
// and writing (checked by device and inode to be the same file) that holds only the share lock
// and is never read or written; where write access is refused, so is the open (32). Byte-range
// locks asked for through Lock on a read-only descriptor are read locks: that still keeps
// writers out and lets other readers in. Locks are advisory on Linux; every access goes
// through the engine, which takes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct stat;

namespace platform {

// DOS file-mode bits: the low three bits are the access, bits 4-6 the share mode.
inline constexpr int kModeRead = 0;
inline constexpr int kModeWrite = 1;
inline constexpr int kModeReadWrite = 2;
inline constexpr int kShareCompat = 0x00;
inline constexpr int kShareExclusive = 0x10;
inline constexpr int kShareDenyWrite = 0x20;
inline constexpr int kShareDenyRead = 0x30;
inline constexpr int kShareDenyNone = 0x40;

inline constexpr uint64_t kShareLockOffset = uint64_t{1} << 62;

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // Opens an existing file in `mode`. Returns 0 or a DOS code (2 missing, 5 denied, 32 share
  // conflict or a denying share mode that write access to the file cannot hold, ...). The file
  // must not be open already.
  int Open(const std::string& path, int mode);
  // Creates `path` (truncating an existing file) for reading and writing, with the share mode
  // bits of `mode`. Returns 0 or a DOS code.
  int Create(const std::string& path, int mode);
  // Closes the file (its locks go with it). Returns 0 or a DOS code; closing a closed file is 0.
  int Close();

  // Reads up to `n` bytes at `offset`; *got receives the count read (short at end of file).
  // Returns 0 or a DOS code.
  int ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) const;
  // Writes `n` bytes at `offset`; *written receives the count. A short write returns 101.
  int WriteAt(uint64_t offset, const void* buf, size_t n, size_t* written = nullptr);
  // Current size in bytes.
  int Size(uint64_t* size) const;
  int Truncate(uint64_t size);
  // Writes the file's buffers to the disk.
  int Flush();

  // Takes a byte-range lock without waiting. Returns 0, 33 when another open holds a
  // conflicting lock, or another DOS code. `exclusive` asks for a write lock; on a read-only
  // descriptor a read lock is taken instead.
  int Lock(uint64_t offset, uint64_t length, bool exclusive = true);
  int Unlock(uint64_t offset, uint64_t length);

  // Changes the share mode of the open file to the share bits of `mode` by converting the share
  // lock, so the file's other locks stay and the file is never without a share lock. Returns
  // 0, 32 when another open's share mode conflicts or write access for a denying mode on a
  // read-only file is refused, 2 when the file's name no longer leads to it (needed for that
  // case only), or another DOS code; on failure the old share mode stays. The access is
  // unchanged.
  int ChangeShareMode(int mode);

  bool IsOpen() const { return fd_ >= 0; }
  bool IsReadOnly() const { return read_only_; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  int Finish(int fd, const std::string& path, int mode, bool read_only);

  int fd_ = -1;
  int share_fd_ = -1;  // descriptor opened for writing that holds the share lock, or -1
  bool read_only_ = false;
  std::string path_;
};

// The file `path` names once symbolic links at its end are followed (it need not exist).
std::string FollowLinks(std::string path);

// Replaces the whole content of the file `path` (created when missing) with `bytes`, so that a
// crash at any point leaves the old content or the new one, never a cut file: the bytes go to
// a new temporary file beside the target, which takes the old file's permission bits (a new
// file's are 0666 less the umask), is flushed and renamed over the target. Symbolic links at
// the end of `path` are followed, so a link stays a link. Returns 0, or a DOS code: the target
// is then as it was and no temporary file is left.
int ReplaceFile(const std::string& path, const std::string& bytes);

// The step under ReplaceFile for callers that already hold the target's status and its
// folder: writes through the temporary file `temp`, which must not exist. `old` is the old
// file's status (null for a new file), `folder_fd` the target's open folder, flushed after the
// rename (-1: none). Returns 0 or a DOS code; on failure `temp` is gone.
int ReplaceFileThrough(const std::string& target, const std::string& temp, const std::string& bytes,
                       const struct stat* old, int folder_fd);

}  // namespace platform
