// Packing a memo file, copying a memo between tables and appending a text as a memo.
//
// The pack runs in three phases, so that it is installed only whole:
//   1. copy: every memo a record refers to is copied into the pack file (records 1 to RecCount,
//      memo fields in field order); the new numbers are only collected. The pack file is then
//      completed, closed and reopened in the memo file's open mode.
//   2. renumber: with halting held off, the records get their new numbers; a failure gives the
//      records already rewritten their old numbers back.
//   3. install: one rename puts the pack file in place of the memo file (the descriptor opened in
//      phase 1 follows it), and the old descriptor is closed.
// The first failure stops the pack; until the rename the old memo file stays in use.
//
// Memo layouts are told apart by a memo's first 8 bytes, as the reader does: 0xFFFF, 8 and the
// stored length make a block-header memo, copied by its length (in both generations: its text
// may hold 0x1A); anything else is plain text ended by the first 0x1A. A plain memo keeps its
// layout in a generation-131 pack and becomes a block-header memo in a generation-139 pack; a
// BLOB memo always becomes one. Block counts follow the module's space rule: a memo of S bytes
// occupies (S + B - 1) div B blocks.
#include "engine/memo_pack.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/memo_file.h"
#include "engine/memo_internal.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/dos_error.h"
#include "platform/core/file.h"

namespace engine {

using namespace memo_internal;

namespace {

const char kPackTag[] = " [PackMemoFile]";
const char kCopyTag[] = " [AppendFrom/CopyTo]";
const char kCopyRoutine[] = "AppendFrom/CopyTo";

constexpr uint16_t kHeaderMark = 258;
constexpr size_t kFileHeaderSize = 24;

// A file's own block size from its first 24 bytes: the word at 20 when the word at 18 is 258,
// else 512. Sizes below the 8 bytes of a block header read as 512, as at open.
uint16_t HeaderBlockSize(const uint8_t* h, bool* marked) {
  *marked = GetU16LE(h + 18) == kHeaderMark;
  const uint16_t b = *marked ? GetU16LE(h + 20) : kDefaultBlock;
  return b < kHeaderMemoSize ? kDefaultBlock : b;
}

bool IsBlockHeader(const uint8_t* p, size_t n) {
  return n >= kHeaderMemoSize && GetU16LE(p) == 0xFFFF && GetU16LE(p + 2) == kHeaderMemoSize;
}

// Makes `area` current for one call.
class AreaScope {
 public:
  explicit AreaScope(uint8_t area) : saved_(CurrentArea) { CurrentArea = area; }
  ~AreaScope() { CurrentArea = saved_; }
  AreaScope(const AreaScope&) = delete;
  AreaScope& operator=(const AreaScope&) = delete;

 private:
  uint8_t saved_;
};

// Restores the table's current record (number, end flags and buffer) after records were read
// and written through it.
class RecordScope {
 public:
  explicit RecordScope(TDbfFileRec& t)
      : t_(t), rec_no_(t.RecNo), at_eof_(t.AtEof), at_bof_(t.AtBof), buf_(t.RecBuf) {}
  ~RecordScope() {
    t_.RecNo = rec_no_;
    t_.AtEof = at_eof_;
    t_.AtBof = at_bof_;
    t_.RecBuf = buf_;
  }
  RecordScope(const RecordScope&) = delete;
  RecordScope& operator=(const RecordScope&) = delete;

 private:
  TDbfFileRec& t_;
  int32_t rec_no_;
  bool at_eof_;
  bool at_bof_;
  std::vector<uint8_t> buf_;
};

// Holds halting off and keeps the first error for the end, when the records are consistent
// again; then reports it by the memo error rule.
class HeldError {
 public:
  explicit HeldError(TMemoFileRec& m) : m_(m), abort_(AbortOnError) { AbortOnError = false; }
  ~HeldError() {
    AbortOnError = abort_;
    if (code_ != 0) MemoError(m_, code_, msg_);
  }
  HeldError(const HeldError&) = delete;
  HeldError& operator=(const HeldError&) = delete;

