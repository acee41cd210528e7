#include "engine/dbf_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/error.h"
#include "platform/core/clock.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using engine::TDbfFileRec;
using engine::TFieldDef;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

struct FieldSpec {
  std::string name;
  char type;
  uint8_t len;
  uint8_t dec;
};

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

// A dBASE III descriptor: name NUL-padded to 11 bytes, type, 4 zeros, length, decimals, zeros.
std::string Descriptor(const FieldSpec& f) {
  std::string d = f.name;
  d.resize(11, '\0');
  d += f.type;
  d += std::string(4, '\0');
  d += static_cast<char>(f.len);
  d += static_cast<char>(f.dec);
  d += std::string(14, '\0');
  return d;
}

// A hand-written dBASE III table dated 2026-03-07. header_len and rec_len override the
// computed values (negative: computed).
std::string Dbf3(uint8_t version, const std::vector<FieldSpec>& fields, uint32_t count,
                 const std::string& records = "", int header_len = -1, int rec_len = -1) {
  int computed_rec_len = 1;
  for (const FieldSpec& f : fields) computed_rec_len += f.len;
  std::string s;
  s += static_cast<char>(version);
  s += "\x7E\x03\x07";
  s += U32(count);
  s += U16(header_len < 0 ? static_cast<unsigned>(32 + 32 * fields.size() + 1)
                          : static_cast<unsigned>(header_len));
  s += U16(static_cast<unsigned>(rec_len < 0 ? computed_rec_len : rec_len));
  s += std::string(20, '\0');
  for (const FieldSpec& f : fields) s += Descriptor(f);
  s += '\x0D';
  return s + records;
}

// Two records of the table NAME C(5), QTY N(3,1) in dBASE II form, dated 1999-12-31.
std::string Dbf2() {
  std::string s = "\x02";
  s += U16(2);
  s += "\x0C\x1F\x63";
  s += U16(9);
  for (const FieldSpec& f : {FieldSpec{"NAME", 'C', 5, 0}, FieldSpec{"QTY", 'N', 3, 1}}) {
    std::string d = f.name;
    d.resize(11, '\0');
    d += f.type;
    d += static_cast<char>(f.len);
    d += std::string(2, '\0');
    d += static_cast<char>(f.dec);
    s += d;
  }
  s += '\x0D';
  s.resize(521, '\0');
  return s + " abcde 12 fghij 34";
}

std::string RecText(const TDbfFileRec& t) { return std::string(t.RecBuf.begin(), t.RecBuf.end()); }

void SetRec(TDbfFileRec& t, const std::string& text) {
  ASSERT_EQ(text.size(), t.RecLen);
  t.RecBuf.assign(text.begin(), text.end());
}

class DbfFileTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    platform::SetTestNow(platform::LocalTime{.year = 2026, .month = 3, .day = 7});
  }
  void TearDown() override {
    platform::ClearTestNow();
    EngineTest::TearDown();
  }

  TDbfFileRec Open(const std::string& name) {
    TDbfFileRec t;
    t.FileName = name;
    engine::OpenDbfFile(t);
    return t;
  }

  // The table NAME C(10), AGE N(3) created by the engine.
  std::string CreatePeople() {
    std::vector<TFieldDef> fields{{"name", 'C', 10, 0, 0}, {"age", 'N', 3, 0, 0}};
    TDbfFileRec t;
    engine::CreateDBF(t, dir_ / "people", 2, fields);
    EXPECT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
    return t.FileName;
  }

  size_t FilesInDir() const {
    auto it = std::filesystem::directory_iterator(dir_.path());
    return static_cast<size_t>(std::distance(it, std::filesystem::directory_iterator{}));
  }
};

TEST_F(DbfFileTest, CreateWritesByteExactTable) {
  std::vector<TFieldDef> fields{{"id", 'c', 5, 2, 0}};
  TDbfFileRec t;
  engine::CreateDBF(t, dir_ / "one", 1, fields);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.FileName, dir_ / "one.DBF");
  EXPECT_EQ(t.State, engine::kDbfClosed);
  EXPECT_EQ(t.LastUpdate, "03/07/26");
  EXPECT_EQ(fields[0].Name, "ID");
  EXPECT_EQ(fields[0].FieldType, 'C');
  EXPECT_EQ(fields[0].Dec, 0);

  std::string expected = std::string("\x03\x7E\x03\x07", 4) + std::string(4, '\0') +
                         std::string("\x41\x00\x06\x00", 4) + std::string(20, '\0');
  expected += std::string("ID", 2) + std::string(9, '\0') + "C" + std::string(4, '\0') +
              std::string("\x05\x00", 2) + std::string(14, '\0');
  expected += "\x0D\x1A";
  ASSERT_EQ(expected.size(), 66u);
  EXPECT_EQ(ReadFileBytes(dir_ / "one.DBF"), expected);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "one.DBT"));
}

