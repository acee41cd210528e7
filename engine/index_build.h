// Building an index file for the table of the current work area in one pass: every record's
// key (deleted records included) from a key expression or a caller's KeyMaker, a sort of the
// (key, record number) pairs (in memory, or in sorted runs in a temporary file that are then
// merged), and the B-tree pages filled bottom-up, the header page last.
//
// The new file is written as a temporary file in the index's folder and renamed over the old
// index (under its name as found on disk) only when complete, so a failed build leaves the old
// index as it was. Meanwhile the table is held exclusively; on every path the table is shared
// again, its record pointer restored and the indexing flag cleared.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ndx_format.h"

namespace engine {

// Set while a build runs.
extern bool Indexing;

// The bytes the in-memory sort may take (start: kDefaultIndexSortMemory). A table whose keys
// do not fit is sorted in runs through a temporary file; the sort always takes at least 256
// records, and never more than FreeHeap allows.
extern uint32_t IndexSortMemory;
inline constexpr uint32_t kDefaultIndexSortMemory = 64u << 20;

// The option words of an index file name.
struct TIndexOptions {
  bool Unique = false;
  bool Soundex = false;
  bool Descending = false;
  bool NoCache = false;
};

// Removes the words " UNIQUE", " SOUNDEX", " DESCENDING" and " NOCACHE" (found regardless of
// case, each ending at the end of the text or before a character that is not a letter, digit
// or underscore) from a file name text, noting which were present, and trims the rest. The
// name keeps its own letter case.
std::string StripIndexOptions(const std::string& name_with_options, TIndexOptions& options);

// True when the expression parser is present; otherwise error 221 "WENParser unit not linked
// in. [" + routine (at most 14 characters) + "]".
bool CheckParserLinked(const std::string& routine);

// Builds `file_name` (default extension "NDX") for the current area's table, keyed by
// `key_maker` when given, else by `expression`. SOUNDEX and DESCENDING apply to KeyMaker keys.
// Failures are reported through the engine's error state, with
// " [MakeIndex(<...>," + file name + ")]" appended to the message.
void MakeIndex(const std::string& file_name, TKeyMaker key_maker, const std::string& expression,
               bool unique, bool descending, bool soundex);

// MakeIndex with an expression; the name's option words are removed, UNIQUE (or
// UniqueDefault) makes the index unique and the others are ignored.
void MakeExprIndex(const std::string& expression, const std::string& name_with_options);

// MakeIndex with a KeyMaker; UNIQUE (or UniqueDefault), DESCENDING and SOUNDEX are passed on.
void MakeKeyMakerIndex(TKeyMaker key_maker, const std::string& name_with_options);

// Restores the start values of this module.
void InitIndexBuild();

}  // namespace engine