  // Takes the pending error state as the first failure (when there is none yet).
  void Keep() {
    if (code_ == 0 && ErrorCode != 0) {
      code_ = ErrorCode;
      msg_ = ErrorMsg;
    }
  }
  void Keep(uint16_t code, const std::string& msg) {
    if (code_ == 0) {
      code_ = code;
      msg_ = msg;
    }
  }
  bool failed() const { return code_ != 0; }

 private:
  TMemoFileRec& m_;
  bool abort_;
  uint16_t code_ = 0;
  std::string msg_;
};

// ---- The pack ---------------------------------------------------------------------------

// One memo field whose number changes.
struct TFieldChange {
  int32_t rec;
  uint8_t field;
  std::string old_text;
  std::string new_text;
};

class TPack {
 public:
  TPack(TWorkAreaRec& wa, TMemoFileRec& m)
      : wa_(wa), m_(m), b_(m.BlockSize), v139_(m.Version == kGen139) {}

  // The work buffer of max(B, 512) bytes (it grows to the source block size when that is
  // larger). False after reporting 217.
  bool TakeBuffer(size_t size) {
    size = std::max<size_t>({size, b_, kDefaultBlock});
    if (buf_.size() >= size) return true;
    if (!HeapHas(static_cast<int64_t>(size))) {
      MemoError(m_, 217, m_.MemoName + kPackTag);
      return false;
    }
    buf_.assign(size, 0);
    return true;
  }

  // Creates the pack file (an existing one is emptied) and writes its header.
  bool CreatePackFile(const std::string& name) {
    name_ = name;
    int rc = pack_.Create(name, FileMode & 0x70);
    if (rc != 0) {
      ErrorCode = static_cast<uint16_t>(rc);
      MemoError(m_, static_cast<uint16_t>(rc),
                "Unable to create temporary file: " + name + kPackTag);
      return false;
    }
    std::vector<uint8_t> header;
    if (v139_) {
      header.assign(kFileHeaderSize, 0);
      PutU32LE(header.data(), 1);
      std::string dir, base, ext;
      FileSplit(m_.MemoName, dir, base, ext);
      base.resize(std::min<size_t>(base.size(), 8));
      std::memcpy(header.data() + 8, base.data(), base.size());
      PutU16LE(header.data() + 18, kHeaderMark);
      PutU16LE(header.data() + 20, b_);
    } else {
      header.assign(b_, 0);
    }
    if (!Write(0, header.data(), header.size(), 0, m_.MemoName + kPackTag)) return false;
    end_ = header.size();
    return true;
  }

  // Copies memo `ref` (negative: a BLOB) of record `rec_no` into the pack file. Returns its new
  // block number, 0 on failure (reported).
  int32_t PackMemo(int32_t ref, int32_t rec_no) {
    const bool blob = ref < 0;
    const uint64_t block =
        blob ? uint64_t{0} - static_cast<uint64_t>(int64_t{ref}) : static_cast<uint64_t>(ref);
    if (!ReadSourceBlockSize() || !PadPackFile()) return 0;
    const uint64_t first = end_ / b_;
    if (first > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
      MemoError(m_, 1005, m_.MemoName);
      return 0;
    }
    uint64_t size = 0;
    const int rc = m_.MemoFile.Size(&size);
    if (rc != 0) {
      MemoError(m_, static_cast<uint16_t>(rc), m_.MemoName);
      return 0;
    }
    src_ = block * b_;
    if (size < 2 || src_ >= size - 1) {
      MemoError(m_, 1003,
                m_.MemoName + " Memo block # " + std::to_string(block) + " Record # " +
                    std::to_string(rec_no) + " [PackMemo]");
      return 0;
    }
    uint8_t head[kHeaderMemoSize] = {};
    size_t got = 0;
    const int read_rc = m_.MemoFile.ReadAt(src_, head, sizeof head, &got);
    if (read_rc != 0) {
      MemoError(m_, 30, m_.MemoName);
      return 0;
    }
    if (IsBlockHeader(head, got)) {
      // Copied whole by its stored length, the block header with the first block.
      const uint32_t stored = std::max(GetU32LE(head + 4), kHeaderMemoSize);
      if (!CopyMemoBlocks(stored, false)) return 0;
    } else if (!v139_ && !blob) {
      if (!CopyMemoBlocks(0, false)) return 0;  // a plain memo stays plain
    } else {
      // A plain memo becomes a block-header memo: its text moves 8 bytes on.
      if (!CopyMemoBlocks(0, true)) return 0;
      uint8_t h[kHeaderMemoSize];
      PutU16LE(h, 0xFFFF);
      PutU16LE(h + 2, kHeaderMemoSize);
      const uint64_t stored = text_ + kHeaderMemoSize;
      if (stored > std::numeric_limits<uint32_t>::max()) {
        MemoError(m_, 1005, m_.MemoName);
        return 0;
      }
      PutU32LE(h + 4, static_cast<uint32_t>(stored));
      if (!Write(first * b_, h, sizeof h, 29, m_.MemoName)) return 0;
    }
    return static_cast<int32_t>(first);
  }

