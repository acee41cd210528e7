// Memo files: new files, writing in both generations, the read cases, word wrap, the free list
// (with a seeded model run through the text device), foreign files built from the public
// layout, the memo lock between processes and the failure paths.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/memo_device.h"
#include "engine/memo_file.h"
#include "engine/work_area.h"
#include "platform/core/file.h"
#include "platform/core/paths.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/memo_layout.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Lines = std::vector<std::string>;
using namespace testing_support::memo;

// The whole file in one read (the model test reads it after every step).
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

class MemoTest : public testing_support::EngineTest {
 protected:
  // Creates <name>.dbf (NAME C(8), NOTE M) in generation `version` with block size `b`, one
  // blank record, and opens it shared. Returns the memo file's path.
  std::string MakeTable(const std::string& name, uint32_t version = 131, uint16_t b = 512) {
    const std::string memo = CreateTable(name, version, b);
    Open(name);
    return memo;
  }

  std::string CreateTable(const std::string& name, uint32_t version, uint16_t b) {
    MemoVersion = version;
    MemoBlockSize = b;
    std::vector<TFieldDef> fields = {{"NAME", 'C', 8, 0}, {"NOTE", 'M', 10, 0}};
    TDbfFileRec t;
    CreateDBF(t, dir_ / (name + ".dbf"), 2, fields);
    EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
    return dir_ / (name + ".DBT");
  }

  void Open(const std::string& name) {
    USE(dir_ / (name + ".dbf"), nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    ASSERT_NE(CurrentMemoFile(), nullptr);
  }

  // Writes `lines` as the memo `ref` holds, through the text device; returns the I/O code.
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

  // Reads memo `ref` through the text device.
  static Lines Read(int32_t ref, int* code = nullptr) {
    TMemoDevice f;
    Lines lines;
    EXPECT_TRUE(f.Assign(ref));
    const int rc = f.Reset();
    if (code != nullptr) *code = rc;
    std::string line;
    while (rc == 0 && !f.Eof()) {
      EXPECT_EQ(f.ReadLn(line), 0);
      lines.push_back(line);
    }
    if (rc == 0) f.Close();
    return lines;
  }
};

// ---- New files and generation-131 writes -------------------------------------------------

TEST_F(MemoTest, NewFilesAreByteExact) {
  MemoVersion = 131;
  MemoBlockSize = 512;
  CreateMemoFile(dir_ / "old.dbf");
  std::string expected(513, '\0');
  expected[0] = 1;
  expected[512] = 0x1A;
  EXPECT_EQ(ReadFileBytes(dir_ / "old.DBT"), expected);

  MemoVersion = 139;
  MemoBlockSize = 64;
  CreateMemoFile(dir_ / "questions.dbf");
  EXPECT_EQ(ReadFileBytes(dir_ / "questions.DBT"),
            U32(1) + U32(0) + "question" + U16(0) + U16(258) + U16(64) + U16(0));
  EXPECT_EQ(ErrorCode, 0);

  // The table's own creation writes the same first bytes.
  const std::string memo = CreateTable("questions", 139, 64);
  EXPECT_EQ(ReadFileBytes(memo), ReadFileBytes(dir_ / "questions.DBT"));
}

TEST_F(MemoTest, Generation131WritesAreByteExact) {
  const std::string memo = MakeTable("plain");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"Hello"}), 0) << ErrorMsg;
  EXPECT_EQ(ref, 1);
  std::string expected = Header131(2) + Blocks("Hello\r\n\x1A", 512);
  EXPECT_EQ(ReadFileBytes(memo), expected);

  // A text that fits its block is written over the old one.
  ASSERT_EQ(Write(ref, {"Bye"}), 0);
  EXPECT_EQ(ref, 1);
  expected = Header131(2) + Blocks("Bye\r\n\x1A", 512);
  EXPECT_EQ(ReadFileBytes(memo), expected);

  // One that does not fit is appended at block 2; its old block is counted as abandoned.
  const std::string long_line(600, 'x');
  ASSERT_EQ(Write(ref, {long_line}), 0);
  EXPECT_EQ(ref, 2);
  const std::string file = ReadFileBytes(memo);
  ASSERT_EQ(file.size(), 2048u);
  EXPECT_EQ(U32At(file, 0), 4u);
  EXPECT_EQ(U32At(file, 32), 1u);
  EXPECT_EQ(file.substr(1024), Blocks(long_line + "\r\n\x1A", 512));
  EXPECT_EQ(Read(ref),
            (Lines{long_line.substr(0, 254), long_line.substr(254, 254), long_line.substr(508)}));

  // Writing nothing stores reference 0.
  ASSERT_EQ(Write(ref, {}), 0);
  EXPECT_EQ(ref, 0);
  EXPECT_EQ(U32At(ReadFileBytes(memo), 32), 3u);
}

