#include "engine/dbf_file.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/utils.h"
#include "platform/core/clock.h"
#include "platform/core/dos_error.h"
#include "platform/core/paths.h"

namespace engine {

uint8_t DbfSignature1 = 0;
uint8_t DbfSignature2 = 0;
bool AutoFixCount = false;
bool FlushOnWrite = false;
uint32_t MemoVersion = 0x83;
uint16_t MemoBlockSize = 512;
TRecordProc BeforeWriteDefault = nullptr;
TRecordProc AfterAccessDefault = nullptr;
int FileMode = platform::kModeReadWrite;

namespace {

constexpr size_t kPrologSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr uint16_t kDbase2HeaderLen = 521;
constexpr size_t kDbase2DescriptorSize = 16;
constexpr size_t kDbase2MaxFields = 32;
constexpr uint8_t kDescriptorEnd = 0x0D;
constexpr uint8_t kEofByte = 0x1A;

std::string TwoDigits(unsigned v) {
  v %= 100;
  return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

// "MM/DD/YY" from the header's date bytes.
std::string DateText(unsigned month, unsigned day, unsigned year_byte) {
  return TwoDigits(month) + "/" + TwoDigits(day) + "/" + TwoDigits(1900 + year_byte);
}

std::string BaseName(const std::string& name) {
  std::string dir, base, ext;
  FileSplit(name, dir, base, ext);
  return base + ext;
}

// The name as given when it exists, otherwise the existing file that matches it regardless
// of case (or the name as given when there is none).
std::string Resolved(const std::string& name) {
  return platform::PathExists(name) ? name : platform::ResolveCase(name);
}

bool IsFieldType(char c) {
  return c == 'C' || c == 'D' || c == 'F' || c == 'L' || c == 'M' || c == 'N';
}

uint64_t RecordOffset(const TDbfFileRec& t, int32_t n) {
  return uint64_t{t.HeaderLen} + static_cast<uint64_t>(n - 1) * t.RecLen;
}

// The record buffer and the file are there to be used (not after a close or a failed open).
bool Usable(const TDbfFileRec& t) {
  return t.DataFile.IsOpen() && t.RecLen > 0 && t.RecBuf.size() >= t.RecLen;
}

std::string RangeMsg(int32_t n, const std::string& file, const char* routine) {
  return "Invalid record number = " + std::to_string(n).substr(0, 6) + " (" + file + ")  [" +
         routine + "]";
}

// "<name> is not a dBASE database." with the reason in the form of the open's field checks.
std::string OutOfRangeMsg(const TDbfFileRec& t, const std::string& reason) {
  return BaseName(t.FileName) + " is not a dBASE database." + " (" + reason + ") [Use/OpenDbf]";
}

std::string ReadingMsg(const TDbfFileRec& t) {
  return "Error reading " + t.FileName + " [Use/OpenDbf]";
}

// Closes the file, releases what the open allocated and reports the error. `first`, when not
// empty, is reported before the final message (a bad field type is reported with the field's
// own message, then as a read error).
void FailOpen(TDbfFileRec& t, uint16_t code, const std::string& msg,
              const std::string& first = {}) {
  t.DataFile.Close();
  t.RecBuf = {};
  t.Fields = {};
  t.State = kDbfClosed;
  if (!first.empty()) SetError(code, first);
  SetError(code, msg);
}

// Parses one descriptor: the name up to its first NUL (at most 10 characters) and the type.
TFieldDef ParseDescriptor(const uint8_t* d, size_t len_at, size_t dec_at) {
  TFieldDef f;
  size_t end = 0;
  while (end < 11 && d[end] != 0) ++end;
  f.Name.assign(reinterpret_cast<const char*>(d), std::min<size_t>(end, 10));
  f.FieldType = static_cast<char>(d[11]);
  f.Len = d[len_at];
  f.Dec = d[dec_at];
  return f;
}

// Checks the parsed fields and gives them their offsets. False when the open failed.
bool PlaceFields(TDbfFileRec& t, std::vector<TFieldDef>& fields) {
  uint32_t offset = 1;
  for (TFieldDef& f : fields) {
    if (!IsFieldType(f.FieldType)) {
      FailOpen(t, 211, ReadingMsg(t),
               "Field: " + f.Name + " [" + std::string(1, f.FieldType) + "] in " + t.FileName +
                   " is not a valid field type");
      return false;
    }
    if (offset + f.Len > t.RecLen) {
      FailOpen(t, 210, OutOfRangeMsg(t, "Field extends beyond the record"));
      return false;
    }
    f.Offset = static_cast<uint16_t>(offset);
    offset += f.Len;
  }
  if (!HeapHas(int64_t{16} * static_cast<int64_t>(fields.size()))) {
    FailOpen(t, 217, "Not enough memory to open " + t.FileName + " [Use/OpenDbf]");
    return false;
  }
  t.FieldCount = static_cast<uint8_t>(fields.size());
  t.Fields = std::move(fields);
  return true;
}

bool AllocateRecBuf(TDbfFileRec& t, const char* tail) {
  if (!HeapHas(t.RecLen)) {
    FailOpen(t, 217, "Not enough memory to open " + t.FileName + tail);
    return false;
  }
  t.RecBuf.assign(t.RecLen, 0);
  t.State = kDbfClean;
  return true;
}

void OpenDbase3(TDbfFileRec& t) {
  const uint8_t* h = t.Header.data();
  t.HeaderLen = GetU16LE(h + 8);
  // A header below 32 bytes or with more descriptors than a field count can hold is damage.
  int fields = t.HeaderLen < kPrologSize ? 0 : (t.HeaderLen - 32) / 32;
  if (fields < 1 || fields > 255) {
    FailOpen(t, 210, OutOfRangeMsg(t, "Number of fields is out of range"));
    return;
  }
  t.FieldCount = static_cast<uint8_t>(fields);
  t.LastUpdate = DateText(h[2], h[3], h[1]);
  uint32_t count = GetU32LE(h + 4);
  if (count > static_cast<uint32_t>(kMaxRecCount)) {
    FailOpen(t, 210, OutOfRangeMsg(t, "Record count is out of range"));
    return;
  }
  t.RecCount = static_cast<int32_t>(count);
  t.RecLen = GetU16LE(h + 10);
  if (t.RecLen == 0) {
    FailOpen(t, 210, OutOfRangeMsg(t, "Record length is out of range"));
    return;
  }
  if (!AllocateRecBuf(t, "[Use/OpenDbf]")) return;

  size_t block_size = t.HeaderLen - kPrologSize;
  if (!HeapHas(static_cast<int64_t>(block_size))) {
    FailOpen(t, 217, "Not enough memory to open " + t.FileName + " [Use/OpenDbf]");
    return;
  }
  std::vector<uint8_t> block(block_size);
  size_t got = 0;
  int rc = t.DataFile.ReadAt(kPrologSize, block.data(), block.size(), &got);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc == 0 && got < block.size()) rc = platform::kDosReadError;
  if (rc != 0) {
    FailOpen(t, static_cast<uint16_t>(rc), ReadingMsg(t));
    return;
  }
  std::vector<TFieldDef> parsed;
  parsed.reserve(t.FieldCount);
  for (size_t i = 0; i < t.FieldCount; ++i) {
    parsed.push_back(ParseDescriptor(block.data() + i * kDescriptorSize, 16, 17));
  }
  PlaceFields(t, parsed);
}

void OpenDbase2(TDbfFileRec& t) {
  const uint8_t* h = t.Header.data();
  t.DbaseII = true;
  t.HasMemo = false;
  t.RecCount = GetU16LE(h + 1);
  t.LastUpdate = DateText(h[3], h[4], h[5]);
  t.RecLen = GetU16LE(h + 6);
  t.HeaderLen = kDbase2HeaderLen;
  uint64_t size = 0;
  int rc = t.DataFile.Size(&size);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    FailOpen(t, static_cast<uint16_t>(rc), ReadingMsg(t));
    return;
  }
  if (size < kDbase2HeaderLen) {
    FailOpen(t, 210,
             t.FileName + " is not a dBASE database." + "(" + "Header is less than 521 bytes" +
                 ") [Use/OpenDBF]");
    return;
  }
  if (t.RecLen == 0) {
    FailOpen(t, 210, OutOfRangeMsg(t, "Record length is out of range"));
    return;
  }
  if (!AllocateRecBuf(t, " [Use/OpenDBF]")) return;