  // Writes the end byte (generation 131) and the header's block count, then closes the pack
  // file.
  bool FinishPackFile() {
    if (!v139_) {
      const uint8_t eof = kEofByte;
      if (!Write(end_, &eof, 1, 0, m_.MemoName)) return false;
      ++end_;
    }
    uint8_t count[4];
    PutU32LE(count, static_cast<uint32_t>(std::min<uint64_t>((end_ + b_ - 1) / b_, UINT32_MAX)));
    if (!Write(0, count, sizeof count, 0, m_.MemoName)) return false;
    const int rc = pack_.Close();
    ErrorCode = static_cast<uint16_t>(rc);
    if (rc != 0) {
      MemoError(m_, static_cast<uint16_t>(rc), m_.MemoName);
      return false;
    }
    return true;
  }

  const std::string& name() const { return name_; }

 private:
  // The source block size SB, read once from the memo file's header.
  bool ReadSourceBlockSize() {
    if (sb_ != 0) return true;
    uint8_t h[kFileHeaderSize];
    if (!ReadExact(m_, 0, h, sizeof h, m_.MemoName)) return false;
    bool marked = false;
    sb_ = HeaderBlockSize(h, &marked);
    return TakeBuffer(sb_);
  }

  // Copies the memo at src_ block by block: SB bytes read, B bytes written. `length` (a
  // block-header memo's stored length) ends it after its last block; 0 ends it at the block
  // that holds the first 0x1A (counting its text bytes in text_). With `leave_header_room` the
  // text is written 8 bytes on, after room for a block header.
  bool CopyMemoBlocks(uint64_t length, bool leave_header_room) {
    uint64_t dst = end_ + (leave_header_room ? kHeaderMemoSize : 0);
    uint64_t done = 0;
    text_ = 0;
    for (bool first = true;; first = false) {
      // Only a block-header memo's first block starts with bytes that are not text.
      const size_t skip = first && length != 0 ? kHeaderMemoSize : 0;
      std::fill(buf_.begin(), buf_.begin() + sb_, 0);
      size_t n = 0;
      const int rc = m_.MemoFile.ReadAt(src_, buf_.data(), sb_, &n);
      if (rc != 0) {
        MemoError(m_, static_cast<uint16_t>(rc), m_.MemoName);
        return false;
      }
      src_ += n;
      if (wa_.Dbf.AfterAccessProc != nullptr && sb_ > skip) {
        wa_.Dbf.AfterAccessProc(buf_.data() + skip, static_cast<uint16_t>(sb_ - skip));
      }
      if (n == 0) break;  // the end of the memo file
      bool last = false;
      if (length != 0) {
        done += b_;
        last = done >= length;
      } else {
        last = FindMemoEnd(n);
      }
      if (wa_.Dbf.BeforeWriteProc != nullptr && b_ > skip) {
        wa_.Dbf.BeforeWriteProc(buf_.data() + skip, static_cast<uint16_t>(b_ - skip));
      }
      // Text moved 8 bytes on ends with its last text byte, so that it takes no block more
      // than its stored length needs.
      const size_t out = leave_header_room && last ? end_at_ : b_;
      if (out > 0 && !Write(dst, buf_.data(), out, 1005, m_.MemoName)) return false;
      dst += out;
      end_ = std::max(end_, dst);
      if (last) break;
    }
    return PadPackFile();
  }

