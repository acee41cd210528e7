// Memo files: open and close with the table, reading a memo into the line store, writing the
// store back (in place, into a free run or at the end of the file), the free-block list, the
// abandoned-block count and the memo lock.
//
// Writing a memo that moves (it no longer fits its blocks) happens in this order, so that a
// failure never costs the old text: under the lock the new run is taken and its block header
// written; the text is written without the lock (the run is already ours); only then, under
// the lock again, is the old run released. When that second lock cannot be had the old run is
// only counted as abandoned. A failed write gives its new run back and leaves the field's old
// reference valid.
//
// The free list is walked with a step bound and each run is checked against its neighbours
// and the end of the file; a damaged list is cut at the damage (allocation) or left alone
// (freeing), so that a damaged file can leak blocks but never hand out a block twice.
#include "engine/memo_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/memo_device.h"
#include "engine/memo_internal.h"
#include "engine/memo_pack.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/dos_error.h"
#include "platform/core/paths.h"

namespace engine {

uint16_t MaxMemoLines = 1024;
int32_t MemoLineCount = 1;
bool MemoWrap = false;
uint16_t MemoWidth = 78;
char MemoLineEnd[2] = {'\r', '\n'};
bool ForceSharedOpen = false;
bool FlushMemoOnClose = false;
std::unique_ptr<std::vector<std::string>> MemoLines;
std::unique_ptr<std::vector<uint8_t>> MemoLineEnds;
bool MemoLinesCut = false;

// The helpers live in a named namespace so that the whole-file routines (memo_pack.cpp) reach
// the ones memo_internal.h declares.
namespace memo_internal {

constexpr uint8_t kCR = 13;
constexpr uint8_t kLF = 10;
constexpr uint8_t kSoftCR = 0x8D;
constexpr uint64_t kLockByte = 10;
constexpr int kLockTries = 11;
constexpr unsigned kLockPauseMs = 10;

const char kListTag[] = " [EditMemo/CloseMemo]";

std::array<std::unique_ptr<TMemoFileRec>, kMaxArea + 1> g_memo;

std::string OnDisk(const std::string& name) {
  return platform::PathExists(name) ? name : platform::ResolveCase(name);
}

// Releases the memo lock without reporting (the error rule: release, then report).
void ReleaseLock(TMemoFileRec& m) {
  if (!m.Locked) return;
  m.MemoFile.Unlock(kLockByte, 1);
  m.Locked = false;
}

void MemoError(TMemoFileRec& m, uint16_t code, const std::string& msg) {
  ReleaseLock(m);
  SetError(code, msg);
}

// A short transfer is reported with the Part-specific code; any other failure with its own.
uint16_t ShortOr(int rc, uint16_t short_code) {
  return static_cast<uint16_t>(
      rc == 0 || rc == platform::kDosWriteError || rc == platform::kDosReadError ? short_code : rc);
}

uint64_t BlockPos(const TMemoFileRec& m, uint64_t block) { return block * m.BlockSize; }

// The file's size in whole blocks (a last partial block counts), at least 1 (the header).
bool TotalBlocks(TMemoFileRec& m, uint64_t* total) {
  uint64_t size = 0;
  const int rc = m.MemoFile.Size(&size);
  if (rc != 0) {
    MemoError(m, static_cast<uint16_t>(rc), m.MemoName);
    return false;
  }
  *total = std::max<uint64_t>(1, (size + m.BlockSize - 1) / m.BlockSize);
  return true;
}

bool ReadExact(TMemoFileRec& m, uint64_t pos, uint8_t* buf, size_t n, const std::string& msg) {
  size_t got = 0;
  const int rc = m.MemoFile.ReadAt(pos, buf, n, &got);
  if (rc != 0 || got < n) {
    MemoError(m, ShortOr(rc, 30), msg);
    return false;
  }
  return true;
}

bool WriteExact(TMemoFileRec& m, uint64_t pos, const uint8_t* buf, size_t n,
                const std::string& msg) {
  size_t written = 0;
  const int rc = m.MemoFile.WriteAt(pos, buf, n, &written);
  if (rc != 0 || written < n) {
    MemoError(m, ShortOr(rc, 29), msg);
    return false;
  }
  return true;
}

bool ReadU32(TMemoFileRec& m, uint64_t pos, uint32_t* v, const std::string& msg) {
  uint8_t b[4];
  if (!ReadExact(m, pos, b, 4, msg)) return false;
  *v = GetU32LE(b);
  return true;
}

bool WriteU32(TMemoFileRec& m, uint64_t pos, uint32_t v, const std::string& msg) {
  uint8_t b[4];
  PutU32LE(b, v);
  return WriteExact(m, pos, b, 4, msg);
}

bool ReadRun(TMemoFileRec& m, uint64_t block, uint32_t* next, uint32_t* count) {
  uint8_t b[8];
  if (!ReadExact(m, BlockPos(m, block), b, 8, m.MemoName + kListTag)) return false;
  *next = GetU32LE(b);
  *count = GetU32LE(b + 4);
  return true;
}

bool WriteRun(TMemoFileRec& m, uint64_t block, uint64_t next, uint64_t count) {
  uint8_t b[8];
  PutU32LE(b, static_cast<uint32_t>(next));
  PutU32LE(b + 4, static_cast<uint32_t>(count));
  return WriteExact(m, BlockPos(m, block), b, 8, m.MemoName + kListTag);
}

// A free run is sound when it is not empty, lies past the header, ends before the next run (or
// the end of the file) and the list ascends.
bool RunSound(uint64_t cur, uint64_t next, uint64_t count, uint64_t total) {
  return count >= 1 && cur >= 1 && next > cur && cur + count <= std::min(next, total);
}

// Adds n to the abandoned-block count at header offset 32. Files whose block size leaves no
// room for it in the header block keep no count.
bool AddAbandoned(TMemoFileRec& m, uint64_t n) {
  if (n == 0 || m.BlockSize < kAbandonedAt + 4) return true;
  uint8_t b[4] = {0, 0, 0, 0};
  size_t got = 0;
  const int rc = m.MemoFile.ReadAt(kAbandonedAt, b, 4, &got);
  if (rc != 0) {
    MemoError(m, static_cast<uint16_t>(rc), m.MemoName + " [MainHeaderWrite()]");
    return false;
  }
  const uint32_t count = got == 4 ? GetU32LE(b) : 0;  // not yet written in a new file
  const uint64_t sum = std::min<uint64_t>(uint64_t{count} + n, UINT32_MAX);
  return WriteU32(m, kAbandonedAt, static_cast<uint32_t>(sum), m.MemoName + " [MainHeaderWrite()]");
}

// The place where a memo is appended: the file padded with bytes 0 to whole blocks (at least
// the header block). A new generation-131 file of B + 1 bytes gives B: its 0x1A is overwritten.
bool NewMemoByteOffset(TMemoFileRec& m, uint64_t* q) {
  uint64_t size = 0;
  int rc = m.MemoFile.Size(&size);
  const uint64_t b = m.BlockSize;
  if (rc == 0 && m.Version == kGen131 && size == b + 1) {
    *q = b;
    return true;
  }
  uint64_t target = std::max<uint64_t>(b, (size + b - 1) / b * b);
  if (rc == 0 && target > size) {
    const std::vector<uint8_t> zeros(target - size, 0);
    size_t written = 0;
    rc = m.MemoFile.WriteAt(size, zeros.data(), zeros.size(), &written);
    if (rc == 0 && written < zeros.size()) rc = platform::kDosWriteError;
  }
  if (rc != 0) {
    MemoError(m, static_cast<uint16_t>(rc), m.MemoName + " [NewMemoByteOffset]");
    return false;
  }
  *q = target;
  return true;
}

// What a memo at a block occupies.
struct TMemoExtent {
  bool header = false;      // block-header layout
  uint64_t bytes = 0;       // bytes from its first block on: stored length, or through the end
  bool terminated = false;  // a plain memo ended by its terminator (not by the end of the file)
};

// Reads the memo at byte `pos`, collecting its text when `text` is set. Blocks are read whole
// and passed to the table's AfterAccessProc (the text part of a header memo's first block).
// Returns 0 or the I/O result.
int ReadMemoAt(const TMemoFileRec& m, TRecordProc after, uint64_t pos, std::string* text,
               TMemoExtent* ext) {
  const size_t b = m.BlockSize;
  std::vector<uint8_t> buf(b);
  size_t got = 0;
  int rc = m.MemoFile.ReadAt(pos, buf.data(), b, &got);
  if (rc != 0) return rc;
  *ext = {};
  uint64_t remaining = std::numeric_limits<uint64_t>::max();
  size_t start = 0;
  if (got >= kHeaderMemoSize && GetU16LE(buf.data()) == 0xFFFF &&
      GetU16LE(buf.data() + 2) == kHeaderMemoSize) {
    const uint32_t stored = GetU32LE(buf.data() + 4);
    ext->header = true;
    ext->bytes = std::max(stored, kHeaderMemoSize);
    remaining = ext->bytes - kHeaderMemoSize;
    start = kHeaderMemoSize;
    if (text == nullptr) return 0;
  }
  uint64_t consumed = 0;
  for (;;) {
    if (after != nullptr && got > start)
      after(buf.data() + start, static_cast<uint16_t>(got - start));
    for (size_t k = start; k < got; ++k) {
      if (ext->header) {
        if (remaining == 0) return 0;
        --remaining;
      }
      const uint8_t c = buf[k];
      if (c == kEndText || (!ext->header && c == kEofByte)) {
        if (!ext->header) {
          ext->bytes = consumed + k + 1;
          ext->terminated = true;
        }
        return 0;
      }
      if (text != nullptr) text->push_back(static_cast<char>(c));
    }
    consumed += got;
    if (ext->header && remaining == 0) return 0;
    if (got < b) break;  // the end of the file ends the memo
    pos += b;
    start = 0;
    rc = m.MemoFile.ReadAt(pos, buf.data(), b, &got);
    if (rc != 0) return rc;
    if (got == 0) break;
  }
  if (!ext->header) ext->bytes = consumed;
  return 0;
}

// Splits a memo text into lines of at most `width` characters (see ReadMemoLine codes: 0 cut,
// 1 hard break, 2 soft break, 3 end of memo).
class TLineReader {
 public:
  TLineReader(const std::string& text, size_t width, bool wrap)
      : s_(text), width_(width), wrap_(wrap) {}

