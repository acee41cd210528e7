// The index driver: up to 16 open index files per work area, the choice of the controlling
// index, rebuilding, and the services the work-area routines reach through IndexDriverHooks.
//
// The controlling index always stands in slot 1. Choosing order n puts the index opened as n
// into slot 1 and the index opened as 1 into slot n; the others stay where they were opened.
//
// Failures go through the engine's error state. Opening an index file (OpenIndex), choosing
// the order (Set_Order_To) and every semaphore action report through SetErrorAndRaise: with
// AbortOnError off they also raise EWendalError. The argument checks of SetIndexTo, Reindex
// and the build only set the error state.
//
// Routines that work through a list (Set_Index_To, Close_Indexes, Reindex) finish the whole
// list and end with the first failure met: its code, and its message (Set_Index_To adds
// " [SetIndexTo]"); when that failure raised, the routine raises it again at the end.
#pragma once

#include <string>
#include <vector>

#include "engine/ndx_format.h"

namespace engine {

// The names of an index list as Set_Index_To opens them: the list cut at 255 characters,
// blanks and tabs outside quoted strings collapsed, split at the blanks that remain. A name
// in quotes keeps its blanks and loses the quotes. Names keep their letter case (files are
// found regardless of case).
std::vector<std::string> SplitIndexList(const std::string& list);

// Closes every index of the current area, then opens the names of `list` into slots 1, 2, ...
// in list order (a name that fails still uses its slot) and chooses order 1.
void Set_Index_To(const std::string& list);

// Opens `name_with_options` (words UNIQUE, NOCACHE, SOUNDEX, DESCENDING; default extension
// NDX) into `slot` (1..16) of the current area, closing what the slot held. With `key_maker`
// the file must have been built by a KeyMaker. Chooses order 1 afterwards.
void SetIndexTo(const std::string& name_with_options, TKeyMaker key_maker, int slot);
void Set_Index_ToCB(TKeyMaker key_maker, const std::string& name_with_options, int slot);
// For a single name that may hold blanks.
void Set_Index_ToLFN(const std::string& name_with_options, int slot);

// Opens the index file `file_name` into the empty `slot` of the current area. Every failure
// raises (AbortOnError off) and leaves the slot empty and the other slots unchanged.
void OpenIndex(const std::string& file_name, TKeyMaker key_maker, bool no_cache, int slot,
               bool soundex, bool descending);

// Closes the area's indexes, builds `name_with_options` from the key expression and opens it
// into slot 1. A failed build stops there (the old file is not opened).
void Index_On(const std::string& expression, const std::string& name_with_options);
// The same with a KeyMaker.
void Index_OnCB(TKeyMaker key_maker, const std::string& name_with_options);

// Closes all 16 slots of the current area (each slot's failure is caught and the rest still
// close), logs the area out of the semaphore file and sets the order back to 1. Never raises;
// the first failure stays in the error state. AbortOnError is off while it runs.
void Close_Indexes();

// The controlling order: 1..16 while some index is open and natural order is not chosen,
// else 0. No table: error 215.
int CurrentOrder();

// Chooses order n (0: natural order; 1..16: the index opened as n controls).
void Set_Order_To(int n);

// Rebuilds every open index of the current area in its own slot, with its options, and
// chooses the order again. A slot whose rebuild fails is reopened on its old file.
void Reindex();

// The unit's initialisation: empties the per-area tables, fills IndexDriverHooks and chains
// the exit procedure that closes every area's indexes (before the tables close).
void IndexInit();

}  // namespace engine