  // True when the n bytes just read hold the end byte of a plain memo (at end_at_); the text
  // bytes before it (all n when there is none) count towards text_.
  bool FindMemoEnd(size_t n) {
    const uint8_t* end = std::find(buf_.data(), buf_.data() + n, kEofByte);
    end_at_ = static_cast<size_t>(end - buf_.data());
    text_ += end_at_;
    return end_at_ < n;
  }

  // Pads the pack file with bytes 0 to a whole number of blocks.
  bool PadPackFile() {
    const uint64_t rest = end_ % b_;
    if (rest == 0) return true;
    const std::vector<uint8_t> zeros(b_ - rest, 0);
    if (!Write(end_, zeros.data(), zeros.size(), 1005, m_.MemoName)) return false;
    end_ += zeros.size();
    return true;
  }

  // Writes n bytes of the pack file at `pos`; a failure is reported with `short_code` for a
  // short write (0: the I/O result) and `msg`.
  bool Write(uint64_t pos, const uint8_t* p, size_t n, uint16_t short_code,
             const std::string& msg) {
    size_t written = 0;
    const int rc = pack_.WriteAt(pos, p, n, &written);
    ErrorCode = static_cast<uint16_t>(rc);
    if (rc == 0 && written == n) return true;
    const uint16_t code = short_code != 0
                              ? ShortOr(rc, short_code)
                              : static_cast<uint16_t>(rc != 0 ? rc : platform::kDosWriteError);
    MemoError(m_, code, msg);
    return false;
  }