TEST_F(DbfFileTest, CreateWritesMemoFileForEachMemoVersion) {
  std::vector<TFieldDef> fields{{" notes", 'm', 0, 3, 0}, {"born", 'd', 3, 2, 0}};
  TDbfFileRec t;
  engine::CreateDBF(t, dir_ / "memo", 2, fields);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(fields[0].Name, "NOTES");
  EXPECT_EQ(fields[0].Len, 10);
  EXPECT_EQ(fields[0].Dec, 0);
  EXPECT_EQ(fields[1].Len, 8);
  std::string table = ReadFileBytes(dir_ / "memo.DBF");
  ASSERT_EQ(table.size(), 32u * 3 + 1 + 1);
  EXPECT_EQ(static_cast<uint8_t>(table[0]), 0x83);
  EXPECT_EQ(table.substr(10, 2), U16(19));
  EXPECT_EQ(static_cast<uint8_t>(table[64 + 16]), 8);
  std::string memo = ReadFileBytes(dir_ / "memo.DBT");
  std::string expected_memo = U32(1) + std::string(508, '\0') + "\x1A";
  EXPECT_EQ(memo, expected_memo);

  engine::MemoVersion = 0x8B;
  std::vector<TFieldDef> more{{"notes", 'M', 10, 0, 0}};
  engine::CreateDBF(t, dir_ / "longername", 1, more);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(static_cast<uint8_t>(ReadFileBytes(dir_ / "longername.DBF")[0]), 0x8B);
  std::string expected_iv = U32(1) + std::string(4, '\0') + "longerna" + std::string(2, '\0') +
                            "\x02\x01" + U16(512) + std::string(2, '\0');
  EXPECT_EQ(ReadFileBytes(dir_ / "longername.DBT"), expected_iv);
}

TEST_F(DbfFileTest, CreateRefusesBadDefinitionsAndCreatesNothing) {
  struct Case {
    const char* what;
    std::vector<TFieldDef> fields;
    uint8_t count;
  };
  const std::vector<Case> cases = {
      {"no_fields", {}, 0},
      {"blank_name", {{"   ", 'C', 5, 0, 0}}, 1},
      {"unknown_type", {{"A", 'X', 5, 0, 0}}, 1},
      {"character_length_zero", {{"A", 'C', 0, 0, 0}}, 1},
      {"numeric_length_zero", {{"A", 'N', 0, 0, 0}}, 1},
      {"second_field_bad", {{"A", 'C', 5, 0, 0}, {"B", 'F', 0, 0, 0}}, 2},
      {"count_beyond_list", {{"A", 'C', 5, 0, 0}}, 2},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    engine::ErrorCode = 0;
    TDbfFileRec t;
    engine::CreateDBF(t, dir_ / "bad", c.count, c.fields);
    EXPECT_EQ(engine::ErrorCode, 211);
    EXPECT_EQ(engine::ErrorMsg, "Invalid dBASE field definition [CreateDBF]");
    EXPECT_EQ(FilesInDir(), 0u);
  }
}

TEST_F(DbfFileTest, CreateReusesNamesThatDifferOnlyInCase) {
  WriteFileBytes(dir_ / "exam.dbf", "old table");
  WriteFileBytes(dir_ / "exam.dbt", "old memo");
  std::vector<TFieldDef> fields{{"q", 'M', 10, 0, 0}};
  TDbfFileRec t;
  engine::CreateDBF(t, dir_ / "EXAM", 1, fields);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.FileName, dir_ / "exam.dbf");
  EXPECT_EQ(FilesInDir(), 2u);
  EXPECT_EQ(ReadFileBytes(dir_ / "exam.dbf").size(), 66u);
  EXPECT_EQ(ReadFileBytes(dir_ / "exam.dbt").size(), 513u);

  TDbfFileRec opened = Open(dir_ / "Exam");
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(opened.FileName, dir_ / "exam.dbf");
  EXPECT_TRUE(opened.HasMemo);
}