// ---- Reading -----------------------------------------------------------------------------

struct ReadCase {
  const char* name;
  std::string memo;  // bytes at block 1 (the end of the file follows)
  int32_t ref;
  Lines expected;
};

TEST_F(MemoTest, ReadCases) {
  const std::string a254(254, 'a');
  std::string words;  // 300 characters of words
  while (words.size() < 300) words += "word ";
  words.resize(300);
  const std::vector<ReadCase> cases = {
      {"plain memo ends at 0x1A",
       "one\r\ntwo\x1A"
       "three",
       1,
       {"one", "two"}},
      {"plain memo ends at 0x03", "one\x03two\x1A", 1, {"one"}},
      {"header memo gives its length even with 0x1A inside",
       HeaderMemo("a\x1A"
                  "b\r\nc") +
           "junk",
       1,
       {"a\x1A"
        "b",
        "c"}},
      {"header memo ends at 0x03",
       HeaderMemo("ab\x03"
                  "cd"),
       1,
       {"ab"}},
      {"negative reference reads as (BLOB)", "binary\x1A", -1, {"(BLOB)"}},
      {"300 characters without blanks",
       std::string(300, 'z') + "\x1A",
       1,
       {std::string(254, 'z'), std::string(46, 'z')}},
      {"a long line breaks after its last blank",
       words + "\x1A",
       1,
       {words.substr(0, 250), words.substr(250)}},
      {"a line of exactly 254 keeps its break", a254 + "\r\nx\r\n\x1A", 1, {a254, "x"}},
      {"CR without LF is a break", "a\rb\x1A", 1, {"a", "b"}},
      {"0x8D LF is a soft break", "a\x8D\nb\x1A", 1, {"a", "b"}},
      {"a lone 0x8D is a letter",
       "a\x8D"
       "b\r\n\x1A",
       1,
       {"a\x8D"
        "b"}},
      {"empty lines stay", "\r\na\r\n\r\n\x1A", 1, {"", "a", ""}},
      {"the end of the file ends an unterminated memo", "tail", 1, {"tail"}},
      {"a short last memo without padding", "hi\x1A", 1, {"hi"}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    CloseAll();
    CreateTable("read", 131, 512);
    WriteFileBytes(dir_ / "read.DBT", Header131(5) + c.memo);
    Open("read");
    int code = -1;
    EXPECT_EQ(Read(c.ref, &code), c.expected);
    EXPECT_EQ(code, 0) << ErrorMsg;
  }
}

TEST_F(MemoTest, EmptyAndMissingMemos) {
  MakeTable("gaps");
  TMemoDevice f;
  int32_t ref = 0;
  ASSERT_TRUE(f.Assign(ref));
  ASSERT_EQ(f.Reset(), 0);
  EXPECT_TRUE(f.Eof());
  std::string line = "x";
  EXPECT_EQ(f.ReadLn(line), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(f.Close(), 0);

  // A block past the end of the file.
  int code = 0;
  EXPECT_TRUE(Read(7, &code).empty());
  EXPECT_EQ(code, 100);
  EXPECT_EQ(ErrorCode, 1003);
  EXPECT_NE(ErrorMsg.find(" Record # 0 [GetMemo]"), std::string::npos) << ErrorMsg;
}

TEST_F(MemoTest, MemoWrapKeepsLinesWithinTheWidthAndParagraphs) {
  std::string para;
  for (int i = 0; i < 40; ++i) para += "word" + std::to_string(i) + (i % 7 == 6 ? "\r\n" : " ");
  const std::string text = para + "\r\n\r\n" + para;  // two paragraphs, a blank line between
  CreateTable("wrap", 131, 512);
  WriteFileBytes(dir_ / "wrap.DBT", Header131(9) + text + "\x1A");
  Open("wrap");
  MemoWrap = true;
  const Lines lines = Read(1);
  ASSERT_GT(lines.size(), 4u);
  std::string joined;
  int blank_lines = 0;
  for (const std::string& l : lines) {
    EXPECT_LE(l.size(), 79u) << l;
    if (l.empty()) ++blank_lines;
    joined += l + (l.empty() || l.back() == ' ' ? "" : " ");
  }
  EXPECT_EQ(blank_lines, 1);
  // Nothing but the breaks changed: the words come back in order.
  std::string flat = text;
  for (char& c : flat) c = (c == '\r' || c == '\n') ? ' ' : c;
  auto squeeze = [](std::string s) {
    std::string out;
    for (char c : s) {
      if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  };
  EXPECT_EQ(squeeze(joined), squeeze(flat));
}

// ---- Foreign files -----------------------------------------------------------------------

TEST_F(MemoTest, ForeignDbase3MemosRead) {
  // dBASE III writes each memo as text, two 0x1A and whole blocks; block 1 is filled exactly.
  const std::string full(510, 'f');
  const std::string file = Header131(4) + full + "\x1A\x1A" +
                           Blocks("Line one\r\nLine two\r\n\x1A\x1A", 512) +
                           Blocks("Third memo\x1A\x1A", 512);
  CreateTable("d3", 131, 512);
  WriteFileBytes(dir_ / "d3.DBT", file);
  Open("d3");
  EXPECT_EQ(Read(1), (Lines{std::string(254, 'f'), std::string(254, 'f'), std::string(2, 'f')}));
  EXPECT_EQ(Read(2), (Lines{"Line one", "Line two"}));
  EXPECT_EQ(Read(3), Lines{"Third memo"});

  // A new memo goes to the end; the foreign memos stay as they were.
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"new"}), 0);
  EXPECT_EQ(ref, 4);
  const std::string after = ReadFileBytes(dir_ / "d3.DBT");
  EXPECT_EQ(after.substr(512, 1536), file.substr(512));
  EXPECT_EQ(U32At(after, 0), 5u);
}

