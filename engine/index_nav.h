// Index navigation, search and maintenance over the B-tree of an open index file: node I/O,
// the descent path, first/last/next/previous in key order, Find, standing an index on the
// current record, and inserting and deleting keys with page splits. The controlling index
// stands in slot 1 of the current area; key maintenance covers every open slot.
//
// Every value read from an index file is checked before it is used: the header against its
// key layout (error 222), every node's key count and child pages against the header (error
// 254), and the descent depth is bounded, so a damaged file yields an error, never a crash.
// The read and lock semaphores these routines take are released on every path out of them,
// an exception included.
#pragma once

#include <cstdint>
#include <string>

#include "engine/index_rec.h"

namespace engine {

// ---- Node input and output -------------------------------------------------------------

// Makes `page` the current node of `slot` (1..16) of the current area: page kScratchPage is
// the scratch node; slot 1 reads through the node cache when it has one. Page 0 and pages at
// or past the header's next free page are error 254. False after reporting.
bool GetNode(uint32_t page, int slot);

// Reads page `page` into `buf` (512 bytes): the descent path's copy when the path belongs to
// `ix` and holds the page, else the file. The key count's changed flag is cleared. False
// after reporting a read error ("Error reading index file: ... [SeekAndRead]").
bool SeekAndRead(TIndexRec& ix, uint32_t page, uint8_t* buf);

// Writes `buf` as page `page`: clears the changed flag, updates the path's and the cache's
// copy of the page and writes the file. False after reporting ("... [SeekAndWrite]").
bool SeekAndWrite(TIndexRec& ix, uint32_t page, uint8_t* buf);

// Reads the 24 header bytes into ix.Header. A read error or a header that fails
// CheckNdxHeader (error 222) is reported; false then, and ix.Header is left as it was.
bool ReadAnchor(TIndexRec& ix);

// Rebuilds page 0 (header, expression, the table's record count and name) and writes it;
// flushes the file when IndexFlush is set; clears HeaderChanged. Failures go through
// SetErrorAndRaise (with AbortOnError off they raise EWendalError).
void WriteAnchorNode(TIndexRec& ix);

// The open-time check of the file size against the header's next free page: a mismatch sets
// next free to size div 512. A file opened read-only keeps the change in memory; otherwise
// the anchor is rewritten under the lock semaphore. False after reporting (222 when the
// adjusted header no longer holds its root).
bool CheckIndexFileSize(TIndexRec& ix);

// Sets the node cache of an area's slot 1 to `bytes` (raised to 2048, rounded down to a
// multiple of 512); 0 removes it. No cache is set while SharedAccess is on, for a NOCACHE
// index, or when memory is short. The cache starts empty.
void SetNodeCache(TAreaIndexes& area, TIndexRec& ix, uint32_t bytes);

// Creates the area's scratch node when it has none.
void EnsureScratchNode(TAreaIndexes& area);

// Forgets every page copy of the area: the descent path (when one of its indexes owns it),
// the node cache, and each slot's current node. Used when other programs changed the files.
void DropIndexPages(TAreaIndexes& area);

// ---- Navigation (slot 1 of the current area) -------------------------------------------

int32_t _FindFirstRec();   // hook slot 5
int32_t _FindLastRec();    // hook slot 6
int32_t _FindNextRec();    // hook slot 3
int32_t _FindPriorRec();   // hook slot 4
bool IndexEndFlag();       // hook slot 7
bool IndexStartFlag();     // hook slot 8
void SetIndexStartFlag();  // hook slot 15
void SetIndexEndFlag();    // hook slot 16

// Seeks a key text (at most 100 characters) in the controlling index (hook slot 0). Found:
// the table stands on the first visible record of the key (a character key matches on the
// text's length, so a prefix finds the first key that begins with it). Not found: the table
// goes to record count + 1 with the index at its end. Returns the found flag.
bool Find(const std::string& key);

// Stands the controlling index on the current record, or every open index while
// ReplaceInProgress is set (hook slot 2).
void SyncIndex();
// Stands the controlling index on the current record, on the first greater key when the
// record's key is missing.
void SoftSyncIndex();

// ---- Key maintenance -------------------------------------------------------------------

// Inserts `key` (key length bytes) for the current record into `slot`, before any entries
// of the same key, splitting full pages as the build lays them out; writes the anchor and,
// for slot 1, stands on the new entry. Returns 1 inserted, 0 when a unique index already
// holds the key, -1 after reporting a failure.
int AppendIndex(const uint8_t* key, int slot);

// Deletes the entry of `key` for the current record from `slot`. Returns 0 deleted, -1 when
// no such entry exists, -2 after reporting a failure. Removing the last key leaves the index
// empty (root 1, next free 2, page 1 an empty leaf).
int DeleteIndexKey(const uint8_t* key, int slot);

// Computes the current record's key for `ix` into `key` (KeyLen bytes). An expression index
// whose character key has another length than the header's is error 266 with `tag` at the
// end of the message; false after reporting.
bool MakeRecordKey(TIndexRec& ix, uint8_t* key, const std::string& tag);

void AddRecordKeys();     // hook slot 9
void BuildCurrentKeys();  // hook slot 11
void CompareKeys();       // hook slot 12

// ---- Key texts and flags ---------------------------------------------------------------

std::string IndexKeyText(int slot);     // hook slot 13
std::string OrderKeyText();             // hook slot 14
bool PrimaryIndexOpen();                // hook slot 1
std::string IndexFileNameOf(int slot);  // hook slot 10
bool IndexNotDescending(int slot);      // hook slot 20
bool IndexIsSoundex(int slot);          // hook slot 22

// Fills the navigation's slots of IndexDriverHooks: 0-17, 20 and 22 (and 23, 24 with the
// semaphore routines).
void FillIndexNavHooks();

// Restores the shared index state: empties every area's tables and the descent path and sets
// the unit variables to their start values (NavSlot and KeySlot 1, the switches off).
void InitIndexNav();

}  // namespace engine