TEST_F(DbfFileTest, DamagedFilesFailWithTheirOwnError) {
  const std::string path = dir_ / "bad.dbf";
  const std::string not_dbase = " is not a dBASE database.";
  std::vector<FieldSpec> many(256, FieldSpec{"F", 'C', 1, 0});
  std::vector<FieldSpec> one{{"NAME", 'C', 5, 0}};
  std::string dbase2_unended(521, '\0');
  dbase2_unended[0] = 0x02;
  dbase2_unended[6] = 1;
  for (int i = 0; i < 32; ++i) dbase2_unended[8 + 16 * i] = 'A';
  struct Case {
    const char* what;
    std::string bytes;
    uint16_t code;
    std::string msg;
  };
  const std::vector<Case> cases = {
      {"twenty_bytes", std::string(20, '\x03'), 210,
       path + not_dbase + " (Prolog is less than 32 bytes) [USE/OpenDBF]"},
      {"bad_version_byte", Dbf3(0x30, one, 0), 210,
       path + not_dbase + "(Invalid version byte)+ [USE/OpenDBF]"},
      {"bad_field_type", Dbf3(0x03, {{"NAME", 'X', 5, 0}}, 0), 211,
       "Error reading " + path + " [Use/OpenDbf]"},
      {"zero_record_length", Dbf3(0x03, one, 0, "", -1, 0), 210,
       "bad.dbf" + not_dbase + " (Record length is out of range) [Use/OpenDbf]"},
      {"field_past_record", Dbf3(0x03, one, 0, "", -1, 5), 210,
       "bad.dbf" + not_dbase + " (Field extends beyond the record) [Use/OpenDbf]"},
      {"header_below_32", Dbf3(0x03, one, 0, "", 16), 210,
       "bad.dbf" + not_dbase + " (Number of fields is out of range) [Use/OpenDbf]"},
      {"header_without_descriptor", Dbf3(0x03, one, 0, "", 40), 210,
       "bad.dbf" + not_dbase + " (Number of fields is out of range) [Use/OpenDbf]"},
      {"256_fields", Dbf3(0x03, many, 0), 210,
       "bad.dbf" + not_dbase + " (Number of fields is out of range) [Use/OpenDbf]"},
      {"descriptors_cut_short", Dbf3(0x03, one, 0).substr(0, 50), 100,
       "Error reading " + path + " [Use/OpenDbf]"},
      {"count_beyond_signed_range", Dbf3(0x03, one, 0x80000000u), 210,
       "bad.dbf" + not_dbase + " (Record count is out of range) [Use/OpenDbf]"},
      {"count_without_a_number_past_it", Dbf3(0x03, one, 0x7FFFFFFFu), 210,
       "bad.dbf" + not_dbase + " (Record count is out of range) [Use/OpenDbf]"},
      {"dbase2_header_short", Dbf2().substr(0, 100), 210,
       path + not_dbase + "(Header is less than 521 bytes) [Use/OpenDBF]"},
      {"dbase2_no_terminator", dbase2_unended, 210,
       "bad.dbf" + not_dbase + "(Number of fields is out of range) [Use/OpenDbf]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(path, c.bytes);
    engine::ErrorCode = 0;
    TDbfFileRec t = Open(dir_ / "BAD");  // resolved to bad.dbf
    EXPECT_EQ(engine::ErrorCode, c.code);
    EXPECT_EQ(engine::ErrorMsg, c.msg);
    EXPECT_EQ(t.State, engine::kDbfClosed);
    EXPECT_FALSE(t.DataFile.IsOpen());
    EXPECT_TRUE(t.RecBuf.empty());
    EXPECT_TRUE(t.Fields.empty());
  }
}

TEST_F(DbfFileTest, VersionByteRules) {
  struct Case {
    const char* what;
    uint8_t version, sig1, sig2;
    bool opens, has_memo;
  };
  const Case cases[] = {
      {"plain_table", 0x03, 0, 0, true, false},
      {"memo_table", 0x83, 0, 0, true, true},
      {"low_bits_3_with_memo_bit", 0x8B, 0, 0, true, true},
      {"unknown_version_refused", 0x30, 0, 0, false, false},
      {"signature1_accepts_it", 0x30, 0x30, 0, true, false},
      {"signature2_other_value_has_no_memo", 0x83, 0, 0x8B, true, false},
      {"signature2_value_has_memo", 0xF5, 0, 0xF5, true, true},
      {"dbase2_byte_read_as_dbase3_with_signature", 0x02, 0x30, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine::DbfSignature1 = c.sig1;
    engine::DbfSignature2 = c.sig2;
    engine::ErrorCode = 0;
    WriteFileBytes(dir_ / "v.dbf", Dbf3(c.version, {{"NAME", 'C', 5, 0}}, 1, " abcde"));
    TDbfFileRec t = Open(dir_ / "v.dbf");
    EXPECT_EQ(engine::ErrorCode, c.opens ? 0 : 210) << engine::ErrorMsg;
    EXPECT_EQ(t.State, c.opens ? engine::kDbfClean : engine::kDbfClosed);
    EXPECT_EQ(t.HasMemo, c.has_memo);
    if (c.opens) {
      EXPECT_EQ(t.RecLen, 6);
      EXPECT_EQ(t.Fields.at(0).Name, "NAME");
    }
    engine::CloseDbf(t);
  }
}

TEST_F(DbfFileTest, RecordsRoundTripAndAppendLeavesOneEndByte) {
  const std::string name = CreatePeople();
  TDbfFileRec t = Open(name);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.RecCount, 0);
  EXPECT_EQ(t.RecNo, 0);
  EXPECT_TRUE(t.AtEof && t.AtBof);
  ASSERT_EQ(t.FieldCount, 2);
  EXPECT_EQ(t.Fields[1].Offset, 11);

  const std::vector<std::string> rows = {" Alice      34", " Bob        27", " Carol      51",
                                         " Dave        9"};
  for (int i = 0; i < 3; ++i) {
    SetRec(t, rows[i]);
    engine::AppendDbfRecord(t);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  }
  SetRec(t, rows[3]);
  engine::PutDbfRecord(t, t.RecCount + 5);  // appends exactly one, at RecCount + 1
  EXPECT_EQ(t.RecCount, 4);
  EXPECT_EQ(t.RecNo, 4);
  EXPECT_EQ(t.State, engine::kDbfAppended);

  SetRec(t, "*Bobby      28");
  engine::PutDbfRecord(t, 2);
  t.RecBuf[0] = ' ';
  engine::PutDbfDeleteFlag(t, 2);  // only the flag changes
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;

  engine::GetDbfRecord(t, 3);
  EXPECT_EQ(RecText(t), rows[2]);
  for (int32_t n : {0, 5}) {
    engine::ErrorCode = 0;
    engine::GetDbfRecord(t, n);
    EXPECT_EQ(engine::ErrorCode, 212);
    EXPECT_EQ(engine::ErrorMsg,
              "Invalid record number = " + std::to_string(n) + " (" + name + ")  [GetDbfRecord]");
    EXPECT_EQ(t.RecNo, 3);
    EXPECT_EQ(RecText(t), rows[2]);
  }
  engine::ErrorCode = 0;
  engine::CloseDbf(t);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.State, engine::kDbfClosed);

  std::string bytes = ReadFileBytes(name);
  ASSERT_EQ(bytes.size(), 97u + 4 * 14 + 1);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\x1A'), 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(4, 4), U32(4));

  TDbfFileRec again = Open(name);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(again.RecCount, 4);
  EXPECT_EQ(again.RecNo, 1);
  const std::vector<std::string> stored = {rows[0], " Bobby      28", rows[2], rows[3]};
  for (int32_t n = 1; n <= 4; ++n) {
    engine::GetDbfRecord(again, n);
    EXPECT_EQ(RecText(again), stored[n - 1]);
  }
}