TEST_F(MemoTest, ForeignDbase4MemosReadAndAppend) {
  // dBASE IV: header with name and block size, block-header memos; memo 1 fills its block.
  const std::string exact(504, 'e');
  const std::string file = Header139(4, "D4", 512) + HeaderMemo(exact) +
                           Blocks(HeaderMemo("Hello\r\nWorld"), 512) +
                           Blocks(HeaderMemo("x\x1Ay"), 512);
  CreateTable("d4", 139, 512);
  WriteFileBytes(dir_ / "d4.DBT", file);
  Open("d4");
  EXPECT_EQ(Read(1), (Lines{std::string(254, 'e'), std::string(250, 'e')}));
  EXPECT_EQ(Read(2), (Lines{"Hello", "World"}));
  EXPECT_EQ(Read(3), Lines{"x\x1Ay"});

  // Rewriting memo 2 in place keeps the others; a new memo goes to the end of the file.
  int32_t two = 2;
  ASSERT_EQ(Write(two, {"Changed"}), 0);
  EXPECT_EQ(two, 2);
  int32_t fresh = 0;
  ASSERT_EQ(Write(fresh, {"Fresh"}), 0);
  EXPECT_EQ(fresh, 4);
  const std::string after = ReadFileBytes(dir_ / "d4.DBT");
  EXPECT_EQ(after.substr(512, 512), file.substr(512, 512));
  EXPECT_EQ(after.substr(1536, 512), file.substr(1536, 512));
  EXPECT_EQ(U32At(after, 0), 5u);
  EXPECT_EQ(Read(1).size(), 2u);
  EXPECT_EQ(Read(2), Lines{"Changed"});
  EXPECT_EQ(Read(4), Lines{"Fresh"});
}

// ---- Generation 139: block sizes and the free list ----------------------------------------

// The free list as (block, count) pairs, walked from the header.
std::vector<std::pair<uint32_t, uint32_t>> FreeList(const std::string& file, uint32_t b) {
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  const uint64_t total = (file.size() + b - 1) / b;
  uint64_t cur = U32At(file, 0);
  while (cur < total && runs.size() <= total) {
    runs.emplace_back(static_cast<uint32_t>(cur), U32At(file, cur * b + 4));
    cur = U32At(file, cur * b);
  }
  return runs;
}

