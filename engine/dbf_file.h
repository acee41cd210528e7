// The dBASE table file: header, field descriptors, records and end-of-file byte, and the
// per-table record through which the engine reads and writes one open table.
//
// Layout (dBASE III form, the form this module writes; all numbers little-endian):
//   0     version byte (0x03 no memo, MemoVersion with a memo file)
//   1-3   date of last update: year - 1900, month, day
//   4-7   record count           8-9   header length = 32 + 32 x fields + 1
//   10-11 record length = 1 + sum of the field lengths
//   32..  one 32-byte descriptor per field, then 0x0D
//   records follow the header; 0x1A after the last record.
// The dBASE II form (version byte with low bits 2) is read and its header updated, never
// created.
//
// All access is unbuffered: one positioned read or write per record, nothing cached beyond
// RecBuf. Every I/O result is stored in ErrorCode before it is tested; failures are reported
// through SetError with the operation's message (with halting on, that ends the program).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/file.h"

namespace engine {

// One field as the engine holds it; also the input of CreateDBF (where Offset is unused).
struct TFieldDef {
  std::string Name;      // at most 10 characters, upper case
  char FieldType = ' ';  // C, D, F, L, M or N
  uint8_t Len = 0;
  uint8_t Dec = 0;
  uint16_t Offset = 0;  // first byte in the file-form record; the first field is at 1
};

// Record hook: called with the address of byte 1 of RecBuf and the record length less one.
using TRecordProc = void (*)(uint8_t* data, uint16_t len);

// The state of one open table.
struct TDbfFileRec {
  std::string FileName;  // name opened or created with (default extension added, as on disk)
  std::array<uint8_t, 32> Header{};  // copy of the first 32 bytes of the file
  bool HasMemo = false;
  uint16_t HeaderLen = 0;
  uint16_t RecLen = 0;
  uint8_t FieldCount = 0;
  std::vector<TFieldDef> Fields;
  uint8_t State = 0;            // 0 closed, 1 clean, 2 header out of date, 3 records appended
  std::string LastUpdate;       // header date as "MM/DD/YY"
  std::vector<uint8_t> RecBuf;  // RecLen bytes: the current record in file form
  int32_t RecCount = 0;
  int32_t RecNo = 0;  // 0 = none
  bool AtEof = false;
  bool AtBof = false;
  uint16_t OpenMode = 0;  // file mode the file was opened with
  TRecordProc BeforeWriteProc = nullptr;
  TRecordProc AfterAccessProc = nullptr;
  platform::File DataFile;
  bool DbaseII = false;  // opened in the dBASE II form; WriteDbfHeader writes that form
};

// The largest record count a table may have: the position after the last record, RecCount + 1,
// must still be a record number.
inline constexpr int32_t kMaxRecCount = INT32_MAX - 1;

// Table states.
inline constexpr uint8_t kDbfClosed = 0;
inline constexpr uint8_t kDbfClean = 1;
inline constexpr uint8_t kDbfChanged = 2;
inline constexpr uint8_t kDbfAppended = 3;

// ---- Engine-wide settings --------------------------------------------------------------

extern uint8_t DbfSignature1;   // extra accepted version byte; 0 = off
extern uint8_t DbfSignature2;   // extra accepted version byte that means "has memo"; 0 = off
extern bool AutoFixCount;       // take the record count from the file size at open
extern bool FlushOnWrite;       // every record change reaches the disk at once
extern uint32_t MemoVersion;    // version byte of tables with a memo file (0x83)
extern uint16_t MemoBlockSize;  // memo block size (512)
// Record hooks the work-area layer copies into every table it opens (empty by default).
extern TRecordProc BeforeWriteDefault;
extern TRecordProc AfterAccessDefault;
// The run-time file mode tables are opened in (DOS mode bits of platform/core/file.h;
// 2 = read/write, compatibility).
extern int FileMode;

// ---- Routines --------------------------------------------------------------------------

// Opens Table.FileName (default extension "DBF"; resolved regardless of case when the exact
// name is missing) in FileMode and loads it with OpenDbf. On success RecNo is 1 (0 with
// AtEof/AtBof for an empty table); the record itself is not read. On failure the error is set
// and the table is left closed.
void OpenDbfFile(TDbfFileRec& Table);

// Reads and checks the header and descriptors of the open Table.DataFile. On success State is
// 1 and RecBuf and Fields are allocated; on failure the file is closed, both are released,
// State is 0 and the error is set (210, 211, 100 or 217).
void OpenDbf(TDbfFileRec& Table);

// Reads record n into RecBuf (212 out of range, 213 short read) and makes it current.
void GetDbfRecord(TDbfFileRec& Table, int32_t n);

// Writes RecBuf as record n; n greater than RecCount appends one record at RecCount + 1.
// n below 1 is 212 and writes nothing. A failed append leaves RecCount and RecNo as before.
void PutDbfRecord(TDbfFileRec& Table, int32_t n);

// PutDbfRecord at RecCount + 1.
void AppendDbfRecord(TDbfFileRec& Table);

// Writes only byte 0 of RecBuf (the deletion flag) at record n, which must exist (else 212).
void PutDbfDeleteFlag(TDbfFileRec& Table, int32_t n);

// Writes today's date and the record count into the first 8 header bytes, in the form the
// file was opened in. The I/O result is left in ErrorCode (reported without a new message
// when halting is on).
void WriteDbfHeader(TDbfFileRec& Table);

// Brings the header and the end-of-file byte up to date and flushes the file.
void FlushDbf(TDbfFileRec& Table);

// Writes the file's buffers to the disk; failure is "Unable to flush file [FlushFile]".
void FlushFile(platform::File& F);

// Writes what is out of date, closes the file and releases RecBuf and Fields (State 0).
void CloseDbf(TDbfFileRec& Table);

// Creates the table Name (default extension "DBF") with the first FieldCount entries of
// Fields, and its memo file when a field has type M; Table is left closed. The field
// definitions are normalised in place (names trimmed and upper-cased, fixed lengths set).
void CreateDBF(TDbfFileRec& Table, const std::string& Name, uint8_t FieldCount,
               std::vector<TFieldDef>& Fields);

// Restores every start value of this module.
void InitDbfFile();

}  // namespace engine
