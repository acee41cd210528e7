#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/numerics.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using engine::CurrentWorkArea;
using engine::ErrorCode;
using engine::ErrorMsg;
using engine::FieldAddress;
using engine::TFieldDef;
using testing_support::ReadFileBytes;

// Creates a table with the engine's own writer and appends `records` (file form, deletion
// flag first) to it.
void MakeTable(const std::string& path, std::vector<TFieldDef> fields,
               const std::vector<std::string>& records) {
  engine::TDbfFileRec t;
  engine::CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  std::string bytes = ReadFileBytes(path);
  bytes.resize(engine::GetU16LE(bytes.data() + 8));
  for (const std::string& r : records) bytes += r;
  bytes += '\x1A';
  engine::PutU32LE(bytes.data() + 4, static_cast<uint32_t>(records.size()));
  testing_support::WriteFileBytes(path, bytes);
}

std::string SlotText(uint8_t field) {
  const uint8_t* slot = FieldAddress(field);
  return std::string(reinterpret_cast<const char*>(slot + 1), slot[0]);
}

void SetSlotText(uint8_t field, const std::string& text) {
  uint8_t* slot = FieldAddress(field);
  slot[0] = static_cast<uint8_t>(text.size());
  std::memcpy(slot + 1, text.data(), text.size());
}

double SlotReal(uint8_t field) {
  engine::Real48 r;
  std::memcpy(r.data(), FieldAddress(field), r.size());
  return engine::Real48Decode(r);
}

void SetSlotReal(uint8_t field, double value) {
  const engine::Real48 r = engine::Real48Encode(value);
  std::memcpy(FieldAddress(field), r.data(), r.size());
}

// The file-form text of field `field` in RecBuf.
std::string Stored(uint8_t field) {
  const engine::TDbfFileRec& t = CurrentWorkArea()->Dbf;
  const TFieldDef& f = t.Fields[field - 1];
  return std::string(reinterpret_cast<const char*>(t.RecBuf.data() + f.Offset), f.Len);
}

// Puts `text` into field `field` of RecBuf and converts the record to the native buffer.
void LoadStored(uint8_t field, const std::string& text) {
  engine::TDbfFileRec& t = CurrentWorkArea()->Dbf;
  std::memcpy(t.RecBuf.data() + t.Fields[field - 1].Offset, text.data(), text.size());
  engine::DbfToNative();
}

// Fields C(5), D, N(8,2), N(4,0), L, M with one record.
class FieldAccessTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine::DateMode = 0;
    engine::Century = false;
    engine::EpochYear = 1900;
    MakeTable(dir_ / "mix.dbf",
              {{"NAME", 'C', 5, 0},
               {"BORN", 'D', 8, 0},
               {"PRICE", 'N', 8, 2},
               {"QTY", 'N', 4, 0},
               {"OK", 'L', 1, 0},
               {"NOTES", 'M', 10, 0}},
              {std::string(" ") + "ab   " + "19990315" + "  123.45" + "  42" + "Y" + "        17",
               std::string("*") + "zz   " + "        " + "   -1.50" + "  -7" + "F" + "         0"});
    engine::USE(dir_.path() + "mix exclusive", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }
};

TEST_F(FieldAccessTest, NativeBufferLayoutAndFirstRecord) {
  EXPECT_EQ(engine::NativeRecSize(CurrentWorkArea()->Dbf), 33);
  EXPECT_EQ(CurrentWorkArea()->UserBufSize, 33);
  const uint8_t* base = FieldAddress(0);
  const int offsets[] = {1, 7, 18, 24, 28, 29};
  for (uint8_t i = 1; i <= 6; ++i) EXPECT_EQ(FieldAddress(i) - base, offsets[i - 1]) << int{i};

  EXPECT_FALSE(engine::Deleted());
  EXPECT_EQ(SlotText(1), "ab   ");
  EXPECT_EQ(SlotText(2), "03/15/99");
  EXPECT_EQ(SlotReal(3), engine::RoundToReal48(123.45));
  EXPECT_EQ(engine::GetI32LE(FieldAddress(4)), 42);
  EXPECT_EQ(*FieldAddress(5), 1);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(6)), 17);

  engine::GO(2);
  EXPECT_TRUE(engine::Deleted());
  EXPECT_EQ(SlotText(2), "  /  /  ");
  EXPECT_EQ(SlotReal(3), -1.5);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(4)), -7);
  EXPECT_EQ(*FieldAddress(5), 0);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(6)), 0);

  // Written back unchanged, the record keeps its bytes (a blank date stays blank).
  const std::vector<uint8_t> before = CurrentWorkArea()->Dbf.RecBuf;
  engine::NativeToDbf();
  EXPECT_EQ(CurrentWorkArea()->Dbf.RecBuf, before);
}