  TWorkAreaRec& wa_;
  TMemoFileRec& m_;
  const uint64_t b_;
  const bool v139_;
  std::string name_;
  platform::File pack_;
  std::vector<uint8_t> buf_;
  uint16_t sb_ = 0;    // the source block size, once read
  uint64_t end_ = 0;   // the pack file's size
  uint64_t src_ = 0;   // read position in the memo file
  uint64_t text_ = 0;  // text bytes of the plain memo copied last
  size_t end_at_ = 0;  // where FindMemoEnd found the end byte in the block
};

// The signed number a memo field's text holds (0 for a blank or unreadable field).
int32_t FieldRef(const std::string& text) {
  const std::string t = AllTrim(text);
  int32_t n = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
  return ec == std::errc() && end == t.data() + t.size() ? n : 0;
}

// Writes one field's text into record `rec`: through the record (and its hooks) when the table
// has an AfterAccessProc, else in place. False after reporting (halting is held off).
bool PutField(TDbfFileRec& t, bool through_record, const TFieldDef& f, int32_t rec, uint8_t field,
              const std::string& text) {
  ErrorCode = 0;
  if (through_record) {
    GetDbfRecord(t, rec);
    if (ErrorCode != 0) return false;
    std::memcpy(t.RecBuf.data() + f.Offset, text.data(), f.Len);
    PutDbfRecord(t, rec);
  } else {
    Poke(text, field, rec);
  }
  return ErrorCode == 0;
}

}  // namespace

void PackMemoFile() {
  if (CheckMemoArea("PackMemoFile")) return;
  TWorkAreaRec& wa = *CurrentWorkArea();
  TMemoFileRec& m = *CurrentMemoFile();
  TDbfFileRec& t = wa.Dbf;
  const std::string tag = m.MemoName + kPackTag;
  // Another program with the file open would go on writing into the replaced file.
  if (!wa.Exclusive) {
    MemoError(m, 225, tag);
    return;
  }
  uint64_t size = 0;
  const int size_rc = m.MemoFile.Size(&size);
  if (size_rc != 0) {
    MemoError(m, static_cast<uint16_t>(size_rc), m.MemoName);
    return;
  }
  if (DiskFreeKBOf(m.MemoName) < static_cast<int64_t>(size / 1024)) {
    MemoError(m, 1012, tag);
    return;
  }
  MemoVersion = m.Version;
  MemoBlockSize = m.BlockSize;

  TPack pack(wa, m);
  if (!pack.TakeBuffer(0)) return;
  std::string dir, base, ext;
  FileSplit(m.MemoName, dir, base, ext);
  if (!pack.CreatePackFile(dir + base + ".$$$")) return;

  // Phase 1: copy every memo, collecting the new numbers.
  const bool through_record = t.AfterAccessProc != nullptr;
  std::vector<TFieldChange> changes;
  {
    RecordScope keep(t);
    for (int32_t r = 1; r <= t.RecCount; ++r) {
      if (through_record) {
        ErrorCode = 0;
        GetDbfRecord(t, r);
        if (ErrorCode != 0) return;
      }
      for (uint8_t f = 1; f <= t.FieldCount; ++f) {
        const TFieldDef& def = t.Fields[f - 1];
        if (def.FieldType != 'M') continue;
        std::string text;
        if (through_record) {
          text.assign(reinterpret_cast<const char*>(t.RecBuf.data()) + def.Offset, def.Len);
        } else {
          ErrorCode = 0;
          text = Peek(f, r);
          if (text.size() != def.Len) {
            // A field that cannot be read would lose its memo.
            if (ErrorCode == 0) MemoError(m, platform::kDosReadError, tag);
            return;
          }
        }
        const int32_t ref = FieldRef(text);
        if (ref == 0) continue;
        const int32_t moved = pack.PackMemo(ref, r);
        if (moved == 0) return;
        std::string number = IntToStrW(ref < 0 ? -moved : moved, def.Len);
        if (number.size() > def.Len) {
          MemoError(m, 1005, m.MemoName);
          return;
        }
        changes.push_back({r, f, std::move(text), std::move(number)});
      }
    }
  }
  if (!pack.FinishPackFile()) return;

  platform::File packed;
  const int open_rc = packed.Open(pack.name(), MemoOpenMode(wa));
  ErrorCode = static_cast<uint16_t>(open_rc);
  if (open_rc != 0) {
    MemoError(m, static_cast<uint16_t>(open_rc), "Memo file not found: " + m.MemoName + kPackTag);
    return;
  }

  // Phases 2 and 3, with halting held off until the records match the memo file in use.
  HeldError held(m);
  RecordScope keep(t);
  size_t applied = 0;
  for (; applied < changes.size(); ++applied) {
    const TFieldChange& c = changes[applied];
    if (!PutField(t, through_record, t.Fields[c.field - 1], c.rec, c.field, c.new_text)) {
      held.Keep();
      break;
    }
  }
  if (!held.failed() && std::rename(pack.name().c_str(), m.MemoName.c_str()) != 0) {
    const int rc = platform::LastDosCode();
    held.Keep(static_cast<uint16_t>(rc), m.MemoName);
  }
  if (held.failed()) {
    // The old memo file stays: its records get their old numbers back.
    for (size_t i = applied; i-- > 0;) {
      const TFieldChange& c = changes[i];
      PutField(t, through_record, t.Fields[c.field - 1], c.rec, c.field, c.old_text);
    }
    return;
  }
  platform::File old = std::move(m.MemoFile);
  m.MemoFile = std::move(packed);
  m.Locked = false;
  const int close_rc = old.Close();
  ErrorCode = static_cast<uint16_t>(close_rc);
  if (close_rc != 0) held.Keep(static_cast<uint16_t>(close_rc), m.MemoName);
}

// ---- Copy and text memos ----------------------------------------------------------------

namespace {

// Appends `image`, a memo in the file's layout (generation 139: starting with its block header),
// as a new memo of the current area's memo file `m`, through the table's BeforeWriteProc block
// by block (a block header passes it by). Generation 131 appends at the end of the file and
// brings the header's block count up to date under the memo lock; generation 139 takes its
// blocks as EditMemo does, writes the block header under the lock and the text after it.
// Returns the first block, 0 on failure (reported).
int32_t AppendMemo(TMemoFileRec& m, TRecordProc before, std::vector<uint8_t>& image) {
  const uint64_t b = m.BlockSize;
  const bool v139 = m.Version == kGen139;
  const size_t skip = v139 ? kHeaderMemoSize : 0;
  if (!LockMemo()) {
    MemoError(m, 1017, m.MemoName);
    return 0;
  }
  uint64_t q = 0;
  if (!NewMemoByteOffset(m, &q)) return 0;
  const uint64_t n = std::max<uint64_t>(1, (image.size() + b - 1) / b);
  uint64_t block = q / b;
  if (block + n > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    MemoError(m, 1005, m.MemoName);
    return 0;
  }
  if (v139) {
    const int32_t run = AllocRun(m, n);
    if (run == 0) return 0;
    block = static_cast<uint64_t>(run);
    if (!WriteExact(m, block * b, image.data(), kHeaderMemoSize,
                    m.MemoName + " [UpdateGroupHeader()]")) {
      return 0;
    }
    if (!UnlockMemo()) {
      SetError(1018, m.MemoName + " [UpdateGroupHeader()]");
      return 0;
    }
  }
  for (size_t at = skip; at < image.size();) {
    const size_t len = std::min<size_t>(image.size() - at, b - at % b);
    if (before != nullptr) before(image.data() + at, static_cast<uint16_t>(len));
    size_t written = 0;
    const int rc = m.MemoFile.WriteAt(block * b + at, image.data() + at, len, &written);
    if (rc != 0 || written < len) {
      const uint16_t code = ShortOr(rc, 1005);
      if (v139) {
        // Give the run back; the write's error stands.
        const bool abort = AbortOnError;
        AbortOnError = false;
        if (LockMemo()) {
          FreeRun(m, block, n);
          ReleaseLock(m);
        }
        AbortOnError = abort;
      }
      MemoError(m, code, m.MemoName);
      return 0;
    }
    at += len;
  }
  if (!v139) {
    uint64_t size = 0;
    const int rc = m.MemoFile.Size(&size);
    if (rc != 0) {
      MemoError(m, static_cast<uint16_t>(rc), m.MemoName);
      return 0;
    }
    if (!WriteU32(m, 0, static_cast<uint32_t>((size + b - 1) / b),
                  m.MemoName + " [MainHeaderWrite()]")) {
      return 0;
    }
    if (!UnlockMemo()) {
      SetError(1018, m.MemoName);
      return 0;
    }
  }
  FlushFile(m.MemoFile);
  return static_cast<int32_t>(block);
}

// The block header {0xFFFF, 8, stored} followed by `text`; false when the length does not fit.
bool HeaderImage(const uint8_t* text, uint64_t text_len, uint64_t stored,
                 std::vector<uint8_t>* image) {
  if (stored > std::numeric_limits<uint32_t>::max()) return false;
  image->assign(kHeaderMemoSize, 0);
  PutU16LE(image->data(), 0xFFFF);
  PutU16LE(image->data() + 2, kHeaderMemoSize);
  PutU32LE(image->data() + 4, static_cast<uint32_t>(stored));
  image->insert(image->end(), text, text + text_len);
  return true;
}

}  // namespace

int32_t CopyMemo(uint8_t src_area, int32_t& ref) {
  if (ref == 0) return 0;
  if (CheckMemoArea(kCopyRoutine)) return 0;
  {
    AreaScope scope(src_area);
    if (CheckMemoArea(kCopyRoutine)) return 0;
  }
  TMemoFileRec& dst = *CurrentMemoFile();
  TMemoFileRec& src = *MemoFileOf(src_area);
  const TRecordProc after = WorkAreas[src_area]->Dbf.AfterAccessProc;
  const std::string tag = dst.MemoName + kCopyTag;
  const bool blob = ref < 0;
  if (ref == std::numeric_limits<int32_t>::min()) {
    MemoError(dst, 1003, tag);
    return 0;
  }
  if (blob) ref = -ref;
  MemoVersion = dst.Version;
  MemoBlockSize = dst.BlockSize;

  // The source's own block size, from its header.
  uint8_t h[kFileHeaderSize] = {};
  size_t got = 0;
  int rc = src.MemoFile.ReadAt(0, h, sizeof h, &got);
  if (rc != 0 || got < sizeof h) {
    MemoError(dst, ShortOr(rc, 30), tag);
    return 0;
  }
  bool marked = false;
  const uint64_t sb = HeaderBlockSize(h, &marked);
  uint64_t size = 0;
  rc = src.MemoFile.Size(&size);
  if (rc != 0) {
    MemoError(dst, static_cast<uint16_t>(rc), tag);
    return 0;
  }
  uint64_t pos = static_cast<uint64_t>(ref) * sb;
  if (size < 2 || pos >= size - 1) {
    MemoError(dst, 1003, tag);  // nothing of a memo lies there
    return 0;
  }
  if (!HeapHas(static_cast<int64_t>(sb) + 1)) {
    MemoError(dst, 217, dst.MemoName);
    return 0;
  }

  // Read the memo, block by block through the source table's AfterAccessProc.
  std::vector<uint8_t> buf(sb + 1, 0);
  std::vector<uint8_t> text;
  bool header = false;
  bool terminated = false;
  uint64_t stored = 0;
  for (bool first = true;; first = false) {
    std::fill(buf.begin(), buf.end(), 0);
    size_t n = 0;
    rc = src.MemoFile.ReadAt(pos, buf.data(), sb, &n);
    if (rc != 0) {
      MemoError(dst, static_cast<uint16_t>(rc), tag);
      return 0;
    }
    if (n == 0) break;
    pos += n;
    size_t from = 0;
    if (first && IsBlockHeader(buf.data(), n)) {
      header = true;
      stored = std::max(GetU32LE(buf.data() + 4), kHeaderMemoSize);
      from = kHeaderMemoSize;
    }
    if (after != nullptr && n > from) after(buf.data() + from, static_cast<uint16_t>(n - from));
    if (header) {
      const uint64_t want = stored - kHeaderMemoSize - text.size();
      const size_t take = static_cast<size_t>(std::min<uint64_t>(want, n - from));
      text.insert(text.end(), buf.begin() + from, buf.begin() + from + take);
      if (text.size() >= stored - kHeaderMemoSize) break;
    } else {
      const auto end = std::find(buf.begin(), buf.begin() + n, kEofByte);
      text.insert(text.end(), buf.begin(), end);
      if (end != buf.begin() + n) {
        terminated = true;
        break;
      }
    }
    if (!HeapHas(static_cast<int64_t>(text.size()) + 1000)) {
      MemoError(dst, 217, dst.MemoName);
      return 0;
    }
  }

  // Write it in the destination's layout.
  std::vector<uint8_t> image;
  if (dst.Version == kGen139) {
    const uint64_t text_len = text.size();
    if (!header && terminated) text.push_back(kEofByte);  // copied with the text, as read
    if (!HeaderImage(text.data(), text.size(), text_len + kHeaderMemoSize, &image)) {
      MemoError(dst, 1005, dst.MemoName);
      return 0;
    }
  } else {
    image = std::move(text);
    image.push_back(kEofByte);
  }
  const int32_t block = AppendMemo(dst, CurrentWorkArea()->Dbf.BeforeWriteProc, image);
  return blob ? -block : block;
}

int32_t WriteTextMemo(const std::string& s) {
  if (RTrim(s).empty()) return 0;
  if (CheckMemoArea("WriteTextMemo")) return 0;
  TMemoFileRec& m = *CurrentMemoFile();
  MemoVersion = m.Version;
  MemoBlockSize = m.BlockSize;
  const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
  std::vector<uint8_t> image;
  if (m.Version == kGen139) {
    if (!HeaderImage(bytes, s.size(), uint64_t{s.size()} + kHeaderMemoSize, &image)) {
      MemoError(m, 1005, m.MemoName);
      return 0;
    }
  } else {
    image.assign(bytes, bytes + s.size());
    image.push_back(kEofByte);
  }
  return AppendMemo(m, CurrentWorkArea()->Dbf.BeforeWriteProc, image);
}

}  // namespace engine