TEST_F(DbfFileTest, BadRecordNumbersForWritesChangeNothing) {
  const std::string name = CreatePeople();
  TDbfFileRec t = Open(name);
  SetRec(t, " Alice      34");
  engine::AppendDbfRecord(t);
  engine::CloseDbf(t);
  const std::string before = ReadFileBytes(name);

  t = Open(name);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  SetRec(t, "*Zed         1");
  struct Case {
    const char* what;
    void (*write)(TDbfFileRec&, int32_t);
    int32_t n;
    const char* routine;
  };
  const Case cases[] = {
      {"put_record_zero", engine::PutDbfRecord, 0, "PutDbfRecord"},
      {"put_record_negative", engine::PutDbfRecord, -3, "PutDbfRecord"},
      {"delete_flag_zero", engine::PutDbfDeleteFlag, 0, "PutDbfDeleteFlag"},
      {"delete_flag_past_end", engine::PutDbfDeleteFlag, 2, "PutDbfDeleteFlag"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine::ErrorCode = 0;
    c.write(t, c.n);
    EXPECT_EQ(engine::ErrorCode, 212);
    EXPECT_EQ(engine::ErrorMsg, "Invalid record number = " + std::to_string(c.n) + " (" + name +
                                    ")  [" + c.routine + "]");
    EXPECT_EQ(t.RecCount, 1);
    EXPECT_EQ(t.State, engine::kDbfClean);
  }
  engine::ErrorCode = 0;
  engine::CloseDbf(t);
  EXPECT_EQ(ReadFileBytes(name), before);
}

TEST_F(DbfFileTest, ClosingAfterChangesOnlyUpdatesHeaderWithoutEndByte) {
  const std::string name = CreatePeople();
  TDbfFileRec t = Open(name);
  SetRec(t, " Alice      34");
  engine::AppendDbfRecord(t);
  engine::CloseDbf(t);
  std::string bytes = ReadFileBytes(name);
  bytes.pop_back();  // a table written without its end byte
  WriteFileBytes(name, bytes);

  platform::SetTestNow(platform::LocalTime{.year = 2027, .month = 5, .day = 9});
  t = Open(name);
  engine::GetDbfRecord(t, 1);
  t.RecBuf[1] = 'E';
  engine::PutDbfRecord(t, 1);
  EXPECT_EQ(t.State, engine::kDbfChanged);
  engine::CloseDbf(t);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;

  std::string after = ReadFileBytes(name);
  ASSERT_EQ(after.size(), bytes.size());
  EXPECT_EQ(after.substr(1, 7), std::string("\x7F\x05\x09", 3) + U32(1));
  EXPECT_EQ(after.substr(97), " Elice      34");
}

TEST_F(DbfFileTest, FileModeZeroOpensReadOnlyAndWritesFailWithAccessDenied) {
  const std::string name = CreatePeople();
  TDbfFileRec t = Open(name);
  SetRec(t, " Alice      34");
  engine::AppendDbfRecord(t);
  engine::CloseDbf(t);
  const std::string before = ReadFileBytes(name);

  engine::FileMode = 0;
  t = Open(name);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.OpenMode, 0);
  engine::GetDbfRecord(t, 1);
  EXPECT_EQ(RecText(t), " Alice      34");

  const std::string put_msg = "File:  " + name + " [Replace/Append/PutDbfRecord]";
  engine::PutDbfRecord(t, 1);
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::ErrorMsg, put_msg);
  engine::ErrorCode = 0;
  engine::AppendDbfRecord(t);
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::ErrorMsg, put_msg);
  EXPECT_EQ(t.RecCount, 1);  // the failed append is undone
  EXPECT_EQ(t.RecNo, 1);
  engine::ErrorCode = 0;
  engine::PutDbfDeleteFlag(t, 1);
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::ErrorMsg, "File:  " + name + " [DeleteRec/RecallRec]");
  EXPECT_EQ(t.State, engine::kDbfClean);

  engine::CloseDbf(t);
  EXPECT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(ReadFileBytes(name), before);
}