TEST_F(FieldAccessTest, OneIsTheSixByteReal81) {
  LoadStored(3, "    1.00");
  const std::vector<uint8_t> one(FieldAddress(3), FieldAddress(3) + 6);
  EXPECT_EQ(one, (std::vector<uint8_t>{0x81, 0, 0, 0, 0, 0}));
}

TEST_F(FieldAccessTest, NumbersAreWrittenRoundedHalfAwayFromZero) {
  struct Case {
    uint8_t len, dec;
    double value;
    std::string expected;
    const char* what;
  };
  const Case cases[] = {
      {6, 2, 0.125, "  0.13", "exact half rounds up"},
      {6, 2, -0.125, " -0.13", "negative half rounds away from zero"},
      {6, 2, -0.001, "  0.00", "no negative zero"},
      {8, 2, 12345.678, "12345.68", "fills the width"},
      {8, 2, 1234567.5, "********", "too wide: stars"},
      {5, 2, 9.999, "10.00", "carry into a new digit"},
      {4, 1, 0.5, " 0.5", "leading zero"},
      {16, 12, 1000.0 / 3, "333.333333333489", "the 6-byte real's own digits"},
      {20, 2, 1e15, " 1000000000000000.00", "large value"},
  };
  for (const Case& c : cases) {
    TFieldDef f{"X", 'N', c.len, c.dec};
    MakeTable(dir_ / "n.dbf", {f}, {});
    engine::Select(2);
    engine::USE(dir_.path() + "n", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    SetSlotReal(1, c.value);
    engine::NativeToDbf();
    EXPECT_EQ(Stored(1), c.expected) << c.what;
    engine::CloseArea();
  }

  // Integer slots: right-aligned, stars when too wide.
  engine::Select(1);
  const std::pair<int32_t, std::string> ints[] = {{42, "  42"}, {-123, "-123"}, {12345, "****"}};
  for (const auto& [value, text] : ints) {
    engine::PutI32LE(FieldAddress(4), value);
    engine::NativeToDbf();
    EXPECT_EQ(Stored(4), text) << value;
  }
}

TEST_F(FieldAccessTest, NumberAndLogicalTextsRead) {
  struct Case {
    uint8_t field;
    std::string text;
    double expected;
    const char* what;
  };
  const Case cases[] = {
      {4, "12.7", 12, "whole part of a decimal text"},
      {4, "    ", 0, "empty"},
      {4, "x1  ", 0, "no number"},
      {4, " 3x4", 3, "leading valid part"},
      {4, "+ 5 ", 0, "a sign needs a digit"},
      {3, "   -.25 ", -0.25, "point without a leading digit"},
      {3, " 1.5e2  ", 150, "exponent"},
      {3, "     inf", 0, "no words"},
      {5, "t", 1, "t"},
      {5, "Y", 1, "Y"},
      {5, "y", 1, "y"},
      {5, "F", 0, "F"},
      {5, "?", 0, "?"},
      {5, " ", 0, "blank logical"},
      {6, "   -2     ", -2, "memo number trimmed"},
      {6, "          ", 0, "no memo"},
  };
  for (const Case& c : cases) {
    LoadStored(c.field, c.text);
    double got = 0;
    if (c.field == 3) got = SlotReal(3);
    if (c.field == 4 || c.field == 6) got = engine::GetI32LE(FieldAddress(c.field));
    if (c.field == 5) got = *FieldAddress(5);
    EXPECT_EQ(got, c.expected) << c.what;
  }
  LoadStored(5, "Y");
  engine::NativeToDbf();
  EXPECT_EQ(Stored(5), "T");
}

TEST_F(FieldAccessTest, WideIntegersAreClampedInto32Bits) {
  MakeTable(dir_ / "wide.dbf", {{"BIG", 'N', 12, 0}}, {"  99999999999", " -99999999999"});
  engine::Select(2);
  engine::USE(dir_.path() + "wide", nullptr, 0);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(1)), INT32_MAX);
  engine::GO(2);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(1)), INT32_MIN);
}