  int Next(std::string& line) {
    line.clear();
    bool consumed = false;
    for (;;) {
      if (i_ >= s_.size()) {
        if (line.empty() && !consumed) return 3;
        prev_ = 0;
        return 0;
      }
      size_t len = 0;
      const int brk = BreakAt(i_, &len);
      if (brk != 0) {
        i_ += len;
        consumed = true;
        // With word wrap a single break inside a paragraph reads as a blank; a break before
        // another break (or the end), or one that starts a line after a break, ends the line.
        if (!wrap_ || i_ >= s_.size() || BreakAt(i_, &len) != 0 || (line.empty() && prev_ != 0)) {
          prev_ = brk;
          return brk;
        }
        if (!line.empty() && line.back() != ' ') {
          if (line.size() >= width_) {
            prev_ = 0;
            return 0;
          }
          line.push_back(' ');
        }
        continue;
      }
      if (line.size() >= width_) {
        // Full without a break: end after the last blank, else cut here.
        const size_t blank = line.rfind(' ');
        if (blank != std::string::npos) {
          const size_t carry = line.size() - blank - 1;  // non-blanks read straight from s_
          i_ -= carry;
          line.resize(blank + 1);
          while (i_ < s_.size() && s_[i_] == ' ') ++i_;
        }
        prev_ = 0;
        return 0;
      }
      line.push_back(s_[i_++]);
      consumed = true;
    }
  }

