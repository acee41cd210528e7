// Memo pack, memo copy and text memos: the pack's byte layouts in both generations, a seeded
// model run of rewrites and a pack, the failures that must leave both files as they were, the
// copy cases between generations and the text memo.
#include "engine/memo_pack.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/memo_device.h"
#include "engine/memo_file.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/paths.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/memo_layout.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Lines = std::vector<std::string>;
using namespace testing_support::memo;

std::string Ref10(int32_t ref) { return IntToStrW(ref, 10); }

class MemoPackTest : public testing_support::EngineTest {
 protected:
  // Creates <name>.dbf (NAME C(8), NOTE M) in `version` with block size `b`, puts `memo` in its
  // memo file (when not empty), opens it in the current area (exclusive unless `shared`) and
  // appends one record per entry of `fields`, each the memo field's text. Returns the memo
  // file's path.
  std::string Table(const std::string& name, uint32_t version, uint16_t b, const std::string& memo,
                    const std::vector<std::string>& fields, bool shared = false) {
    MemoVersion = version;
    MemoBlockSize = b;
    std::vector<TFieldDef> defs = {{"NAME", 'C', 8, 0}, {"NOTE", 'M', 10, 0}};
    TDbfFileRec t;
    CreateDBF(t, dir_ / (name + ".dbf"), 2, defs);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    const std::string path = dir_ / (name + ".DBT");
    if (!memo.empty()) WriteFileBytes(path, memo);
    USE(dir_ / (name + ".dbf") + " EXCLUSIVE", nullptr, 0);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    for (const std::string& field : fields) {
      Append();
      Poke(field, 2, RecNo());
      EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    if (shared) USE(dir_ / (name + ".dbf"), nullptr, 0);
    return path;
  }

  static int32_t FieldRefOf(int32_t r) { return TextToLong(Peek(2, r)); }

  static std::vector<std::string> Fields() {
    std::vector<std::string> out;
    for (int32_t r = 1; r <= RecCount(); ++r) out.push_back(Peek(2, r));
    return out;
  }

  // Reads memo `ref` of the current area through the text device.
  static Lines Read(int32_t ref) {
    TMemoDevice f;
    Lines lines;
    EXPECT_TRUE(f.Assign(ref));
    EXPECT_EQ(f.Reset(), 0) << ErrorMsg;
    std::string line;
    while (!f.Eof()) {
      f.ReadLn(line);
      lines.push_back(line);
    }
    f.Close();
    return lines;
  }

  static int Write(int32_t& ref, const Lines& lines) {
    TMemoDevice f;
    EXPECT_TRUE(f.Assign(ref));
    int code = f.Rewrite();
    for (const std::string& line : lines) {
      if (code == 0) code = f.WriteLn(line);
    }
    const int close = f.Close();
    return code != 0 ? code : close;
  }
};

// ---- Pack layouts --------------------------------------------------------------------------

TEST_F(MemoPackTest, Generation131PackIsByteExact) {
  const std::string one = Blocks("memo one\r\n\x1A", 512);
  const std::string three = Blocks("memo three\r\n\x1A", 512);
  const std::string memo =
      Table("pack", 131, 512, Header131(4) + one + Blocks("abandoned\x1A", 512) + three,
            {Ref10(1), std::string(10, ' '), Ref10(3), Ref10(0)});
  ASSERT_EQ(MemoHooks.PackMemoFile, &PackMemoFile);
  MemoHooks.PackMemoFile();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;

  const std::string packed = ReadFileBytes(memo);
  EXPECT_EQ(packed, Header131(4) + one + three + "\x1A");
  EXPECT_EQ(packed.size(), 1537u);
  // A blank or zero field is left as it was.
  EXPECT_EQ(Fields(), (std::vector<std::string>{"         1", std::string(10, ' '), "         2",
                                                "         0"}));
  EXPECT_EQ(Read(2), Lines{"memo three"});
  EXPECT_FALSE(platform::PathExists(dir_ / "pack.$$$"));
}

TEST_F(MemoPackTest, Generation139PackConvertsAndCopiesWholeBlocks) {
  const std::string twenty = "twenty bytes of text";
  const std::string long_text(992, 'L');  // stored length 1000: two blocks of 512
  const std::string file = Header139(6, "CONV", 512) + Blocks(twenty + "\x1A", 512) +
                           HeaderMemo(long_text) + std::string(24, '\0') +
                           Blocks("abandoned\x1A", 512) + Blocks(HeaderMemo("binary"), 512);
  ASSERT_EQ(file.size(), 6u * 512);
  const std::string memo = Table("conv", 139, 512, file, {Ref10(1), Ref10(2), Ref10(-5)});
  // The pack follows the file, not the globals.
  MemoVersion = 131;
  MemoBlockSize = 1024;
  PackMemoFile();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;

  const std::string packed = ReadFileBytes(memo);
  std::string header = U32(5) + U32(0) + "conv";
  header.resize(18, '\0');
  header += U16(258) + U16(512) + U16(0);
  EXPECT_EQ(packed.substr(0, 24), header);
  EXPECT_EQ(packed.substr(24, 512 - 24), std::string(512 - 24, '\0'));
  // The plain memo became a block-header memo of stored length 28, its text at byte 8.
  EXPECT_EQ(packed.substr(512, 512), Blocks(HeaderMemo(twenty), 512));
  EXPECT_EQ(packed.substr(1024, 1024), file.substr(1024, 1024));
  EXPECT_EQ(packed.substr(2048), Blocks(HeaderMemo("binary"), 512));
  EXPECT_EQ(Fields(), (std::vector<std::string>{Ref10(1), Ref10(2), Ref10(-4)}));
  EXPECT_EQ(Read(1), Lines{twenty});
  EXPECT_EQ(Read(2), (Lines{long_text.substr(0, 254), long_text.substr(254, 254),
                            long_text.substr(508, 254), long_text.substr(762)}));
  EXPECT_EQ(Read(-4), Lines{"(BLOB)"});
}

TEST_F(MemoPackTest, Generation131KeepsBlockHeaderMemosWholeAndBlobsGetHeaders) {
  // A block-header memo in a generation-131 file may hold 0x1A; a BLOB gets a block header.
  const std::string inner = "before\x1A" + std::string(600, 'a');  // two blocks
  const std::string memo =
      Table("old", 131, 512,
            Header131(5) + Blocks(HeaderMemo(inner), 512) + Blocks("dropped\x1A", 512) +
                Blocks(std::string("\x01\x02\x1A", 3), 512),
            {Ref10(-4), Ref10(1)});
  const Lines text = Read(1);
  PackMemoFile();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  const std::string packed = ReadFileBytes(memo);
  EXPECT_EQ(packed, Header131(5) + Blocks(HeaderMemo(std::string("\x01\x02", 2)), 512) +
                        Blocks(HeaderMemo(inner), 512) + "\x1A");
  EXPECT_EQ(Fields(), (std::vector<std::string>{Ref10(-1), Ref10(2)}));
  EXPECT_EQ(Read(2), text);
}

// A changed block size in the header after the open is read within the pack's buffer (checked
// by the sanitizer build).
TEST_F(MemoPackTest, HeaderBlockSizeChangedAfterOpenStaysInBuffer) {
  const std::string memo = Table(
      "grown", 139, 512,
      Header139(3, "GROWN", 512) + Blocks(HeaderMemo("first"), 512) + Blocks("plain text\x1A", 512),
      {Ref10(1), Ref10(2)});
  std::string file = ReadFileBytes(memo);
  PutU16LE(file.data() + 20, 4096);
  WriteFileBytes(memo, file);
  PackMemoFile();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
}

// ---- Seeded model: rewrites, then a pack ---------------------------------------------------

TEST_F(MemoPackTest, SeededModelPacksEveryMemoAndWritesGoOn) {
  for (const uint32_t version : {131u, 139u}) {
    SCOPED_TRACE(version);
    CloseAll();
    const uint16_t b = version == 139 ? 64 : 512;
    const std::string name = "model" + std::to_string(version);
    constexpr int kRecords = 250;
    const std::string memo = Table(name, version, b, {}, std::vector<std::string>(kRecords, ""));
    std::mt19937 rng(7 + version);
    auto random_lines = [&] {
      Lines lines(std::uniform_int_distribution<int>(0, 4)(rng));
      for (std::string& line : lines) {
        line.assign(std::uniform_int_distribution<size_t>(0, 200)(rng), ' ');
        for (char& c : line) c = static_cast<char>('a' + rng() % 26);
      }
      return lines;
    };
    std::map<int32_t, Lines> texts;
    auto write = [&](int32_t r) {
      int32_t ref = FieldRefOf(r);
      const Lines lines = random_lines();
      ASSERT_EQ(Write(ref, lines), 0) << ErrorMsg;
      Poke(Ref10(ref), 2, r);
      texts[r] = lines;
    };
    for (int32_t r = 1; r <= kRecords; ++r) write(r);
    for (int step = 0; step < 300; ++step) write(1 + static_cast<int32_t>(rng() % kRecords));
    const size_t before = ReadFileBytes(memo).size();
    if (version == 139) {
      EXPECT_LT(U32At(ReadFileBytes(memo), 0), before / b);  // a free run
    }

    PackMemoFile();
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    const std::string packed = ReadFileBytes(memo);
    EXPECT_LE(packed.size(), before);
    EXPECT_EQ(U32At(packed, 0), (packed.size() + b - 1) / b);
    for (int32_t r = 1; r <= kRecords; ++r) {
      ASSERT_EQ(Read(FieldRefOf(r)), texts[r]) << "record " << r;
    }
    // Writing goes on: a rewrite, a new memo and a text memo all read back.
    write(1);
    int32_t fresh = 0;
    ASSERT_EQ(Write(fresh, {"fresh"}), 0);
    const int32_t text = WriteTextMemo("text memo\r\nline two");
    ASSERT_GT(text, 0) << ErrorMsg;
    EXPECT_EQ(Read(FieldRefOf(1)), texts[1]);
    EXPECT_EQ(Read(fresh), Lines{"fresh"});
    EXPECT_EQ(Read(text), (Lines{"text memo", "line two"}));
  }
}

// ---- Failures leave both files as they were ------------------------------------------------

struct PackFailure {
  const char* name;
  bool shared;
  std::vector<std::string> fields;
  int64_t free_bytes;  // -1: the real figure
  uint16_t code;
  std::string tail;  // ErrorMsg without the memo file name
};

TEST_F(MemoPackTest, FailuresLeaveTableAndMemoFileUntouched) {
  const std::vector<PackFailure> cases = {
      {"low_disk", false, {Ref10(1)}, 1500 * 1024, 1012, " [PackMemoFile]"},
      {"shared_area", true, {Ref10(1)}, -1, 225, " [PackMemoFile]"},
      {"bad_block_in_record_2",
       false,
       {Ref10(1), Ref10(99), Ref10(2)},
       -1,
       1003,
       " Memo block # 99 Record # 2 [PackMemo]"},
  };
  for (const PackFailure& c : cases) {
    SCOPED_TRACE(c.name);
    CloseAll();
    std::string file = Header131(3) + Blocks("kept one\x1A", 512) + Blocks("kept two\x1A", 512);
    if (c.free_bytes >= 0) file.resize(2000000, '\0');
    const std::string memo = Table(c.name, 131, 512, file, c.fields, c.shared);
    const std::string table = dir_ / (std::string(c.name) + ".dbf");
    const std::string table_bytes = ReadFileBytes(table);
    if (c.free_bytes >= 0) platform::SetTestDiskFreeBytes(c.free_bytes);
    ErrorCode = 0;
    PackMemoFile();
    platform::ClearTestDiskFreeBytes();
    EXPECT_EQ(ErrorCode, c.code);
    EXPECT_EQ(ErrorMsg, CurrentMemoFile()->MemoName + c.tail);
    EXPECT_EQ(ReadFileBytes(table), table_bytes);
    EXPECT_EQ(ReadFileBytes(memo), file);
    EXPECT_EQ(Read(1), Lines{"kept one"});
  }
}

// Set by the record hook below: the pack file to take away before it is renamed.
std::string g_pack_file;
uint16_t g_record_len = 0;

void TakePackFileAway(uint8_t*, uint16_t len) {
  if (len == g_record_len && !g_pack_file.empty()) ::unlink(g_pack_file.c_str());
}

TEST_F(MemoPackTest, FailedRenameGivesRecordsTheirOldNumbersBack) {
  const std::string file = Header131(5) + Blocks("gone\x1A", 512) + Blocks("two\x1A", 512) +
                           Blocks("gone\x1A", 512) + Blocks("four\x1A", 512);
  const std::string memo = Table("rename", 131, 512, file, {Ref10(2), Ref10(4)});
  const std::string table = dir_ / "rename.dbf";
  const std::string table_bytes = ReadFileBytes(table);
  // The records are rewritten through the table's hooks; the first record write takes the pack
  // file away, so the rename after the last one fails.
  TDbfFileRec& t = CurrentWorkArea()->Dbf;
  g_pack_file = dir_ / "rename.$$$";
  g_record_len = static_cast<uint16_t>(t.RecLen - 1);
  t.AfterAccessProc = [](uint8_t*, uint16_t) {};
  t.BeforeWriteProc = &TakePackFileAway;
  PackMemoFile();
  g_pack_file.clear();
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(ErrorMsg, CurrentMemoFile()->MemoName);
  EXPECT_EQ(ReadFileBytes(table), table_bytes);
  EXPECT_EQ(ReadFileBytes(memo), file);
  EXPECT_EQ(Read(4), Lines{"four"});
}

// The table's record hooks see the records and the memo blocks of a pack.
void Scramble(uint8_t* data, uint16_t len) {
  for (uint16_t i = 0; i < len; ++i) data[i] ^= 0x5A;
}

TEST_F(MemoPackTest, PackPassesRecordsAndBlocksThroughTheHooks) {
  const std::string memo = Table("hooked", 139, 64, {}, {"", "", ""});
  TDbfFileRec& t = CurrentWorkArea()->Dbf;
  t.BeforeWriteProc = &Scramble;
  t.AfterAccessProc = &Scramble;
  std::vector<int32_t> refs(3, 0);
  const Lines secret = {"secret text " + std::string(100, 's')};
  for (int32_t r = 1; r <= 3; ++r) {
    ASSERT_EQ(Write(refs[r - 1], {"first draft"}), 0);
    if (r != 2) {
      ASSERT_EQ(Write(refs[r - 1], secret), 0);  // moves; its old run is freed
    }
    GetDbfRecord(t, r);
    const std::string text = Ref10(refs[r - 1]);
    std::copy(text.begin(), text.end(), t.RecBuf.begin() + t.Fields[1].Offset);
    PutDbfRecord(t, r);
  }
  GO(1);
  PackMemoFile();
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(RecNo(), 1);
  EXPECT_EQ(ReadFileBytes(memo).find("secret"), std::string::npos);
  const std::vector<int32_t> expected = {1, 3, 4};  // 122 bytes take two blocks of 64
  for (int32_t r = 1; r <= 3; ++r) {
    GetDbfRecord(t, r);
    const std::string field(t.RecBuf.begin() + t.Fields[1].Offset,
                            t.RecBuf.begin() + t.Fields[1].Offset + 10);
    EXPECT_EQ(field, Ref10(expected[r - 1]));
    EXPECT_EQ(Read(expected[r - 1]), r == 2 ? Lines{"first draft"} : secret);
  }
}

TEST_F(MemoPackTest, PackAndCopyTestTheirAreasFirst) {
  Select(4);
  PackMemoFile();
  EXPECT_EQ(ErrorCode, 215);
  EXPECT_EQ(ErrorMsg, " [PackMemoFile]");
  std::vector<TFieldDef> plain = {{"NAME", 'C', 8, 0}};
  TDbfFileRec t;
  CreateDBF(t, dir_ / "plain.dbf", 1, plain);
  USE(dir_ / "plain.dbf EXCLUSIVE", nullptr, 0);
  ErrorCode = 0;
  PackMemoFile();
  EXPECT_EQ(ErrorCode, 1019);
  int32_t ref = 1;
  ErrorCode = 0;
  EXPECT_EQ(CopyMemo(4, ref), 0);
  EXPECT_EQ(ErrorCode, 1019);
  EXPECT_EQ(ErrorMsg, CurrentWorkArea()->Dbf.FileName + " No Memo Field [AppendFrom/CopyTo]");
  EXPECT_FALSE(platform::PathExists(dir_ / "plain.$$$"));
}

// ---- Copy ----------------------------------------------------------------------------------

struct CopyCase {
  const char* name;
  uint32_t src_version;
  uint16_t src_block;
  std::string src_file;
  int32_t ref;
  uint32_t dst_version;
  int32_t result;
  std::string at_block;  // the destination's bytes from the result's block on
  uint16_t code = 0;
};

TEST_F(MemoPackTest, CopyMemoCases) {
  const std::string twenty = "twenty bytes of text";
  const std::string three_blocks = std::string(64, 'a') + std::string(64, 'b') + "ccc";
  const std::vector<CopyCase> cases = {
      {"plain_into_131", 131, 512, Header131(2) + Blocks("abc\x1A", 512), 1, 131, 1, "abc\x1A"},
      {"plain_into_139", 131, 512, Header131(2) + Blocks("abc\x1A", 512), 1, 139, 1,
       Blocks(U16(0xFFFF) + U16(8) + U32(11) + "abc\x1A", 512)},
      {"three_block_plain_from_139_whole", 139, 64,
       Header139(4, "SRC", 64) + Blocks(three_blocks + "\x1A", 64), 1, 131, 1,
       three_blocks + "\x1A"},
      {"header_memo_into_131_by_length", 139, 512,
       Header139(2, "SRC", 512) + Blocks(HeaderMemo(twenty) + "junk\x1A", 512), 1, 131, 1,
       twenty + "\x1A"},
      {"header_memo_with_1a_from_131_whole", 131, 512,
       Header131(2) + Blocks(HeaderMemo("x\x1Ay"), 512), 1, 139, 1,
       Blocks(HeaderMemo("x\x1Ay"), 512)},
      {"blob_stays_negative", 131, 512,
       Header131(3) + std::string(512, '\0') + Blocks("bin\x1A", 512), -2, 131, -1, "bin\x1A"},
      {"outside_the_source", 131, 512, Header131(2) + Blocks("abc\x1A", 512), 9, 131, 0, "", 1003},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const CopyCase& c = cases[i];
    SCOPED_TRACE(c.name);
    CloseAll();
    Select(1);
    Table("src" + std::to_string(i), c.src_version, c.src_block, c.src_file, {});
    Select(2);
    const std::string dst_memo = Table("dst" + std::to_string(i), c.dst_version, 512, {}, {});
    const std::string dst_before = ReadFileBytes(dst_memo);
    int32_t ref = c.ref;
    ErrorCode = 0;
    ASSERT_EQ(MemoHooks.CopyMemo, &CopyMemo);
    EXPECT_EQ(MemoHooks.CopyMemo(1, ref), c.result);
    EXPECT_EQ(ErrorCode, c.code) << ErrorMsg;
    EXPECT_EQ(ref, c.ref < 0 ? -c.ref : c.ref);
    const std::string after = ReadFileBytes(dst_memo);
    if (c.code != 0) {
      EXPECT_EQ(ErrorMsg, CurrentMemoFile()->MemoName + " [AppendFrom/CopyTo]");
      EXPECT_EQ(after, dst_before);
      continue;
    }
    const int32_t block = c.result < 0 ? -c.result : c.result;
    EXPECT_EQ(after.substr(static_cast<size_t>(block) * 512), c.at_block);
    EXPECT_EQ(U32At(after, 0), (after.size() + 511) / 512);
  }
}

TEST_F(MemoPackTest, CopyMemoZeroMissingSourceAndAbandonedCount) {
  Select(1);
  const std::string src = Table("source", 131, 512, {}, {""});
  int32_t long_ref = 0;
  ASSERT_EQ(Write(long_ref, {std::string(700, 'l')}), 0);  // two blocks
  Select(3);
  std::vector<TFieldDef> plain = {{"NAME", 'C', 8, 0}};
  TDbfFileRec t;
  CreateDBF(t, dir_ / "plain.dbf", 1, plain);
  USE(dir_ / "plain.dbf", nullptr, 0);
  Select(2);
  const std::string dst = Table("dest", 131, 512, {}, {""});
  int32_t small = 0;
  ASSERT_EQ(Write(small, {"small"}), 0);
  const std::string src_before = ReadFileBytes(src);
  const std::string dst_before = ReadFileBytes(dst);

  int32_t zero = 0;
  EXPECT_EQ(CopyMemo(1, zero), 0);
  EXPECT_EQ(ReadFileBytes(src), src_before);
  EXPECT_EQ(ReadFileBytes(dst), dst_before);

  int32_t ref = 1;
  EXPECT_EQ(CopyMemo(3, ref), 0);
  EXPECT_EQ(ErrorCode, 1019);
  EXPECT_EQ(ReadFileBytes(dst), dst_before);

  // The last GetMemo read two blocks of another memo: the copy gives up none of its own.
  Select(1);
  ASSERT_EQ(Read(long_ref).size(), 3u);
  Select(2);
  ErrorCode = 0;
  EXPECT_EQ(CopyMemo(1, long_ref), 2);
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(U32At(ReadFileBytes(dst), 32), U32At(dst_before, 32));
  EXPECT_EQ(Read(2).front(), std::string(254, 'l'));
}

// ---- Text memos ----------------------------------------------------------------------------

TEST_F(MemoPackTest, WriteTextMemoInBothGenerations) {
  const std::string old_memo = Table("text131", 131, 512, {}, {});
  const std::string old_before = ReadFileBytes(old_memo);
  ASSERT_EQ(MemoHooks.WriteTextMemo, &WriteTextMemo);
  EXPECT_EQ(MemoHooks.WriteTextMemo(" \t\r\n "), 0);
  EXPECT_EQ(ReadFileBytes(old_memo), old_before);
  EXPECT_EQ(WriteTextMemo("one\r\ntwo"), 1);
  EXPECT_EQ(ReadFileBytes(old_memo), U32(2) + old_before.substr(4, 508) + "one\r\ntwo\x1A");

  // Generation 139 takes its blocks from the free list, whatever the globals say.
  Select(2);
  const std::string memo = Table("text139", 139, 64, {}, {});
  int32_t a = 0, b = 0;
  ASSERT_EQ(Write(a, {"short"}), 0);
  ASSERT_EQ(Write(b, {"b"}), 0);
  ASSERT_EQ(Write(a, {std::string(100, 'x')}), 0);  // block 1 is freed
  MemoVersion = 131;
  DbfSignature1 = 0x03;
  const int32_t text = WriteTextMemo("in the free run");
  DbfSignature1 = 0;
  EXPECT_EQ(text, 1);
  const std::string file = ReadFileBytes(memo);
  EXPECT_EQ(file.substr(64, 64), Blocks(HeaderMemo("in the free run"), 64));
  EXPECT_EQ(U32At(file, 0), file.size() / 64);  // the list is empty again
  int32_t c = 0;
  ASSERT_EQ(Write(c, {"after"}), 0);
  EXPECT_EQ(Read(text), Lines{"in the free run"});
  EXPECT_EQ(Read(c), Lines{"after"});
  EXPECT_EQ(Read(a), Lines{std::string(100, 'x')});
}

}  // namespace