  constexpr size_t kBlock = kDbase2MaxFields * kDbase2DescriptorSize;
  if (!HeapHas(kBlock)) {
    FailOpen(t, 217, "Not enough memory to open " + t.FileName + " [Use/OpenDbf]");
    return;
  }
  std::vector<uint8_t> block(kBlock);
  size_t got = 0;
  rc = t.DataFile.ReadAt(8, block.data(), block.size(), &got);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc == 0 && got < block.size()) rc = platform::kDosReadError;
  if (rc != 0) {
    FailOpen(t, static_cast<uint16_t>(rc), ReadingMsg(t));
    return;
  }
  std::vector<TFieldDef> parsed;
  size_t i = 0;
  for (; i < kDbase2MaxFields; ++i) {
    const uint8_t* d = block.data() + i * kDbase2DescriptorSize;
    if (d[0] == kDescriptorEnd) break;
    parsed.push_back(ParseDescriptor(d, 12, 15));
  }
  // No terminator, or a table without fields, is damage.
  if (i == kDbase2MaxFields || parsed.empty()) {
    FailOpen(t, 210,
             BaseName(t.FileName) + " is not a dBASE database." + "(" +
                 "Number of fields is out of range" + ") [Use/OpenDbf]");
    return;
  }
  PlaceFields(t, parsed);
}