TEST_F(FieldAccessTest, DatesThroughTheBuffer) {
  struct Case {
    uint8_t mode;
    bool century;
    std::string native;
  };
  const Case cases[] = {
      {0, false, "03/15/99"},  {0, true, "03/15/1999"}, {1, false, "99.03.15"},
      {1, true, "1999.03.15"}, {2, true, "15/03/1999"}, {3, false, "15-03-99"},
      {4, true, "15.03.1999"}, {8, false, "15.03.99"},
  };
  for (const Case& c : cases) {
    engine::DateMode = c.mode;
    engine::Century = c.century;
    LoadStored(2, "19990315");
    EXPECT_EQ(SlotText(2), c.native) << int{c.mode} << c.century;
    LoadStored(2, "        ");
    SetSlotText(2, c.native);
    engine::NativeToDbf();
    EXPECT_EQ(Stored(2), "19990315") << c.native;
  }

  const std::pair<std::string, std::string> blanks[] = {{"  -  -    ", "        "},
                                                        {"  /  /  ", "        "},
                                                        {"", "        "},
                                                        {"    .  .  ", "        "}};
  engine::DateMode = 1;
  engine::Century = true;
  for (const auto& [native, stored] : blanks) {
    SetSlotText(2, native);
    engine::NativeToDbf();
    EXPECT_EQ(Stored(2), stored) << native;
  }
  engine::DateMode = 1;
  engine::Century = false;
  LoadStored(2, "        ");
  EXPECT_EQ(SlotText(2), "  .  .  ");

  // Two-digit years take their century from the window.
  engine::DateMode = 0;
  engine::EpochYear = 1950;
  const std::pair<std::string, std::string> window[] = {{"03/15/49", "20490315"},
                                                        {"03/15/50", "19500315"}};
  for (const auto& [native, stored] : window) {
    SetSlotText(2, native);
    engine::NativeToDbf();
    EXPECT_EQ(Stored(2), stored) << native;
  }
}

TEST_F(FieldAccessTest, ChangedOnlyWriteKeepsUntouchedFields) {
  // With Century off and the window on 2000, 19990315 would come back as 2099; a 12-digit
  // number does not fit its 4-byte slot. Untouched, both keep their stored bytes.
  MakeTable(dir_ / "keep.dbf", {{"NAME", 'C', 3, 0}, {"BORN", 'D', 8, 0}, {"BIG", 'N', 12, 0}},
            {" abc19990315 99999999999"});
  engine::Select(2);
  engine::USE(dir_.path() + "keep", nullptr, 0);
  engine::EpochYear = 2000;
  SetSlotText(1, "xyz");
  engine::NativeToDbfChanged();
  EXPECT_EQ(Stored(1), "xyz");
  EXPECT_EQ(Stored(2), "19990315");
  EXPECT_EQ(Stored(3), " 99999999999");

  // A changed field is converted.
  SetSlotText(2, "01/02/03");
  engine::NativeToDbfChanged();
  EXPECT_EQ(Stored(2), "20030102");

  // The plain conversion rewrites every field.
  engine::GO(1);
  engine::NativeToDbf();
  EXPECT_EQ(Stored(2), "20990315");
  EXPECT_EQ(Stored(3), "  2147483647");
}

TEST_F(FieldAccessTest, ClearRecordFillsBlanks) {
  engine::DateMode = 4;
  engine::Century = true;
  engine::ClearRecord();
  EXPECT_FALSE(engine::Deleted());
  EXPECT_EQ(SlotText(1), "     ");
  EXPECT_EQ(SlotText(2), "  .  .    ");
  EXPECT_EQ(SlotReal(3), 0);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(4)), 0);
  EXPECT_EQ(*FieldAddress(5), 0);
  EXPECT_EQ(engine::GetI32LE(FieldAddress(6)), 0);
  engine::DateMode = 3;
  engine::Century = false;
  engine::ClearRecord();
  EXPECT_EQ(SlotText(2), "  -  -  ");
}

TEST_F(FieldAccessTest, FieldDescriptions) {
  EXPECT_EQ(engine::FieldCount(), 6);
  EXPECT_EQ(engine::FieldType(3), 'N');
  EXPECT_EQ(engine::FieldLen(3), 8);
  EXPECT_EQ(engine::FieldDec(3), 2);
  EXPECT_EQ(engine::Field(6), "NOTES");
  EXPECT_EQ(engine::FieldLen(2), 8);
  engine::Century = true;
  EXPECT_EQ(engine::FieldLen(2), 10);

  struct NameCase {
    std::string name;
    uint8_t expected;
  };
  for (const NameCase& c : {NameCase{"price  ", 3}, NameCase{" price", 0}, NameCase{"Notes", 6},
                            NameCase{"NOTESXXXXXXX", 0}, NameCase{"", 0}}) {
    EXPECT_EQ(engine::FieldNo(c.name), c.expected) << c.name;
  }
  MakeTable(dir_ / "long.dbf", {{"ABCDEFGHIJ", 'C', 1, 0}}, {});
  engine::Select(2);
  engine::USE(dir_.path() + "long", nullptr, 0);
  EXPECT_EQ(engine::FieldNo("abcdefghijKLMN"), 1);
  engine::Select(1);

  struct BadCase {
    void (*call)();
    const char* msg;
  };
  const BadCase bad[] = {
      {[] { engine::FieldType(0); }, "Invalid field number. [FieldType(0)]"},
      {[] { engine::FieldLen(7); }, "Invalid field number. [FieldLen(7)]"},
      {[] { engine::FieldDec(9); }, "Invalid field number. [FieldDec(9)]"},
      {[] { engine::Field(0); }, "Invalid field number. [Field(0)]"},
      {[] { engine::FieldAddress(7); }, "Invalid field number. [FieldAddress(7)]"},
  };
  for (const BadCase& c : bad) {
    ErrorCode = 0;
    c.call();
    EXPECT_EQ(ErrorCode, 220) << c.msg;
    EXPECT_EQ(ErrorMsg, c.msg);
  }
  EXPECT_EQ(engine::FieldType(7), ' ');
  EXPECT_EQ(engine::FieldAddress(7), nullptr);

  engine::Select(9);
  EXPECT_EQ(engine::FieldType(1), ' ');
  EXPECT_EQ(ErrorMsg, "No database in use [FieldType()]  WorkArea = 9");
  EXPECT_EQ(engine::FieldNo("NAME"), 0);
  EXPECT_EQ(engine::Peek(1, 1), "");
  EXPECT_EQ(ErrorCode, 215);
}