 private:
  // 1 for CR (with the LF after it, when there is one), 2 for 0x8D LF, else 0.
  int BreakAt(size_t i, size_t* len) const {
    const uint8_t c = static_cast<uint8_t>(s_[i]);
    const bool lf_next = i + 1 < s_.size() && static_cast<uint8_t>(s_[i + 1]) == kLF;
    if (c == kCR) {
      *len = lf_next ? 2 : 1;
      return 1;
    }
    if (c == kSoftCR && lf_next) {
      *len = 2;
      return 2;
    }
    return 0;
  }

  const std::string& s_;
  size_t width_;
  bool wrap_;
  size_t i_ = 0;
  int prev_ = 1;  // the memo's start counts as a line start after a break
};

// Stores one line under the next index; false when reading must stop (memory).
enum class TStoreResult { kStored, kDropped, kStop };

TStoreResult StoreLine(std::string& line, int code, const std::string& memo_name) {
  const size_t index = MemoLines->size() + 1;
  if (index > MaxMemoLines) {
    MemoLinesCut = true;
    return TStoreResult::kDropped;
  }
  if (!HeapHas(1001)) {
    MemoLinesCut = true;
    SetError(217, "Reading memo field in " + memo_name);
    return TStoreResult::kStop;
  }
  const size_t nul = line.find('\0');  // a stored line ends at its first byte 0
  if (nul != std::string::npos) line.resize(nul);
  MemoLines->push_back(line);
  (*MemoLineEnds)[index] = code == 1 ? kCR : code == 2 ? kSoftCR : 0;
  if (!HeapHas(1000)) {
    MemoLinesCut = true;
    SetError(217, "Reading memo field in " + memo_name);
    return TStoreResult::kStop;
  }
  return TStoreResult::kStored;
}

// The old memo a rewrite replaces.
struct TOldMemo {
  bool valid = false;     // a memo lies at the reference
  bool reusable = false;  // its extent is known: it may be written over and released
  uint64_t blocks = 0;
};

TOldMemo ExamineOld(TMemoFileRec& m, const TDbfFileRec& t, int32_t ref, uint64_t total) {
  TOldMemo old;
  if (ref <= 0 || static_cast<uint64_t>(ref) >= total) return old;
  TMemoExtent ext;
  if (ReadMemoAt(m, t.AfterAccessProc, BlockPos(m, static_cast<uint64_t>(ref)), nullptr, &ext) !=
      0) {
    return old;
  }
  if (!ext.header) {
    // A plain memo's extent needs its text scanned for the terminator.
    std::string ignored;
    if (ReadMemoAt(m, t.AfterAccessProc, BlockPos(m, static_cast<uint64_t>(ref)), &ignored, &ext) !=
        0) {
      return old;
    }
  }
  old.valid = true;
  old.blocks = std::max<uint64_t>(1, (ext.bytes + m.BlockSize - 1) / m.BlockSize);
  // A plain memo in a generation-139 file is never reused: its blocks may hold what another
  // program wrote there. One without terminator, or running past the end, has no known extent.
  old.reusable = (ext.header || (ext.terminated && m.Version == kGen131)) &&
                 static_cast<uint64_t>(ref) + old.blocks <= total;
  if (!old.reusable) old.blocks = std::min<uint64_t>(old.blocks, total - ref);
  return old;
}

// Takes a run of n blocks from the free list (first fit) or at the end of the file, which is
// then extended to hold it. Call with the lock held. 0 on failure (reported).
int32_t AllocRun(TMemoFileRec& m, uint64_t n) {
  uint64_t total = 0;
  uint32_t first = 0;
  if (!TotalBlocks(m, &total) || !ReadU32(m, 0, &first, m.MemoName + kListTag)) return 0;
  uint64_t link = 0;  // byte position of the link that points to `cur`
  uint64_t cur = first;
  for (uint64_t steps = 0; cur < total && steps <= total; ++steps) {
    uint32_t next = 0, count = 0;
    if (!ReadRun(m, cur, &next, &count)) return 0;
    if (!RunSound(cur, next, count, total)) break;  // damaged: the list is cut here
    if (count >= n) {
      if (count > n) {
        if (!WriteRun(m, cur + n, next, count - n)) return 0;
        if (!WriteU32(m, link, static_cast<uint32_t>(cur + n), m.MemoName + kListTag)) return 0;
      } else if (!WriteU32(m, link, next, m.MemoName + kListTag)) {
        return 0;
      }
      return static_cast<int32_t>(cur);
    }
    link = BlockPos(m, cur);
    cur = next;
  }
  if (total + n > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    MemoError(m, 1005, m.MemoName + kListTag);
    return 0;
  }
  if (!WriteU32(m, link, static_cast<uint32_t>(total + n), m.MemoName + kListTag)) return 0;
  const int rc = m.MemoFile.Truncate(BlockPos(m, total + n));
  if (rc != 0) {
    MemoError(m, static_cast<uint16_t>(rc), m.MemoName + kListTag);
    return 0;
  }
  return static_cast<int32_t>(total);
}

// Links the run [block, block + count) into the free list in block order. Call with the lock
// held. Refused (nothing changed) when the run overlaps the list or the end of the file or the
// list is damaged before it; failed (reported) on an I/O failure.
TFreeResult FreeRun(TMemoFileRec& m, uint64_t block, uint64_t count) {
  uint64_t total = 0;
  uint32_t first = 0;
  if (!TotalBlocks(m, &total) || !ReadU32(m, 0, &first, m.MemoName + kListTag)) {
    return TFreeResult::kFailed;
  }
  if (block < 1 || count < 1 || block + count > total) return TFreeResult::kRefused;
  uint64_t link = 0;
  uint64_t cur = first;
  for (uint64_t steps = 0; cur < total && cur < block; ++steps) {
    uint32_t next = 0, run = 0;
    if (steps > total) return TFreeResult::kRefused;
    if (!ReadRun(m, cur, &next, &run)) return TFreeResult::kFailed;
    if (!RunSound(cur, next, run, total) || cur + run > block) return TFreeResult::kRefused;
    link = BlockPos(m, cur);
    cur = next;
  }
  const uint64_t next = std::min(cur, total);
  if (next < block + count) return TFreeResult::kRefused;  // already free, or overlapping
  // The run's own header first: a failure in between leaks the run but never links garbage.
  if (!WriteRun(m, block, next, count) ||
      !WriteU32(m, link, static_cast<uint32_t>(block), m.MemoName + kListTag)) {
    return TFreeResult::kFailed;
  }
  return TFreeResult::kLinked;
}

// Writes `image` (whole blocks) at `block`, from byte `skip` of the first block on, one block at
// a time through the table's BeforeWriteProc.
bool WriteBlocks(TMemoFileRec& m, TRecordProc before, uint64_t block, std::vector<uint8_t>& image,
                 size_t skip) {
  const size_t b = m.BlockSize;
  for (size_t at = 0; at < image.size(); at += b) {
    const size_t from = at == 0 ? skip : 0;
    uint8_t* p = image.data() + at + from;
    const size_t len = b - from;
    if (before != nullptr) before(p, static_cast<uint16_t>(len));
    size_t written = 0;
    const int rc = m.MemoFile.WriteAt(BlockPos(m, block) + at + from, p, len, &written);
    if (rc != 0 || written < len) {
      MemoError(m, ShortOr(rc, 29), m.MemoName + "[EditMemo/CloseMemo]");
      return false;
    }
  }
  return true;
}

// Releases an old memo's blocks: into the free list (generation 139, known extent) and into the
// abandoned count. Call with the lock held.
bool ReleaseOld(TMemoFileRec& m, uint64_t block, const TOldMemo& old) {
  if (m.Version == kGen139 && old.reusable &&
      FreeRun(m, block, old.blocks) == TFreeResult::kFailed) {
    return false;
  }
  return AddAbandoned(m, old.blocks);
}

// Frees the store's line-end array (after a write, as the reader allocates it anew).
void FreeLineEnds() { MemoLineEnds.reset(); }

TMemoFileRec* MemoFileOf(uint8_t area) {
  if (area < 1 || area > kMaxArea || !WorkAreas[area]) return nullptr;
  return g_memo[area].get();
}

int MemoOpenMode(const TWorkAreaRec& wa) {
  int mode = platform::kModeReadWrite;
  if ((SharedAccess && !wa.Exclusive) || ForceSharedOpen) {
    mode = platform::kShareDenyNone | platform::kModeReadWrite;
  }
  if (OpenModeOverride < 65535) mode = OpenModeOverride & 0xFF;
  return mode;
}

}  // namespace memo_internal

using namespace memo_internal;

// ---- Line store -------------------------------------------------------------------------

bool AllocMemoLines() {
  if (MemoLines) return true;
  if (!HeapHas((int64_t{MaxMemoLines} + 1) * 4 + 10001)) return false;
  MemoLines = std::make_unique<std::vector<std::string>>();
  MemoLineCount = 1;
  return true;
}

void FreeMemoLines(bool store) {
  if (MemoLines) MemoLines->clear();
  MemoLineCount = 1;
  MemoLinesCut = false;
  if (store) MemoLines.reset();
}

// ---- Open, close, create ----------------------------------------------------------------

TMemoFileRec* CurrentMemoFile() { return MemoFileOf(CurrentArea); }

int OpenMemoFile(const std::string& base) {
  const std::string name = OnDisk(base + ".DBT");
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) {
    SetError(215, " [USE]");
    return 215;
  }
  if (g_memo[CurrentArea]) {
    SetError(1007, name + " [USE]");
    return 1007;
  }
  if (!HeapHas(589)) {
    SetError(217, name + " [USE]");
    return 217;
  }
  auto rec = std::make_unique<TMemoFileRec>();
  rec->MemoName = name;
  int rc = rec->MemoFile.Open(name, MemoOpenMode(*wa));
  rec->Version = wa->Dbf.Header[0] == 0x8B ? kGen139 : kGen131;
  rec->BlockSize = kDefaultBlock;
  if (rc == 0 && rec->Version == kGen139) {
    uint8_t header[24] = {};
    size_t got = 0;
    rc = rec->MemoFile.ReadAt(0, header, sizeof header, &got);
    // Block sizes below the 8 bytes of a block or run header cannot be written; they are
    // read as the default.
    if (rc == 0 && got >= 22) rec->BlockSize = GetU16LE(header + 20);
    if (rec->BlockSize < kHeaderMemoSize) rec->BlockSize = kDefaultBlock;
  }
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    rec->MemoFile.Close();
    SetError(static_cast<uint16_t>(rc), "Memo file not found: " + name + " [USE]");
    return rc;
  }
  MemoVersion = rec->Version;
  MemoBlockSize = rec->BlockSize;
  g_memo[CurrentArea] = std::move(rec);
  return 0;
}

