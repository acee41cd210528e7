// Whole-file memo routines, reached through MemoHooks slots 1, 4 and 6: packing the memo file of
// the current table, copying one memo from another open table, and appending a text as a new
// memo. Each works in the generation and block size of the memo file it writes (its
// TMemoFileRec); every failure goes through the memo error rule (the memo lock is released, then
// SetError), so with AbortOnError on it ends the program.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Rewrites the memo file of the current area so that it holds only the memos that records refer
// to, in record and field order, each on a block boundary, without free list or abandoned
// blocks; the memo fields get their new numbers (a BLOB reference stays negative). Generation
// 139 memos, and BLOB memos in either generation, become block-header memos.
//
// Requires an exclusive area with a memo file (215, 1019, 225 otherwise) and free space of at
// least the memo file's size (1012). The packed file is built beside the memo file under the
// name folder + base name + ".$$$" and is installed only whole: the records get their new
// numbers once the pack file is complete, closed and reopened, and one rename then puts it in
// place. Any failure before that leaves the table and the old memo file as they were (records
// already renumbered get their old numbers back) and the old memo file in use; the pack file
// stays on disk.
void PackMemoFile();

// Copies memo `ref` of the table in work area `src_area` into the memo file of the current area
// and returns its block number there: negative for a negative (BLOB) reference, whose absolute
// value is left in `ref`. 0 for reference 0 (nothing is touched) and on failure (reported; 215 or
// 1019 when either area cannot use memos, 1003 when the reference lies outside the source file).
// The memo keeps its layout's text: into generation 131 it arrives as plain text ended by 0x1A,
// into generation 139 as a block-header memo in blocks taken from the free list or the end.
int32_t CopyMemo(uint8_t src_area, int32_t& ref);

// Appends `s` unchanged as a new memo of the current area and returns its block number; 0 when
// `s` is empty or holds only characters up to blank (nothing is written) and on failure.
int32_t WriteTextMemo(const std::string& s);

}  // namespace engine