TEST_F(DbfFileTest, CountBeyondFileOpensAndMissingRecordIsEndOfFile) {
  std::vector<FieldSpec> fields{{"NAME", 'C', 5, 0}};
  WriteFileBytes(dir_ / "long.dbf", Dbf3(0x03, fields, 5, " abcde fghij\x1A"));
  TDbfFileRec t = Open(dir_ / "long.dbf");
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.RecCount, 5);
  EXPECT_EQ(t.RecNo, 1);
  EXPECT_EQ(t.LastUpdate, "03/07/26");
  engine::GetDbfRecord(t, 2);
  EXPECT_EQ(RecText(t), " fghij");
  for (int32_t n : {3, 4}) {
    engine::ErrorCode = 0;
    engine::GetDbfRecord(t, n);
    EXPECT_EQ(engine::ErrorCode, 213);
    EXPECT_EQ(engine::ErrorMsg, "File:  " + (dir_ / "long.dbf") + "  [GetDbfRecord]");
    EXPECT_EQ(t.RecNo, 2);
  }
  engine::CloseDbf(t);

  engine::AutoFixCount = true;
  t = Open(dir_ / "long.dbf");
  EXPECT_EQ(t.RecCount, 2);
}

TEST_F(DbfFileTest, DbaseTwoFormReadsAndUpdatesItsOwnHeader) {
  const std::string name = dir_ / "old.dbf";
  const std::string original = Dbf2();
  WriteFileBytes(name, original);
  TDbfFileRec t = Open(name);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.HeaderLen, 521);
  EXPECT_EQ(t.RecLen, 9);
  EXPECT_EQ(t.RecCount, 2);
  EXPECT_EQ(t.LastUpdate, "12/31/99");
  EXPECT_FALSE(t.HasMemo);
  ASSERT_EQ(t.FieldCount, 2);
  EXPECT_EQ(t.Fields[1].Name, "QTY");
  EXPECT_EQ(t.Fields[1].Offset, 6);
  EXPECT_EQ(t.Fields[1].Len, 3);
  EXPECT_EQ(t.Fields[1].Dec, 1);
  engine::GetDbfRecord(t, 2);
  EXPECT_EQ(RecText(t), " fghij 34");

  SetRec(t, " klmno 56");
  engine::AppendDbfRecord(t);
  engine::CloseDbf(t);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;

  std::string after = ReadFileBytes(name);
  std::string expected = original;
  expected.replace(1, 5, U16(3) + "\x03\x07\x7E");
  expected += " klmno 56\x1A";
  EXPECT_EQ(after, expected);
}