TEST_F(MemoTest, EachFileUsesItsOwnBlockSize) {
  const std::string small = MakeTable("small", 139, 64);
  Select(2);
  const std::string big = MakeTable("big", 139, 1024);
  int32_t in_big = 0;
  ASSERT_EQ(Write(in_big, {"in the big file"}), 0);
  Select(1);
  int32_t in_small = 0, second = 0;
  ASSERT_EQ(Write(in_small, {std::string(100, 's')}), 0);
  ASSERT_EQ(Write(second, {"second"}), 0);
  EXPECT_EQ(MemoBlockSize, 64);
  EXPECT_EQ(in_small, 1);
  EXPECT_EQ(second, 3);  // 100 + 2 + 8 bytes take two blocks of 64
  const std::string s = ReadFileBytes(small);
  EXPECT_EQ(s.substr(64, 16), U16(0xFFFF) + U16(8) + U32(110) + std::string(8, 's'));
  EXPECT_EQ(s.substr(3 * 64 + 8, 6), "second");
  EXPECT_EQ(ReadFileBytes(big).substr(1024 + 8, 15), "in the big file");
  Select(2);
  EXPECT_EQ(Read(in_big), Lines{"in the big file"});
  Select(1);
  EXPECT_EQ(Read(second), Lines{"second"});
}

TEST_F(MemoTest, RewritesReuseInPlaceAndTheFreeList) {
  const std::string memo = MakeTable("list", 139, 64);
  int32_t a = 0, b = 0, c = 0;
  ASSERT_EQ(Write(a, {std::string(150, 'a')}), 0);  // 160 bytes: blocks 1-3
  ASSERT_EQ(Write(b, {"b"}), 0);                    // block 4
  ASSERT_EQ(Write(c, {"c"}), 0);                    // block 5
  EXPECT_EQ((std::vector<int32_t>{a, b, c}), (std::vector<int32_t>{1, 4, 5}));
  EXPECT_TRUE(FreeList(ReadFileBytes(memo), 64).empty());

  // Shorter in place: the tail goes to the list.
  ASSERT_EQ(Write(a, {std::string(60, 'A')}), 0);  // 70 bytes: 2 blocks
  EXPECT_EQ(a, 1);
  EXPECT_EQ(FreeList(ReadFileBytes(memo), 64),
            (std::vector<std::pair<uint32_t, uint32_t>>{{3, 1}}));

  // Longer than its run: moved; the old run is freed after the write.
  ASSERT_EQ(Write(b, {std::string(100, 'B')}), 0);  // 110 bytes: 2 blocks, at the end
  EXPECT_EQ(b, 6);
  EXPECT_EQ(FreeList(ReadFileBytes(memo), 64),
            (std::vector<std::pair<uint32_t, uint32_t>>{{3, 1}, {4, 1}}));

  // A one-block memo takes the first free run.
  int32_t d = 0;
  ASSERT_EQ(Write(d, {"d"}), 0);
  EXPECT_EQ(d, 3);
  // Emptying a memo frees its run and gives reference 0.
  ASSERT_EQ(Write(c, {}), 0);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(FreeList(ReadFileBytes(memo), 64),
            (std::vector<std::pair<uint32_t, uint32_t>>{{4, 1}, {5, 1}}));
  // Abandoned count: 1 (tail) + 1 (b's old run) + 1 (c).
  EXPECT_EQ(U32At(ReadFileBytes(memo), 32), 3u);
  EXPECT_EQ(Read(a), Lines{std::string(60, 'A')});
  EXPECT_EQ(Read(b), Lines{std::string(100, 'B')});
  EXPECT_EQ(Read(d), Lines{"d"});
}

TEST_F(MemoTest, DamagedFreeListIsNeverFollowedIntoMemos) {
  const std::string memo = MakeTable("damaged", 139, 64);
  int32_t a = 0;
  ASSERT_EQ(Write(a, {"keep me"}), 0);
  // The header's list points at block 1 (a memo) whose "run" points back to itself.
  std::string file = ReadFileBytes(memo);
  file.replace(0, 4, U32(1));
  WriteFileBytes(memo, file);
  int32_t b = 0;
  ASSERT_EQ(Write(b, {"new"}), 0) << ErrorMsg;
  EXPECT_EQ(b, 2);
  EXPECT_EQ(Read(a), Lines{"keep me"});
  EXPECT_EQ(Read(b), Lines{"new"});
}