// Writes the end-of-file byte after the last record. Returns the I/O result.
int WriteEofByte(TDbfFileRec& t) {
  const uint8_t eof = kEofByte;
  int rc = t.DataFile.WriteAt(
      uint64_t{t.HeaderLen} + static_cast<uint64_t>(std::max(t.RecCount, 0)) * t.RecLen, &eof, 1);
  ErrorCode = static_cast<uint16_t>(rc);
  return rc;
}

// The header and, after appends, the end-of-file byte. Returns the I/O result.
int WriteOutOfDate(TDbfFileRec& t) {
  WriteDbfHeader(t);
  int rc = ErrorCode;
  if (rc == 0 && t.State == kDbfAppended) rc = WriteEofByte(t);
  return rc;
}

}  // namespace

void OpenDbf(TDbfFileRec& t) {
  t.RecBuf = {};
  t.Fields = {};
  t.DbaseII = false;
  t.HasMemo = false;
  size_t got = 0;
  int rc = t.DataFile.ReadAt(0, t.Header.data(), t.Header.size(), &got);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    FailOpen(t, static_cast<uint16_t>(rc), ReadingMsg(t));
    return;
  }
  if (got < kPrologSize) {
    FailOpen(t, 210,
             t.FileName + " is not a dBASE database." + " (" + "Prolog is less than 32 bytes" +
                 ") [USE/OpenDBF]");
    return;
  }
  const uint8_t b = t.Header[0];
  const bool accepted = (DbfSignature1 != 0 && b == DbfSignature1) ||
                        (DbfSignature2 != 0 && b == DbfSignature2) || (b & 7) == 2 || (b & 7) == 3;
  if (!accepted) {
    FailOpen(t, 210,
             t.FileName + " is not a dBASE database." + "(" + "Invalid version byte" +
                 ")+ [USE/OpenDBF]");
    return;
  }
  if (DbfSignature1 == 0 && DbfSignature2 == 0 && (b & 7) == 2) {
    OpenDbase2(t);
    return;
  }
  t.HasMemo = DbfSignature2 != 0 ? b == DbfSignature2 : (b & 0x80) != 0;
  OpenDbase3(t);
}