void CloseMemoFile() {
  if (CurrentArea < 1 || CurrentArea > kMaxArea || !g_memo[CurrentArea]) return;
  std::unique_ptr<TMemoFileRec> rec = std::move(g_memo[CurrentArea]);
  ReleaseLock(*rec);
  const int rc = rec->MemoFile.Close();
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) SetError(static_cast<uint16_t>(rc), rec->MemoName + " [USE, CloseDatabases]");
}

void CreateMemoFile(const std::string& table_name) {
  const std::string name = OnDisk(ChangeExt(table_name, "DBT"));
  std::vector<uint8_t> block;
  if (MemoVersion == kGen131) {
    block.assign(std::max<size_t>(MemoBlockSize, 4) + 1, 0);
    block.back() = kEofByte;
  } else {
    block.assign(24, 0);
    PutU16LE(block.data() + 18, 258);
    PutU16LE(block.data() + 20, MemoBlockSize);
    if (MemoVersion == kGen139) {
      std::string dir, base, ext;
      FileSplit(name, dir, base, ext);
      base = base.substr(0, 8);
      std::copy(base.begin(), base.end(), block.begin() + 8);
    }
  }
  PutU32LE(block.data(), 1);
  platform::File f;
  int rc = f.Create(name, FileMode & 0x70);
  if (rc == 0) {
    size_t written = 0;
    rc = f.WriteAt(0, block.data(), block.size(), &written);
    if (rc == 0 && written < block.size()) rc = platform::kDosWriteError;
    const int close_rc = f.Close();
    if (rc == 0) rc = close_rc;
  }
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) SetError(static_cast<uint16_t>(rc), name + " [CreateMemoFile]");
}

