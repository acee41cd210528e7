// The index file (.NDX): a B-tree of 512-byte pages behind a header page, in the dBASE III
// index layout. This module owns the byte layout, shared by the index build, the node I/O and
// the index driver:
//
// Header page (page 0; all integers little-endian):
//   0  root page (4)        4  next free page (4)     9  key type 'C', 'N', 'F' or 'D'
//   12 key length (2)       14 keys per page (2)      16 numeric flag (2)
//   18 entry size (2)       23 unique flag (1)        24 key expression, NUL-terminated (101)
//   488 NOT of the record count   492 record count   496 table name (12)
// Node page (pages 1..): key count (4), then the entries, then in an inner node the right-most
// child page (4). Entry: child page (4; 0 in a leaf), record number (4), key bytes, padding.
// Padding and unused bytes are written as 0.
//
// Character keys are the key's bytes, compared as unsigned bytes; numeric and date keys are
// 8-byte little-endian doubles compared as numbers. Entries of equal keys are ordered by record
// number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace engine {

inline constexpr uint32_t kNdxPageSize = 512;
inline constexpr uint32_t kNdxHeaderSize = 24;    // the fields up to the expression
inline constexpr uint32_t kNdxExprOffset = 24;    // the key expression text
inline constexpr uint32_t kNdxExprSize = 101;     // 100 characters and the NUL
inline constexpr uint32_t kNdxCheckOffset = 488;  // NOT of the record count
inline constexpr uint32_t kNdxCountOffset = 492;  // record count
inline constexpr uint32_t kNdxStampOffset = 496;  // table name
inline constexpr uint32_t kNdxStampSize = 12;
inline constexpr uint16_t kNdxMaxKeyLen = 100;
// Bytes of a node page available to the key count's successors: entries and right pointer.
inline constexpr uint32_t kNdxNodeRoom = 504;
// The smallest file that can hold an index: the header page and one node.
inline constexpr uint64_t kNdxMinFileSize = 2 * kNdxPageSize;

// The record count page 0 stores for an index that no longer matches its table (a write failed
// in the middle of a change): no table has it, so a comparison with the table's count calls
// for a rebuild. The count check stays valid, so the mark is told apart from a foreign file.
inline constexpr int32_t kNdxOutOfDateCount = -1;

// The expression stored for an index whose keys come from a caller's routine.
inline constexpr const char* kKeyMakerText = "User defined KeyMaker was used to build this index";

// A caller's routine that yields the key text (OEM bytes) of the current record.
using TKeyMaker = std::string (*)();

// Compares two keys of `len` bytes: negative, 0 or positive.
using TKeyCompare = int (*)(const uint8_t* a, const uint8_t* b, uint16_t len);

// The first 24 bytes of page 0.
struct TNdxHeader {
  uint32_t Root = 1;
  uint32_t NextFree = 2;
  char KeyType = 'C';
  uint16_t KeyLen = 0;
  uint16_t KeysPerPage = 0;
  uint16_t NumericFlag = 0;
  uint16_t EntrySize = 0;
  uint8_t Unique = 0;
  // Byte 9 held 0, as other dBASE tools leave it: KeyType comes from the numeric flag (C or N;
  // the index driver makes N a D for a date expression), and header writes keep the 0.
  bool NoTypeLetter = false;
};

// 8 + key length, rounded up to a multiple of 4.
inline uint16_t NdxEntrySize(uint16_t key_len) {
  return static_cast<uint16_t>((8u + key_len + 3u) & ~3u);
}
inline uint16_t NdxKeysPerPage(uint16_t entry_size) {
  return static_cast<uint16_t>(kNdxNodeRoom / entry_size);
}
inline bool IsNumericKeyType(char key_type) {
  return key_type == 'N' || key_type == 'F' || key_type == 'D';
}

// The header of a new index: root 1, next free 2, the derived sizes and flags.
TNdxHeader MakeNdxHeader(char key_type, uint16_t key_len, bool unique);

// Writes the header's 24 bytes (reserved bytes 0).
void EncodeNdxHeader(const TNdxHeader& h, uint8_t* bytes);