void OpenDbfFile(TDbfFileRec& t) {
  t.FileName = Resolved(AddDefaultExt(t.FileName, "DBF"));
  t.OpenMode = static_cast<uint16_t>(FileMode);
  t.State = kDbfClosed;
  int rc = t.DataFile.Open(t.FileName, FileMode);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), "Failure to open " + t.FileName + " [USE/OpenDbf]");
    return;
  }
  OpenDbf(t);
  if (t.State == kDbfClosed) return;
  if (AutoFixCount) {
    uint64_t size = 0;
    rc = t.DataFile.Size(&size);
    ErrorCode = static_cast<uint16_t>(rc);
    if (rc != 0) {
      FailOpen(t, static_cast<uint16_t>(rc), ReadingMsg(t));
      return;
    }
    // A file shorter than its header holds no records.
    uint64_t records = size > t.HeaderLen ? (size - t.HeaderLen) / t.RecLen : 0;
    t.RecCount =
        static_cast<int32_t>(std::min<uint64_t>(records, static_cast<uint64_t>(kMaxRecCount)));
  }
  if (t.RecCount < 1) {
    t.RecNo = 0;
    t.AtEof = true;
    t.AtBof = true;
  } else {
    t.RecNo = 1;
    t.AtEof = false;
    t.AtBof = false;
  }
}

void GetDbfRecord(TDbfFileRec& t, int32_t n) {
  if (n < 1 || n > t.RecCount) {
    SetError(212, RangeMsg(n, t.FileName, "GetDbfRecord"));
    return;
  }
  t.AtEof = false;
  t.AtBof = false;
  int rc = platform::kDosInvalidHandle;
  if (Usable(t)) {
    size_t got = 0;
    rc = t.DataFile.ReadAt(RecordOffset(t, n), t.RecBuf.data(), t.RecLen, &got);
    ErrorCode = static_cast<uint16_t>(rc);
    if (rc == 0 && got < t.RecLen) rc = 213;
  }
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), "File:  " + t.FileName + "  [GetDbfRecord]");
    return;
  }
  t.RecNo = n;
  if (t.AfterAccessProc) t.AfterAccessProc(t.RecBuf.data() + 1, t.RecLen - 1);
}

void PutDbfRecord(TDbfFileRec& t, int32_t n) {
  const std::string msg = "File:  " + t.FileName + " [Replace/Append/PutDbfRecord]";
  if (n < 1) {
    SetError(212, RangeMsg(n, t.FileName, "PutDbfRecord"));
    return;
  }
  if (!Usable(t)) {
    SetError(platform::kDosInvalidHandle, msg);
    return;
  }
  const bool append = n > t.RecCount;
  const int32_t old_count = t.RecCount;
  const int32_t old_recno = t.RecNo;
  if (append) {
    n = t.RecCount + 1;
    t.RecCount = n;
    t.RecNo = n;
  }
  if (t.BeforeWriteProc) t.BeforeWriteProc(t.RecBuf.data() + 1, t.RecLen - 1);
  int rc = t.DataFile.WriteAt(RecordOffset(t, n), t.RecBuf.data(), t.RecLen);
  ErrorCode = static_cast<uint16_t>(rc);
  if (t.AfterAccessProc) t.AfterAccessProc(t.RecBuf.data() + 1, t.RecLen - 1);
  if (rc != 0) {
    // Put the count back first, so that nothing writes a count that includes the lost record.
    t.RecCount = old_count;
    t.RecNo = old_recno;
    SetError(static_cast<uint16_t>(rc), msg);
    return;
  }
  if (append) {
    t.State = kDbfAppended;
    if (FlushOnWrite) {
      FlushDbf(t);
      if (ErrorCode != 0) SetError(ErrorCode, msg);
    }
  } else {
    if (t.State != kDbfAppended) t.State = kDbfChanged;
    if (FlushOnWrite) FlushFile(t.DataFile);
  }
}

void AppendDbfRecord(TDbfFileRec& t) {
  if (t.RecCount >= kMaxRecCount) {
    SetError(212, RangeMsg(t.RecCount, t.FileName, "PutDbfRecord"));
    return;
  }
  PutDbfRecord(t, t.RecCount + 1);
}