// ---- The seeded model run ----------------------------------------------------------------

// Checks the file's block map: memo runs and free runs never overlap, every block belongs to
// one of them (nothing leaks), the list ascends and ends at the end of the file. Returns the
// largest free run.
uint32_t CheckBlockMap(const std::string& file, uint32_t b, const std::map<int, int32_t>& refs) {
  const uint64_t total = (file.size() + b - 1) / b;
  EXPECT_EQ(file.size() % b, 0u);
  std::vector<int> owner(total, -1);
  owner[0] = -2;
  auto claim = [&](uint64_t from, uint64_t count, int who) {
    for (uint64_t k = from; k < from + count; ++k) {
      if (k >= total) {
        ADD_FAILURE() << "run " << from << "+" << count << " passes the end";
        return;
      }
      if (owner[k] != -1) ADD_FAILURE() << "block " << k << " claimed twice";
      owner[k] = who;
    }
  };
  for (const auto& [id, ref] : refs) {
    if (ref == 0) continue;
    const uint32_t stored = U32At(file, ref * b + 4);
    claim(ref, (stored + b - 1) / b, id);
  }
  uint32_t largest = 0;
  uint64_t cur = U32At(file, 0);
  uint64_t prev = 0;
  size_t steps = 0;
  while (cur < total && ++steps <= total) {
    EXPECT_GT(cur, prev);
    const uint32_t count = U32At(file, cur * b + 4);
    claim(cur, count, -3);
    largest = std::max(largest, count);
    prev = cur;
    cur = U32At(file, cur * b);
  }
  EXPECT_EQ(cur, total) << "the last link must point to the end of the file";
  for (uint64_t k = 0; k < total; ++k) EXPECT_NE(owner[k], -1) << "block " << k << " leaked";
  return largest;
}

TEST_F(MemoTest, SeededModelThroughTheTextDevice) {
  for (const uint16_t b : {uint16_t{64}, uint16_t{512}}) {
    SCOPED_TRACE(b);
    CloseAll();
    const std::string name = "model" + std::to_string(b);
    const std::string memo = MakeTable(name, 139, b);
    std::mt19937 rng(20240611u + b);
    const std::string alphabet = "abcdefghij klmnop,.\x1A\x8D\xE9\x82";
    auto random_lines = [&] {
      Lines lines;
      const int n = std::uniform_int_distribution<int>(0, 12)(rng) == 0
                        ? 0
                        : std::uniform_int_distribution<int>(1, 14)(rng);
      for (int i = 0; i < n; ++i) {
        std::string line(std::uniform_int_distribution<size_t>(0, 254)(rng), 'x');
        for (char& ch : line) ch = alphabet[rng() % alphabet.size()];
        if (!line.empty() && line.back() == '\x8D') line.back() = 'z';
        lines.push_back(line);
      }
      return lines;
    };
    constexpr int kMemos = 12;
    std::map<int, int32_t> refs;
    std::map<int, Lines> texts;
    for (int i = 0; i < kMemos; ++i) refs[i] = 0;
    // A new file is only its 24 header bytes until the first memo pads it to a block.
    auto blocks = [&] { return Blocks(Slurp(memo), b); };
    uint32_t largest = CheckBlockMap(blocks(), b, refs);
    for (int step = 0; step < 400; ++step) {
      const int id = static_cast<int>(rng() % kMemos);
      const Lines lines = random_lines();
      size_t bytes = 8;
      for (const std::string& l : lines) bytes += l.size() + 2;
      const uint64_t need = (bytes + b - 1) / b;
      const std::string before = blocks();
      uint64_t have = 0;
      if (refs[id] != 0) have = (U32At(before, refs[id] * b + 4) + b - 1) / b;
      const bool may_grow = !lines.empty() && have < need && largest < need;

      ASSERT_EQ(Write(refs[id], lines), 0) << "step " << step << ": " << ErrorMsg;
      texts[id] = lines;
      const std::string after = blocks();
      if (!may_grow) {
        EXPECT_EQ(after.size(), before.size()) << "step " << step;
      }
      largest = CheckBlockMap(after, b, refs);
      if (HasFailure()) FAIL() << "after step " << step;
      for (int k = 0; k < kMemos; ++k) {
        ASSERT_EQ(Read(refs[k]), texts[k]) << "memo " << k << " after step " << step;
      }
    }
  }
}

