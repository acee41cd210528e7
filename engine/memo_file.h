// Memo files: the file beside a table (its name with the extension "DBT") that holds the texts
// of the table's memo fields. A memo field holds a signed 32-bit block number: 0 is no memo, a
// negative number a binary memo that reads as "(BLOB)".
//
// Layout (all numbers little-endian; B is the block size, block n starts at n x B):
//   header  0-3   next free block: the append position (generation 131) or the head of the
//                 free-block list, the end of the file when the list is empty (generation 139)
//           8-15  generation 139: the file's base name, at most 8 characters, 0-padded
//           18-19 generation 139: 258            20-21 generation 139: B
//           32-35 count of blocks given up by memos that were rewritten or emptied
//   memo    a block-header memo starts with 0xFFFF, 8, u32 stored length (text length + 8) and
//           the text follows without gaps; any other memo is plain text ended by 0x1A. In
//           both, 0x03 also ends the text. Lines end with CR LF; 0x8D LF is a soft break.
//   free run (generation 139) u32 next run, u32 block count; runs in ascending order, the
//           last one pointing to the end of the file.
//
// Generation 131 (table version byte other than 0x8B) has B = 512; generation 139 (0x8B) takes
// B from its own header. The generation and block size of each open memo file are kept in its
// TMemoFileRec, and every read and write uses those; MemoVersion and MemoBlockSize follow the
// file opened or read last and are what CreateDBF uses.
//
// Space rule: a memo of S bytes (the 0x1A, or the 8-byte block header, included) occupies
// (S + B - 1) div B whole blocks; every memo is written as whole blocks padded with bytes 0.
//
// Between programs the memo file is guarded by a lock on byte 10, held while a memo's place is
// chosen and the header and free list change. Reading takes no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/file.h"

namespace engine {

// The open memo file of one work area.
struct TMemoFileRec {
  platform::File MemoFile;
  std::string MemoName;    // the file's name as opened; used in every message
  bool Locked = false;     // this program holds the lock on byte 10
  uint32_t Version = 131;  // 131 or 139
  uint16_t BlockSize = 512;
};

// ---- Settings and the line store -------------------------------------------------------

extern uint16_t MaxMemoLines;  // capacity of the line store [1024]
extern int32_t MemoLineCount;  // lines in the store; 1 when it holds none [1]
extern bool MemoWrap;          // word-wrap reading at MemoWidth [false]
extern uint16_t MemoWidth;     // wrap width; lines are at most MemoWidth + 1 wide [78]
extern char MemoLineEnd[2];    // written after each line; the first is always CR [CR LF]
extern bool ForceSharedOpen;   // open memo files shared even for exclusive areas [false]
extern bool FlushMemoOnClose;  // flush the memo file when a memo device closes [false]

// The engine-wide line store (one memo at a time). MemoLines is null while not allocated;
// (*MemoLines)[i] is line i + 1. MemoLineEnds, when allocated, has MaxMemoLines + 1 entries
// indexed by line number: 13 hard break, 141 soft break, 0 cut at the width.
extern std::unique_ptr<std::vector<std::string>> MemoLines;
extern std::unique_ptr<std::vector<uint8_t>> MemoLineEnds;
// True while the store holds a memo read with lines dropped past MaxMemoLines; such a store is
// never written back (it would replace the whole memo with its first part).
extern bool MemoLinesCut;

// Allocates the line store when it is not allocated (needs (MaxMemoLines + 1) x 4 + 10000 free
// bytes). False when there is not enough memory.
bool AllocMemoLines();
// Frees every stored line (MemoLineCount := 1); with `store` also the store itself.
void FreeMemoLines(bool store);

// ---- Routines --------------------------------------------------------------------------

// The memo file of the current area, or nullptr.
TMemoFileRec* CurrentMemoFile();

// Opens the memo file of the table just opened in the current area (`base`: the table's name
// without extension) and attaches it to the area. Returns 0 or the error code it reported
// (1007 already open, 217 memory, the I/O result with "Memo file not found: ...").
int OpenMemoFile(const std::string& base);
// Closes and detaches the current area's memo file, if any.
void CloseMemoFile();
// Creates an empty memo file for `table_name` in the form MemoVersion and MemoBlockSize give.
void CreateMemoFile(const std::string& table_name);

// True (after reporting 215 or 1019) when memos cannot be used in the current area.
bool CheckMemoArea(const std::string& routine);

// Loads memo `ref` of the current area into the line store; max_lines 0 is no limit. False on
// failure (reported).
bool GetMemo(int32_t ref, uint8_t max_lines);

// Writes the line store (and `pending`, a last line not yet ended, when not empty) as the memo
// that had reference `ref` (0: a new memo; a negative reference is never written over). The
// memo is rewritten in place when it fits its blocks, else placed in the first free run that
// fits or at the end of the file; the old blocks are released only after the new text is
// written. Returns the new block number, 0 for an empty memo (its old blocks are released) or
// on failure (reported; the old memo is then intact unless it was being rewritten in place).
int32_t EditMemo(int32_t ref, std::string_view pending = {});

// EditMemo with an explicit result: true on success, the block number (0 for an empty memo)
// in *new_ref.
bool WriteMemo(int32_t ref, std::string_view pending, int32_t* new_ref);

// Generation 139: takes a run of n blocks, reusing `old` when it is a block-header memo whose
// run holds n blocks, else the first free run that fits, else the end of the file. Returns the
// first block, 0 on failure (reported).
int32_t AllocMemoBlocks(uint32_t n, int32_t old);
// Generation 139: links the run of the memo of `stored_length` bytes at `block` into the free
// list. False (nothing changed) when the list cannot take it without damage.
bool FreeMemoBlocks(int32_t block, uint32_t stored_length);

// The lock on byte 10 (real only while SharedAccess is on and the area is not exclusive).
bool LockMemo();
bool UnlockMemo();

// Restores the start values, frees the line store and fills the MemoHooks slots (1, 4 and 6
// with the routines of memo_pack.h).
void InitMemo();

}  // namespace engine