void PutDbfDeleteFlag(TDbfFileRec& t, int32_t n) {
  const std::string msg = "File:  " + t.FileName + " [DeleteRec/RecallRec]";
  // Only an existing record has a flag to write: one byte past the end would leave a partial
  // record behind.
  if (n < 1 || n > t.RecCount) {
    SetError(212, RangeMsg(n, t.FileName, "PutDbfDeleteFlag"));
    return;
  }
  if (!Usable(t)) {
    SetError(platform::kDosInvalidHandle, msg);
    return;
  }
  int rc = t.DataFile.WriteAt(RecordOffset(t, n), t.RecBuf.data(), 1);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), msg);
    return;
  }
  if (t.State != kDbfAppended) t.State = kDbfChanged;
  if (FlushOnWrite) FlushFile(t.DataFile);
}

void WriteDbfHeader(TDbfFileRec& t) {
  const platform::LocalTime now = platform::Now();
  uint8_t* h = t.Header.data();
  const uint8_t year = static_cast<uint8_t>(now.year - 1900);
  if (t.DbaseII) {
    PutU16LE(h + 1, static_cast<uint16_t>(t.RecCount));
    h[3] = static_cast<uint8_t>(now.month);
    h[4] = static_cast<uint8_t>(now.day);
    h[5] = year;
  } else {
    h[1] = year;
    h[2] = static_cast<uint8_t>(now.month);
    h[3] = static_cast<uint8_t>(now.day);
    PutU32LE(h + 4, static_cast<uint32_t>(t.RecCount));
  }
  int rc = t.DataFile.WriteAt(0, h, 8);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0 && AbortOnError) ReportError();
}

void FlushDbf(TDbfFileRec& t) {
  ErrorCode = 0;
  if (t.State != kDbfChanged && t.State != kDbfAppended) return;
  if (WriteOutOfDate(t) != 0) {
    // The header stays out of date, so that the close tries again.
    if (AbortOnError) ReportError();
    return;
  }
  t.State = kDbfClean;
  FlushFile(t.DataFile);
}

void FlushFile(platform::File& f) {
  int rc = f.Flush();
  if (rc != 0) SetError(static_cast<uint16_t>(rc), "Unable to flush file [FlushFile]");
}

void CloseDbf(TDbfFileRec& t) {
  ErrorCode = 0;
  int rc = 0;
  if (t.State == kDbfChanged || t.State == kDbfAppended) rc = WriteOutOfDate(t);
  int close_rc = t.DataFile.Close();
  if (rc == 0) {
    rc = close_rc;
    ErrorCode = static_cast<uint16_t>(rc);
  }
  t.State = kDbfClosed;
  t.RecBuf = {};
  t.Fields = {};
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), "File:  " + t.FileName + " [CloseDbf(" + t.FileName + ")]");
  }
}