// ---- The memo lock between processes -----------------------------------------------------

TEST_F(MemoTest, HeldMemoLockMakesAnotherProcessWriteFail) {
  CreateTable("shared", 139, 512);
  testing_support::Pipe to_child, to_parent;
  const std::string table = dir_ / "shared.dbf";
  testing_support::ChildProcesses kids;
  const pid_t pid = kids.Start([&] {
    ResetEngine();
    AbortOnError = false;
    USE(table, nullptr, 0);
    if (to_child.Get() != 'G') return 2;  // the parent has written its first memo
    const bool locked = ErrorCode == 0 && LockMemo();
    to_parent.Put(locked ? 'L' : 'E');
    if (to_child.Get() != 'U') return 2;
    UnlockMemo();
    to_parent.Put('U');
    to_child.Get();  // until the parent is done
    return 0;
  });
  ASSERT_GE(pid, 0);

  Open("shared");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"first"}), 0);
  ASSERT_TRUE(to_child.Put('G'));
  ASSERT_EQ(to_parent.Get(), 'L');
  EXPECT_EQ(Write(ref, {"blocked by the other program"}), 101);
  EXPECT_EQ(ErrorCode, 1017);
  EXPECT_EQ(ref, 1);
  EXPECT_EQ(Read(ref), Lines{"first"});

  ASSERT_TRUE(to_child.Put('U'));
  ASSERT_EQ(to_parent.Get(), 'U');
  EXPECT_EQ(Write(ref, {"now it works"}), 0) << ErrorMsg;
  EXPECT_EQ(Read(ref), Lines{"now it works"});
  to_child.Put('D');
}

// ---- Device, area and failure paths ------------------------------------------------------

TEST_F(MemoTest, CheckMemoAreaReportsBothCases) {
  EXPECT_TRUE(CheckMemoArea("AssignMemo"));
  EXPECT_EQ(ErrorCode, 215);
  EXPECT_EQ(ErrorMsg, " [AssignMemo]");

  std::vector<TFieldDef> fields = {{"NAME", 'C', 8, 0}};
  TDbfFileRec t;
  CreateDBF(t, dir_ / "plain.dbf", 1, fields);
  USE(dir_ / "plain.dbf", nullptr, 0);
  TMemoDevice f;
  int32_t ref = 0;
  EXPECT_FALSE(f.Assign(ref));
  EXPECT_EQ(ErrorCode, 1019);
  EXPECT_EQ(ErrorMsg, CurrentDbfName() + " No Memo Field [AssignMemo]");
  EXPECT_EQ(f.Reset(), 102);
  EXPECT_TRUE(CheckMemoArea(std::string(100, 'r')));
  EXPECT_EQ(ErrorMsg, CurrentDbfName() + " No Memo Field [" + std::string(80, 'r') + "]");
}