bool CheckMemoArea(const std::string& routine) {
  const std::string r = routine.substr(0, 80);
  const TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) {
    SetError(215, " [" + r + "]");
    return true;
  }
  if (CurrentMemoFile() == nullptr) {
    SetError(1019, wa->Dbf.FileName + " No Memo Field [" + r + "]");
    return true;
  }
  return false;
}

// ---- Lock -------------------------------------------------------------------------------

bool LockMemo() {
  TMemoFileRec* m = CurrentMemoFile();
  if (m == nullptr) return false;
  if (m->Locked || !SharedAccess || CurrentWorkArea()->Exclusive) return true;
  for (int attempt = 1;; ++attempt) {
    if (m->MemoFile.Lock(kLockByte, 1, true) == 0) {
      m->Locked = true;
      return true;
    }
    if (attempt == kLockTries) return false;
    // A short timed pause between tries (bounded even when the tick source stands still).
    const uint64_t start = platform::TickMs();
    for (unsigned i = 0; i < kLockPauseMs && platform::TickMs() - start < kLockPauseMs; ++i) {
      platform::SleepMs(1);
    }
  }
}

bool UnlockMemo() {
  TMemoFileRec* m = CurrentMemoFile();
  if (m == nullptr) return false;
  if (!m->Locked) return true;
  m->Locked = false;
  return m->MemoFile.Unlock(kLockByte, 1) == 0;
}