void CreateDBF(TDbfFileRec& t, const std::string& Name, uint8_t FieldCount,
               std::vector<TFieldDef>& Fields) {
  t = TDbfFileRec{};
  t.FieldCount = FieldCount;
  ErrorCode = 0;
  const std::string bad_definition = "Invalid dBASE field definition [CreateDBF]";
  // A table needs at least one field, and every field counted must be given.
  if (FieldCount == 0 || Fields.size() < FieldCount) {
    SetError(211, bad_definition);
    return;
  }
  if (!HeapHas(int64_t{32} * (FieldCount + 1) + 1)) {
    SetError(217, "CreateDBF[" + Name + "]");
    return;
  }
  t.HeaderLen = static_cast<uint16_t>(32 * FieldCount + 33);
  std::vector<uint8_t> image(t.HeaderLen, 0);
  image[32 * FieldCount + 32] = kDescriptorEnd;
  PutU16LE(image.data() + 8, t.HeaderLen);
  t.RecLen = 1;

  bool memo = false;
  for (size_t i = 0; i < FieldCount; ++i) {
    TFieldDef& f = Fields[i];
    f.Name = LTrim(RTrim(f.Name).substr(0, 10));
    if (f.Name.empty()) {
      SetError(220, "Empty field name [CreateDbf(" + Name + ")]");
      SetError(211, bad_definition);
      return;
    }
    UpperStr(f.Name);
    if (f.FieldType >= 'a' && f.FieldType <= 'z') f.FieldType = static_cast<char>(f.FieldType - 32);
    uint8_t* d = image.data() + kDescriptorSize * (i + 1);
    std::copy(f.Name.begin(), f.Name.end(), d);
    d[11] = static_cast<uint8_t>(f.FieldType);
    bool ok = IsFieldType(f.FieldType);
    switch (f.FieldType) {
      case 'C':
      case 'F':
      case 'N':
        ok = f.Len > 0;
        break;
      case 'D':
        f.Len = 8;
        break;
      case 'L':
        f.Len = 1;
        break;
      case 'M':
        f.Len = 10;
        memo = true;
        break;
      default:
        break;
    }
    if (!ok) {
      SetError(211, bad_definition);
      return;
    }
    if (f.FieldType != 'N' && f.FieldType != 'F') f.Dec = 0;
    d[16] = f.Len;
    d[17] = f.Dec;
    t.RecLen = static_cast<uint16_t>(t.RecLen + f.Len);
  }
  image[0] = memo ? static_cast<uint8_t>(MemoVersion) : 0x03;
  PutU16LE(image.data() + 10, t.RecLen);
  t.HasMemo = memo;

  // Created under the existing name when one differs only in letter case, so that there is
  // never a second table beside it.
  t.FileName = Resolved(AddDefaultExt(AllTrim(Name), "DBF"));
  int rc = t.DataFile.Create(t.FileName, FileMode & 0x70);
  if (rc == 0) {
    size_t written = 0;
    rc = t.DataFile.WriteAt(0, image.data(), image.size(), &written);
    if (rc == 0 && written < image.size()) rc = platform::kDosWriteError;
  }
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    t.DataFile.Close();
    SetError(static_cast<uint16_t>(rc), "Error writing " + Name + ". [CreateDbf]");
    return;
  }

  t.State = kDbfAppended;
  t.RecCount = 0;
  std::copy(image.begin(), image.begin() + kPrologSize, t.Header.begin());
  const platform::LocalTime now = platform::Now();
  t.LastUpdate = TwoDigits(static_cast<unsigned>(now.month)) + "/" +
                 TwoDigits(static_cast<unsigned>(now.day)) + "/" +
                 TwoDigits(static_cast<unsigned>(now.year));
  CloseDbf(t);
  if (ErrorCode != 0 || !memo) return;

  const std::string memo_name = Resolved(ChangeExt(t.FileName, "DBT"));
  platform::File memo_file;
  rc = memo_file.Create(memo_name, FileMode & 0x70);
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc), "Cannot create memo file " + memo_name + " [CreateDbf]");
    return;
  }
  std::vector<uint8_t> block;
  if (MemoVersion == 0x83) {
    // One block holding the next free block number, then the end-of-file byte.
    block.assign(std::max<size_t>(MemoBlockSize, 4) + 1, 0);
    block.back() = kEofByte;
  } else {
    block.assign(24, 0);
    block[18] = 0x02;
    block[19] = 0x01;
    PutU16LE(block.data() + 20, MemoBlockSize);
    if (MemoVersion == 0x8B) {
      std::string dir, base, ext;
      FileSplit(memo_name, dir, base, ext);
      base = base.substr(0, 8);
      std::copy(base.begin(), base.end(), block.begin() + 8);
    }
  }
  PutU32LE(block.data(), 1);
  rc = memo_file.WriteAt(0, block.data(), block.size());
  int close_rc = memo_file.Close();
  if (rc == 0) rc = close_rc;
  ErrorCode = static_cast<uint16_t>(rc);
  if (rc != 0) SetError(static_cast<uint16_t>(rc), memo_name + " [CreateDbf]");
}

void InitDbfFile() {
  DbfSignature1 = 0;
  DbfSignature2 = 0;
  AutoFixCount = false;
  FlushOnWrite = false;
  MemoVersion = 0x83;
  MemoBlockSize = 512;
  BeforeWriteDefault = nullptr;
  AfterAccessDefault = nullptr;
  FileMode = platform::kModeReadWrite;
}

}  // namespace engine