TEST_F(FieldAccessTest, PeekReadsTheFileAndPokeWritesIt) {
  struct Case {
    uint8_t n;
    int32_t rec;
    std::string expected;
  };
  for (const Case& c : {Case{0, 2, "*"}, Case{0, 1, " "}, Case{1, 1, "ab   "},
                        Case{2, 1, "19990315"}, Case{7, 1, ""}, Case{1, 0, ""}, Case{1, 3, ""}}) {
    ErrorCode = 0;
    EXPECT_EQ(engine::Peek(c.n, c.rec), c.expected) << int{c.n} << "," << c.rec;
    EXPECT_EQ(ErrorCode, 0);
  }

  engine::Poke("QQ", 1, 2);  // exclusive: no lock needed; the rest of the field stays
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  engine::Poke("Q", 1, 3);  // out of range: nothing
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(engine::Peek(1, 2), "QQ   ");
  const std::string path = dir_ / "mix.dbf";
  EXPECT_NE(ReadFileBytes(path).find("*QQ   "), std::string::npos);
}

TEST_F(FieldAccessTest, PeekCacheServesWholeRecordsAndPokeKeepsItCurrent) {
  const std::string path = dir_ / "mix.dbf";
  engine::PeekCacheSize = 100;  // two 37-byte records
  EXPECT_EQ(engine::Peek(1, 1), "ab   ");
  // Changed behind the engine's back: the cached block still answers.
  std::string bytes = ReadFileBytes(path);
  const size_t at = bytes.find("ab   ");
  bytes.replace(at, 5, "cd   ");
  testing_support::WriteFileBytes(path, bytes);
  EXPECT_EQ(engine::Peek(1, 1), "ab   ");
  EXPECT_EQ(engine::Peek(0, 2), "*");
  engine::PeekCacheSize = 0;
  EXPECT_EQ(engine::Peek(1, 1), "cd   ");
  engine::PeekCacheSize = 100;
  engine::Poke("QQ", 1, 2);
  EXPECT_EQ(engine::Peek(1, 2), "QQ   ");
  EXPECT_EQ(engine::Peek(1, 1), "ab   ");

  engine::ReleasePeekCache({});
  engine::SetFreeHeapForTest(40);
  EXPECT_EQ(engine::Peek(1, 1), "");
  EXPECT_EQ(ErrorCode, 217);
  EXPECT_EQ(ErrorMsg, "Insufficient memory for cache [Peek]");
  engine::SetFreeHeapForTest(-1);
}

TEST_F(FieldAccessTest, PokeInASharedAreaNeedsTheRecordLock) {
  MakeTable(dir_ / "shared.dbf", {{"NAME", 'C', 3, 0}}, {" abc", " def"});
  engine::Select(2);
  engine::USE(dir_.path() + "shared", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0);
  engine::Poke("X", 1, 1);
  EXPECT_EQ(ErrorCode, 1200);
  EXPECT_EQ(ErrorMsg, "Record not locked [Poke(X,1,1)]");
  ASSERT_TRUE(engine::ALock());
  engine::Poke("X", 1, 1);
  EXPECT_EQ(ErrorCode, 1200) << "the append lock is not enough";
  engine::Unlock();
  ASSERT_TRUE(engine::RLock());  // record 1, where USE stands
  engine::Poke("X", 1, 1);
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(engine::Peek(1, 1), "Xbc");
}

}  // namespace