// ---- Reading ----------------------------------------------------------------------------

bool GetMemo(int32_t ref, uint8_t max_lines) {
  if (CheckMemoArea("GetMemo")) return false;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TMemoFileRec& m = *CurrentMemoFile();
  const std::string where = m.MemoName + " Record # " + std::to_string(wa.Dbf.RecNo) + " [GetMemo]";
  FreeMemoLines(false);
  if (!AllocMemoLines()) {
    SetError(217, where);
    return false;
  }
  if (!MemoLineEnds) {
    if (!HeapHas(int64_t{MaxMemoLines} + 1)) {
      SetError(217, where);
      return false;
    }
    MemoLineEnds = std::make_unique<std::vector<uint8_t>>();
  }
  MemoLineEnds->assign(size_t{MaxMemoLines} + 1, 0);
  MemoVersion = m.Version;
  MemoBlockSize = m.BlockSize;
  if (ref == 0) return true;

  const uint64_t block = static_cast<uint64_t>(ref < 0 ? -int64_t{ref} : int64_t{ref});
  const uint64_t pos = BlockPos(m, block);
  uint64_t size = 0;
  int rc = m.MemoFile.Size(&size);
  if (rc != 0) {
    ErrorCode = static_cast<uint16_t>(rc);
    SetError(static_cast<uint16_t>(rc), m.MemoName);
    return false;
  }
  if (size < 2 || pos >= size - 1) {
    SetError(1003, where);
    return false;
  }
  if (ref < 0) {
    MemoLines->push_back("(BLOB)");
    return true;
  }
  std::string text;
  TMemoExtent ext;
  rc = ReadMemoAt(m, wa.Dbf.AfterAccessProc, pos, &text, &ext);
  if (rc != 0) {
    ErrorCode = static_cast<uint16_t>(rc);
    SetError(30, m.MemoName);
    return false;
  }
  const size_t width = MemoWrap ? size_t{MemoWidth} + 1 : 254;
  TLineReader reader(text, width, MemoWrap);
  std::string line;
  for (int code = reader.Next(line); code != 3; code = reader.Next(line)) {
    if (max_lines > 0 && MemoLines->size() >= max_lines) {
      MemoLinesCut = true;
      break;
    }
    const TStoreResult r = StoreLine(line, code, m.MemoName);
    if (r == TStoreResult::kStop) return false;
  }
  MemoLineCount = std::max<int32_t>(1, static_cast<int32_t>(MemoLines->size()));
  return true;
}