TEST_F(MemoTest, HooksOpenCloseAndAssign) {
  ASSERT_NE(MemoHooks.AssignMemo, nullptr);
  ASSERT_NE(MemoHooks.CreateMemoFile, nullptr);
  MakeTable("hooked");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"via hook"}), 0);
  TMemoDevice f;
  ASSERT_TRUE(MemoHooks.AssignMemo(f, ref));
  ASSERT_EQ(f.Reset(), 0);
  std::string line;
  EXPECT_EQ(f.ReadLn(line), 0);
  EXPECT_EQ(line, "via hook");
  EXPECT_EQ(f.Write("x"), 105);
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(f.Close(), 103);
  CloseArea();
  EXPECT_EQ(CurrentMemoFile(), nullptr);

  // A table whose memo file is missing does not open.
  std::remove((dir_ / "hooked.DBT").c_str());
  USE(dir_ / "hooked.dbf", nullptr, 0);
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(MemoTest, WriteTextRulesAndAppend) {
  MakeTable("text");
  int32_t ref = 0;
  TMemoDevice f;
  ASSERT_TRUE(f.Assign(ref));
  ASSERT_EQ(f.Rewrite(), 0);
  EXPECT_EQ(f.Write("one\r\ntwo\x8D\r\nth"), 0);  // 0x8D before CR marks a soft break
  EXPECT_EQ(f.Write("ree\x8D"
                    "x"),
            0);             // elsewhere it is a letter
  ASSERT_EQ(f.Close(), 0);  // the unended text is the last line
  EXPECT_EQ(Read(ref), (Lines{"one", "two",
                              "three\x8D"
                              "x"}));

  ASSERT_EQ(f.Append(), 0);
  EXPECT_EQ(f.WriteLn("four"), 0);
  ASSERT_EQ(f.Close(), 0);
  EXPECT_EQ(Read(ref), (Lines{"one", "two",
                              "three\x8D"
                              "x",
                              "four"}));

  // A binary memo takes no appended text; rewriting replaces it by a new memo.
  int32_t blob = -1;
  ASSERT_TRUE(f.Assign(blob));
  EXPECT_EQ(f.Append(), 100);
  ASSERT_EQ(f.Rewrite(), 0);
  EXPECT_EQ(f.WriteLn("text now"), 0);
  ASSERT_EQ(f.Close(), 0);
  EXPECT_GT(blob, 0);
  EXPECT_EQ(Read(blob), Lines{"text now"});
}

TEST_F(MemoTest, MaxMemoLinesOnReadingAndWriting) {
  MakeTable("many");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"1", "2", "3", "4", "5"}), 0);
  MaxMemoLines = 3;
  ErrorCode = 0;
  EXPECT_EQ(Read(ref), (Lines{"1", "2", "3"}));  // the rest is dropped without error
  EXPECT_EQ(ErrorCode, 0);

  // Such a memo is not written back over the whole one.
  TMemoDevice f;
  ASSERT_TRUE(f.Assign(ref));
  EXPECT_EQ(f.Append(), 100);
  MaxMemoLines = 1024;
  EXPECT_EQ(Read(ref).size(), 5u);

  MaxMemoLines = 2;
  EXPECT_EQ(Write(ref, {"a", "b", "c"}), 101);
  MaxMemoLines = 1024;
  EXPECT_EQ(Read(ref).size(), 5u);
}

TEST_F(MemoTest, ReadOnlyMemoReadsAndRefusesWrites) {
  MakeTable("ro");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"question text"}), 0);
  CloseAll();
  OpenModeOverride = 0;  // the exam application opens its tables read-only
  Open("ro");
  EXPECT_TRUE(CurrentMemoFile()->MemoFile.IsReadOnly());
  EXPECT_EQ(Read(ref), Lines{"question text"});
  const int32_t before = ref;
  EXPECT_EQ(Write(ref, {"changed"}), 101);
  EXPECT_NE(ErrorCode, 0);
  EXPECT_EQ(ref, before);
  EXPECT_EQ(Read(ref), Lines{"question text"});
}

TEST_F(MemoTest, LowDiskSpaceRefusesTheWrite) {
  const std::string memo = MakeTable("disk");
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"kept"}), 0);
  const std::string before = ReadFileBytes(memo);
  const Lines text(10, std::string(150, 't'));  // 1521 bytes with the end byte: 1 KB needed
  struct Case {
    int64_t free_bytes;
    bool written;
  };
  const Case cases[] = {{0, false}, {1024, false}, {2047, false}, {2048, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.free_bytes);
    platform::SetTestDiskFreeBytes(c.free_bytes);
    int32_t target = ref;
    ErrorCode = 0;
    if (c.written) {
      ASSERT_EQ(Write(target, text), 0) << ErrorMsg;
      EXPECT_EQ(Read(target), text);
    } else {
      EXPECT_EQ(Write(target, text), 101);
      EXPECT_EQ(ErrorCode, 1004);
      EXPECT_EQ(ErrorMsg, CurrentMemoFile()->MemoName);
      EXPECT_EQ(target, ref);
      EXPECT_EQ(ReadFileBytes(memo), before);
      EXPECT_EQ(Read(ref), Lines{"kept"});
    }
  }
}

