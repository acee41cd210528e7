// The memo module's own helpers, shared with the whole-file memo routines (memo_pack.cpp) so that
// both read, write, lock and report in one way. Not part of the engine's interface.
//
// Every helper that reports does so by the memo error rule: the memo lock is released when this
// program holds it, then SetError. Calls that take the lock name it in their comment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/memo_file.h"

namespace engine {

struct TWorkAreaRec;

namespace memo_internal {

inline constexpr uint8_t kEofByte = 0x1A;
inline constexpr uint8_t kEndText = 0x03;
inline constexpr uint16_t kDefaultBlock = 512;
inline constexpr uint32_t kHeaderMemoSize = 8;  // 0xFFFF, 8, stored length
inline constexpr uint64_t kAbandonedAt = 32;
inline constexpr uint32_t kGen131 = 131;
inline constexpr uint32_t kGen139 = 139;

// The memo file of work area `area`, or nullptr.
TMemoFileRec* MemoFileOf(uint8_t area);

// The DOS file mode a memo file of area `wa` is opened in: read/write; deny-none when the area
// is shared or ForceSharedOpen is set; the low byte of OpenModeOverride while it is below 65535.
int MemoOpenMode(const TWorkAreaRec& wa);

// Releases the memo lock without reporting.
void ReleaseLock(TMemoFileRec& m);
// The memo error rule: releases the lock, then SetError(code, msg).
void MemoError(TMemoFileRec& m, uint16_t code, const std::string& msg);
// `short_code` for a short transfer (rc 0, 100 or 101), else rc itself.
uint16_t ShortOr(int rc, uint16_t short_code);

// Reads or writes exactly n bytes at `pos`; a failure is reported with `msg` (code 30 for a
// short read, 29 for a short write, else the I/O result).
bool ReadExact(TMemoFileRec& m, uint64_t pos, uint8_t* buf, size_t n, const std::string& msg);
bool WriteExact(TMemoFileRec& m, uint64_t pos, const uint8_t* buf, size_t n,
                const std::string& msg);
bool WriteU32(TMemoFileRec& m, uint64_t pos, uint32_t v, const std::string& msg);

// Adds n to the abandoned-block count at header offset 32.
bool AddAbandoned(TMemoFileRec& m, uint64_t n);

// The append position: the file padded with bytes 0 to whole blocks (a new generation-131 file
// of B + 1 bytes gives B). False after reporting.
bool NewMemoByteOffset(TMemoFileRec& m, uint64_t* q);

// Generation 139, with the lock held: takes a run of n blocks from the free list or at the end
// of the file (extending the file). Returns its first block, 0 on failure (reported).
int32_t AllocRun(TMemoFileRec& m, uint64_t n);

// Outcome of linking a run into the free list.
enum class TFreeResult { kLinked, kRefused, kFailed };
// Generation 139, with the lock held: links [block, block + count) into the free list.
TFreeResult FreeRun(TMemoFileRec& m, uint64_t block, uint64_t count);

}  // namespace memo_internal
}  // namespace engine