// ---- Writing ----------------------------------------------------------------------------

bool WriteMemo(int32_t ref, std::string_view pending, int32_t* new_ref) {
  *new_ref = 0;
  if (CheckMemoArea("EditMemo")) return false;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TMemoFileRec& m = *CurrentMemoFile();
  if (MemoLinesCut) {
    // The store holds only the first part of a longer memo.
    SetError(100, m.MemoName + kListTag);
    return false;
  }
  MemoVersion = m.Version;
  MemoBlockSize = m.BlockSize;
  const bool v139 = m.Version == kGen139;
  const uint64_t b = m.BlockSize;

  std::string text;
  const char end_pair[2] = {static_cast<char>(kCR), MemoLineEnd[1]};
  if (MemoLines) {
    for (const std::string& line : *MemoLines) {
      text += line;
      text.append(end_pair, 2);
    }
  }
  if (!pending.empty()) {
    text += pending;
    text.append(end_pair, 2);
  }
  const bool empty = text.empty();
  const uint64_t stored = text.size() + (v139 ? kHeaderMemoSize : 1);
  if (!empty && DiskFreeKBOf(m.MemoName) <= static_cast<int64_t>(stored / 1024)) {
    MemoError(m, 1004, m.MemoName);
    FreeLineEnds();
    return false;
  }
  if (!LockMemo()) {
    MemoError(m, 1017, m.MemoName);
    FreeLineEnds();
    return false;
  }
  uint64_t total = 0;
  if (!TotalBlocks(m, &total)) return false;
  const TOldMemo old = ExamineOld(m, wa.Dbf, ref, total);

  if (empty) {
    // Nothing to write: the old memo's blocks are given up.
    if (old.valid && !ReleaseOld(m, static_cast<uint64_t>(ref), old)) return false;
    if (!UnlockMemo()) {
      SetError(1018, m.MemoName);
      return false;
    }
    FreeLineEnds();
    return true;
  }

  const uint64_t n = (stored + b - 1) / b;
  const bool in_place = old.reusable && old.blocks >= n;
  std::vector<uint8_t> image(n * b, 0);
  uint64_t place = in_place ? static_cast<uint64_t>(ref) : 0;

  if (!v139) {
    std::memcpy(image.data(), text.data(), text.size());
    image[text.size()] = kEofByte;
    if (!in_place) {
      uint64_t q = 0;
      if (!NewMemoByteOffset(m, &q)) return false;
      place = q / b;
      if (place + n > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        MemoError(m, 1005, m.MemoName + kListTag);
        return false;
      }
    }
    if (!WriteBlocks(m, wa.Dbf.BeforeWriteProc, place, image, 0)) return false;
    uint64_t size = 0;
    const int rc = m.MemoFile.Size(&size);
    if (rc != 0) {
      MemoError(m, static_cast<uint16_t>(rc), m.MemoName);
      return false;
    }
    const uint64_t given_up = in_place ? old.blocks - n : old.valid ? old.blocks : 0;
    if (!WriteU32(m, 0, static_cast<uint32_t>((size + b - 1) / b),
                  m.MemoName + " [MainHeaderWrite()]") ||
        !AddAbandoned(m, given_up)) {
      return false;
    }
    if (!UnlockMemo()) {
      SetError(1018, m.MemoName);
      return false;
    }
  } else {
    if (!in_place) {
      uint64_t q = 0;
      if (!NewMemoByteOffset(m, &q)) return false;
      const int32_t got = AllocRun(m, n);
      if (got == 0) return false;
      place = static_cast<uint64_t>(got);
    }
    uint8_t head[kHeaderMemoSize];
    PutU16LE(head, 0xFFFF);
    PutU16LE(head + 2, kHeaderMemoSize);
    PutU32LE(head + 4, static_cast<uint32_t>(std::min<uint64_t>(stored, UINT32_MAX)));
    if (!WriteExact(m, BlockPos(m, place), head, sizeof head,
                    m.MemoName + " [UpdateGroupHeader()]")) {
      return false;
    }
    if (in_place && old.blocks > n) {
      // The tail the shorter text no longer needs goes back to the list.
      const TOldMemo tail{true, true, old.blocks - n};
      if (!ReleaseOld(m, place + n, tail)) return false;
    }
    if (!UnlockMemo()) {
      SetError(1018, m.MemoName + " [UpdateGroupHeader()]");
      return false;
    }
    std::memcpy(image.data() + kHeaderMemoSize, text.data(), text.size());
    if (!WriteBlocks(m, wa.Dbf.BeforeWriteProc, place, image, kHeaderMemoSize)) {
      if (!in_place) {
        // Give the new run back, keeping the error of the failed write.
        const uint16_t code = ErrorCode;
        const std::string msg = ErrorMsg;
        const bool abort = AbortOnError;
        AbortOnError = false;
        if (LockMemo()) {
          FreeRun(m, place, n);
          ReleaseLock(m);
        }
        AbortOnError = abort;
        ErrorCode = code;
        ErrorMsg = msg;
      }
      FreeLineEnds();
      return false;
    }
    if (!in_place && old.valid) {
      if (LockMemo()) {
        if (!ReleaseOld(m, static_cast<uint64_t>(ref), old)) return false;
        if (!UnlockMemo()) {
          SetError(1018, m.MemoName);
          return false;
        }
      } else if (!AddAbandoned(m, old.blocks)) {
        return false;
      }
    }
  }

  FlushFile(m.MemoFile);
  FreeLineEnds();
  *new_ref = static_cast<int32_t>(place);
  return true;
}