// Blocks the memo lock from a second open of the memo file once the text of a moved rewrite
// is being written (between the two lock phases of the write).
platform::File g_blocker;
std::string g_blocked_memo;
void BlockMemoLock(uint8_t*, uint16_t) {
  if (g_blocker.IsOpen()) return;
  ASSERT_EQ(g_blocker.Open(g_blocked_memo, platform::kShareDenyNone | platform::kModeReadWrite), 0);
  ASSERT_EQ(g_blocker.Lock(10, 1), 0);
}

TEST_F(MemoTest, MovedRewriteWhoseOldRunCannotBeLockedCountsItAbandoned) {
  g_blocked_memo = MakeTable("abandon", 139, 64);
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"short"}), 0);  // block 1
  ASSERT_EQ(ref, 1);
  CurrentWorkArea()->Dbf.BeforeWriteProc = &BlockMemoLock;
  const Lines longer{std::string(100, 'L')};  // 110 bytes: two blocks, at the end
  EXPECT_EQ(Write(ref, longer), 0) << ErrorMsg;
  CurrentWorkArea()->Dbf.BeforeWriteProc = nullptr;
  ASSERT_TRUE(g_blocker.IsOpen());
  g_blocker.Close();
  EXPECT_EQ(ref, 2);
  EXPECT_EQ(Read(ref), longer);
  const std::string file = ReadFileBytes(g_blocked_memo);
  EXPECT_TRUE(FreeList(file, 64).empty());  // block 1 was not linked without the lock
  EXPECT_EQ(U32At(file, 0), 4u);
  EXPECT_EQ(U32At(file, 32), 1u);  // but counted as abandoned
}

// Lets the text write of a rewrite fail: the file-size limit is set, once the new run is
// taken, to end just after the run's block header.
rlim_t g_size_limit = 0;
rlimit g_saved_limit{};
void LimitFileSize(uint8_t*, uint16_t) {
  if (g_saved_limit.rlim_max != 0) return;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &g_saved_limit), 0);
  rlimit limit = g_saved_limit;
  limit.rlim_cur = g_size_limit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

TEST_F(MemoTest, FailedTextWriteGivesTheNewRunBack) {
  const std::string memo = MakeTable("giveback", 139, 64);
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"short"}), 0);  // block 1; the file is 2 blocks
  const uint64_t place = ReadFileBytes(memo).size() / 64;
  ASSERT_EQ(place, 2u);
  g_size_limit = place * 64 + 8;
  g_saved_limit = {};
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  CurrentWorkArea()->Dbf.BeforeWriteProc = &LimitFileSize;
  const Lines longer{std::string(100, 'L')};
  const int rc = Write(ref, longer);
  CurrentWorkArea()->Dbf.BeforeWriteProc = nullptr;
  const uint16_t code = ErrorCode;
  ASSERT_NE(g_saved_limit.rlim_max, 0u);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &g_saved_limit), 0);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(rc, 101);
  EXPECT_EQ(code, 29);
  EXPECT_EQ(ref, 1);
  EXPECT_EQ(Read(ref), Lines{"short"});
  EXPECT_EQ(FreeList(ReadFileBytes(memo), 64),
            (std::vector<std::pair<uint32_t, uint32_t>>{{2, 2}}));
  // The next memo that needs two blocks takes the run given back.
  int32_t other = 0;
  ASSERT_EQ(Write(other, longer), 0) << ErrorMsg;
  EXPECT_EQ(other, 2);
  EXPECT_EQ(Read(other), longer);
  EXPECT_EQ(Read(ref), Lines{"short"});
}

// The table's record hooks see every memo block too, so a transforming pair round-trips.
void Scramble(uint8_t* data, uint16_t len) {
  for (uint16_t i = 0; i < len; ++i) data[i] ^= 0x5A;
}

TEST_F(MemoTest, RecordHooksSeeMemoBlocks) {
  const std::string memo = MakeTable("hooks", 139, 64);
  CurrentWorkArea()->Dbf.BeforeWriteProc = &Scramble;
  CurrentWorkArea()->Dbf.AfterAccessProc = &Scramble;
  int32_t ref = 0;
  ASSERT_EQ(Write(ref, {"secret text that spans blocks " + std::string(80, 's')}), 0);
  EXPECT_EQ(ReadFileBytes(memo).find("secret"), std::string::npos);
  EXPECT_EQ(Read(ref), Lines{"secret text that spans blocks " + std::string(80, 's')});
}

}  // namespace