// True when a header read from a file can be used: key type C, N, F or D; key length 1..100
// (8 for N, F and D); entry size and keys per page as the key length gives them;
// 1 <= root < next free. Whoever reads a header reports a false result as error 222.
bool CheckNdxHeader(const TNdxHeader& h);

// Reads the 24 header bytes into h and checks them (CheckNdxHeader). A key-type byte of 0 is
// read as C when the numeric flag is 0 and as N otherwise (NoTypeLetter set).
bool DecodeNdxHeader(const uint8_t* bytes, TNdxHeader& h);

// Builds the whole page 0: the header, the expression text (at most 100 bytes), and the tail
// with the record count, its complement and the table name (no folder, at most 12 bytes).
void BuildNdxHeaderPage(const TNdxHeader& h, const std::string& expression, int32_t rec_count,
                        const std::string& table_file_name, uint8_t* page);

// The table name as page 0 stores it: the file's name without folder (trailing blanks
// removed) and its extension, at most 12 characters.
std::string NdxTableStamp(const std::string& table_file_name);

// The stored form of a key expression: outside quoted strings blanks and tabs removed and
// letters upper-cased, and a string's quotes written as double quotes; a string that itself
// holds a double quote keeps its apostrophes, so the stored text always compiles again. The
// text of a string is kept as it is. Used by the build and when an index is opened.
std::string NormalizeKeyExpression(const std::string& text);

// ---- Keys ------------------------------------------------------------------------------

inline double GetKeyNumber(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double value;
  static_assert(sizeof value == sizeof bits);
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline void PutKeyNumber(uint8_t* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int CompareCharKeys(const uint8_t* a, const uint8_t* b, uint16_t len);
int CompareNumberKeys(const uint8_t* a, const uint8_t* b, uint16_t len);
// The compare routine of a key type: numbers for N, F and D, bytes otherwise.
TKeyCompare KeyCompareFor(char key_type);

// ---- Node pages ------------------------------------------------------------------------

// The key count; the upper two bytes of the stored count serve as a changed flag in memory.
inline uint16_t NodeKeyCount(const uint8_t* page) {
  return static_cast<uint16_t>(page[0] | (page[1] << 8));
}
// Stores the count with the changed flag clear.
void SetNodeKeyCount(uint8_t* page, uint16_t count);
inline uint8_t* NodeEntry(uint8_t* page, const TNdxHeader& h, uint32_t i) {
  return page + 4 + i * h.EntrySize;
}
inline const uint8_t* NodeEntry(const uint8_t* page, const TNdxHeader& h, uint32_t i) {
  return page + 4 + i * h.EntrySize;
}
uint32_t EntryChild(const uint8_t* entry);
uint32_t EntryRecNo(const uint8_t* entry);
inline const uint8_t* EntryKey(const uint8_t* entry) { return entry + 8; }
inline uint8_t* EntryKey(uint8_t* entry) { return entry + 8; }
// A node is a leaf when the child page of its first entry is 0.
bool NodeIsLeaf(const uint8_t* page);
// The right-most child of an inner node: the 4 bytes after its `count` entries.
uint32_t NodeRightChild(const uint8_t* page, const TNdxHeader& h);
void SetNodeRightChild(uint8_t* page, const TNdxHeader& h, uint32_t child);

// ---- Header summary --------------------------------------------------------------------

// Page 0 as IndexInfo reports it.
struct TIndexInfo {
  std::string Expression;  // the text at 24 up to its NUL, at most 100 characters
  uint8_t KeyLen = 0;      // low byte of the key length
  char KeyType = ' ';
  uint8_t Unique = 0;
  std::string Stamp;      // table name; empty when the count check fails
  int32_t RecCount = -1;  // -1 when the count check fails
};

// Fills `info` from page 0 of `file_name` (default extension "NDX"; the name is resolved
// regardless of case), opened read-only, deny-none. An empty name is error 220; a failed open
// or read reports its code with "Error reading index file: " and leaves `info` at its defaults.
void IndexInfo(TIndexInfo& info, const std::string& file_name);

// The record count page 0 of the file carries; -1 when unknown or unreadable.
int32_t IndexHeaderRecCount(const std::string& file_name);

// Decodes page 0 (512 bytes) into `info`.
void DecodeIndexInfo(const uint8_t* page, TIndexInfo& info);

}  // namespace engine