int32_t EditMemo(int32_t ref, std::string_view pending) {
  int32_t new_ref = 0;
  return WriteMemo(ref, pending, &new_ref) ? new_ref : 0;
}

int32_t AllocMemoBlocks(uint32_t n, int32_t old) {
  TMemoFileRec* m = CurrentMemoFile();
  if (m == nullptr || n == 0) return 0;
  uint64_t total = 0;
  if (!TotalBlocks(*m, &total)) return 0;
  const TOldMemo o = ExamineOld(*m, CurrentWorkArea()->Dbf, old, total);
  if (o.reusable && o.blocks >= n) return old;
  return AllocRun(*m, n);
}

bool FreeMemoBlocks(int32_t block, uint32_t stored_length) {
  TMemoFileRec* m = CurrentMemoFile();
  if (m == nullptr || block <= 0) return false;
  const uint64_t count =
      std::max<uint64_t>(1, (uint64_t{stored_length} + m->BlockSize - 1) / m->BlockSize);
  return FreeRun(*m, static_cast<uint64_t>(block), count) == TFreeResult::kLinked;
}

void InitMemo() {
  for (auto& rec : g_memo) rec.reset();  // areas closed before the hooks were filled
  MaxMemoLines = 1024;
  MemoWrap = false;
  MemoWidth = 78;
  MemoLineEnd[0] = '\r';
  MemoLineEnd[1] = '\n';
  ForceSharedOpen = false;
  FlushMemoOnClose = false;
  FreeMemoLines(true);
  MemoLineEnds.reset();
  MemoHooks.AssignMemo = &AssignMemo;
  MemoHooks.OpenMemoFile = &OpenMemoFile;
  MemoHooks.CloseMemoFile = &CloseMemoFile;
  MemoHooks.CreateMemoFile = &CreateMemoFile;
  MemoHooks.PackMemoFile = &PackMemoFile;
  MemoHooks.CopyMemo = &CopyMemo;
  MemoHooks.WriteTextMemo = &WriteTextMemo;
}

}  // namespace engine