// The header is written back in the form the file was read in: the dBASE II form for every
// version byte read as dBASE II (low bits 2), the dBASE III form for one that a signature
// setting made a dBASE III table.
TEST_F(DbfFileTest, HeaderIsWrittenInTheFormItWasReadIn) {
  std::string dbase2_0a = Dbf2();
  dbase2_0a[0] = '\x0A';
  const std::string dbase3_02 =
      Dbf3(0x02, {{"NAME", 'C', 5, 0}, {"QTY", 'N', 3, 1}}, 2, " abcde 12 fghij 34");
  struct Case {
    const char* what;
    std::string bytes;
    uint8_t sig1;
    bool dbase2;
    std::string header_after;  // bytes 1-7 after one append and the close
  };
  const Case cases[] = {
      {"version_0A_stays_dbase2", dbase2_0a, 0, true,
       U16(3) + "\x03\x07\x7E" + dbase2_0a.substr(6, 2)},
      {"version_02_with_signature_is_dbase3", dbase3_02, 0x02, false,
       std::string("\x7E\x03\x07", 3) + U32(3)},
  };
  const std::string name = dir_ / "form.dbf";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine::DbfSignature1 = c.sig1;
    WriteFileBytes(name, c.bytes);
    TDbfFileRec t = Open(name);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
    EXPECT_EQ(t.DbaseII, c.dbase2);
    EXPECT_EQ(t.RecCount, 2);
    engine::GetDbfRecord(t, 2);
    EXPECT_EQ(RecText(t), " fghij 34");
    SetRec(t, " klmno 56");
    engine::AppendDbfRecord(t);
    engine::CloseDbf(t);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
    std::string expected = c.bytes;
    expected.replace(1, 7, c.header_after);
    EXPECT_EQ(ReadFileBytes(name), expected + " klmno 56\x1A");
  }
}

void FlipCase(uint8_t* data, uint16_t len) {
  for (uint16_t i = 0; i < len; ++i) data[i] ^= 0x20;
}

TEST_F(DbfFileTest, RecordHooksSeeStoredFormOnly) {
  const std::string name = CreatePeople();
  TDbfFileRec t = Open(name);
  t.BeforeWriteProc = FlipCase;
  t.AfterAccessProc = FlipCase;
  SetRec(t, " ALICE      34");
  engine::AppendDbfRecord(t);
  EXPECT_EQ(RecText(t), " ALICE      34");  // back in its plain form after the write
  engine::GetDbfRecord(t, 1);
  EXPECT_EQ(RecText(t), " ALICE      34");
  engine::CloseDbf(t);
  std::string stored = ReadFileBytes(name).substr(97, 14);
  EXPECT_EQ(stored.substr(0, 6), " alice");
}

TEST_F(DbfFileTest, FlushOnWriteKeepsHeaderAndEndByteCurrent) {
  const std::string name = CreatePeople();
  engine::FlushOnWrite = true;
  TDbfFileRec t = Open(name);
  SetRec(t, " Alice      34");
  engine::AppendDbfRecord(t);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  EXPECT_EQ(t.State, engine::kDbfClean);
  std::string bytes = ReadFileBytes(name);  // while still open
  EXPECT_EQ(bytes.substr(4, 4), U32(1));
  ASSERT_EQ(bytes.size(), 97u + 14 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  engine::CloseDbf(t);
  EXPECT_EQ(ReadFileBytes(name), bytes);
}

}  // namespace
