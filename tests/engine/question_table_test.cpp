// The exam program's read path over its question table: a table with the question fields and
// memos of every shape is built in both memo generations, then opened read-only
// (OpenModeOverride 0) and walked record by record. Every field and memo line must read back
// exactly, a write attempted in that session must fail with 5, and the files must be left
// byte for byte as they were (no header date rewritten on close).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/memo_file.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Lines = std::vector<std::string>;

// The question table's fields, as the exam windows bind them.
const std::vector<TFieldDef> kFields = {
    {"question", 'M', 10, 0},   {"answera", 'M', 10, 0},   {"answerb", 'M', 10, 0},
    {"answerc", 'M', 10, 0},    {"answerd", 'M', 10, 0},   {"answere", 'M', 10, 0},
    {"checka", 'L', 1, 0},      {"checkb", 'L', 1, 0},     {"checkc", 'L', 1, 0},
    {"checkd", 'L', 1, 0},      {"checke", 'L', 1, 0},     {"objective", 'C', 60, 0},
    {"exhibfile", 'C', 12, 0},  {"topic1", 'C', 50, 0},    {"topic2", 'C', 50, 0},
    {"topic3", 'C', 50, 0},     {"top1help", 'N', 6, 0},   {"top2help", 'N', 6, 0},
    {"top3help", 'N', 6, 0},    {"top1acropg", 'N', 5, 0}, {"top2acropg", 'N', 5, 0},
    {"top3acropg", 'N', 5, 0},  {"feedback", 'M', 10, 0},  {"chapter", 'C', 20, 0},
    {"selectnote", 'C', 80, 0}, {"Drumel", 'L', 1, 0},
};

// Native slot sizes of the field types used here: C length byte + text, M and N(,0) 32-bit
// integers, L one Boolean byte.
size_t SlotSize(const TFieldDef& f) {
  switch (f.FieldType) {
    case 'C':
      return f.Len + 1u;
    case 'L':
      return 1;
    default:
      return 4;
  }
}

// A memo as written through the device and the lines that reading gives back.
struct Memo {
  Lines written;
  Lines read;
};
Memo Same(const Lines& lines) { return {lines, lines}; }

// One record; fields not named hold their blank value (blanks, False, 0, no memo).
struct QuestionRecord {
  std::map<std::string, Memo> memos;
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> flags;
  std::map<std::string, int32_t> numbers;
  bool deleted = false;
};

// `n` characters of words separated by single blanks, ending in a letter.
std::string Words(size_t n) {
  std::string s;
  while (s.size() < n) s += "option ";
  s.resize(n - 1);
  return s + "Z";
}

// Lines whose text, with CR LF after each line and `overhead` bytes of memo framing (the 0x1A
// of a plain memo or the 8-byte block header), fills exactly two 512-byte blocks.
Lines FillingTwoBlocks(size_t overhead) {
  Lines lines;
  size_t remaining = 1024 - overhead;
  while (remaining >= 254) {
    lines.push_back(Words(252));
    remaining -= 254;
  }
  if (remaining > 0) lines.push_back(Words(remaining - 2));
  return lines;
}

struct Generation {
  const char* name;
  uint32_t version;
  uint16_t block;
  size_t overhead;     // framing bytes of one memo: 0x1A (plain) or the 8-byte block header
  size_t text_offset;  // where a memo's text starts in its first block
};

void PrintTo(const Generation& g, std::ostream* os) { *os << g.name; }

class QuestionTableTest : public testing_support::EngineTest,
                          public testing::WithParamInterface<Generation> {
 protected:
  std::vector<QuestionRecord> Records() const {
    const Generation& g = GetParam();
    const std::string line254 = Words(254);
    const std::string line300(300, 'q');
    // OEM (code page 437) letters: u, a, o umlauts, sharp s, e acute, i grave (0x8D, which is
    // only a soft break when an LF follows), n tilde, a cent sign and box-drawing characters.
    const std::string oem1 =
        "\x81"
        "ber die Gr\x94\xE1"
        "e: \x84\x82\x8D"
        "a \xA4 \x9B";
    const std::string oem2 = "\xDA\xC4\xC4\xBF \xB3 x \xB3 \xC0\xC4\xC4\xD9";
    // A CR LF that straddles the end of the memo's first block: CR at its last byte.
    const Lines straddle = {Words(200), Words(200), Words(107 - g.text_offset)};

    std::vector<QuestionRecord> r(5);
    r[0].memos = {{"question", Same({"Which command lists the files of a folder?", "",
                                     "  Choose the best answer.  "})},
                  {"answera", Same({"ls"})},
                  {"answerb", Same({"cd"})},
                  {"answerc", Same({"pwd"})},
                  {"answerd", Same({"mkdir -p"})},
                  {"feedback", Same({"ls lists the entries of a folder.", "See man ls."})}};
    r[0].flags = {{"checka", true}, {"Drumel", true}};
    r[0].texts = {{"objective", "File management"},
                  {"topic1", "Listing files"},
                  {"chapter", "Chapter 3"},
                  {"selectnote", "Select one answer."}};
    r[0].numbers = {{"top1help", 1201}, {"top1acropg", 17}};

    r[1].memos = {{"question", Same({line254})}, {"answera", Same({"first"})},
                  {"answerb", Same({"second"})}, {"answerc", Same({"third"})},
                  {"answerd", Same({"fourth"})}, {"answere", Same({"All of the above"})}};
    r[1].flags = {{"checkb", true}, {"checkc", true}, {"checke", true}};
    r[1].texts = {{"objective", "Networking"}, {"exhibfile", "NET01.BMP"},
                  {"topic1", "Routes"},        {"topic2", "Masks"},
                  {"topic3", "Gateways"},      {"selectnote", "Select three answers."}};
    r[1].numbers = {{"top1help", 99999}, {"top2help", 2},     {"top3help", 3},
                    {"top1acropg", 400}, {"top2acropg", 401}, {"top3acropg", 402}};
    r[1].deleted = true;

    // Lines are at most 254 characters: a longer line without blanks reads as two.
    r[2].memos = {{"question", {{line300}, {line300.substr(0, 254), line300.substr(254)}}},
                  {"answera", Same({oem1})},
                  {"feedback", Same({oem1, oem2})}};
    r[2].texts = {{"objective",
                   "Sicherheit \x81"
                   "berall"},
                  {"chapter", "Kapitel \x84"}};
    r[2].flags = {{"checkd", true}};

    r[3].memos = {{"question", Same(FillingTwoBlocks(g.overhead))},
                  {"answera", Same({"right after the full blocks"})},
                  {"feedback", Same(straddle)}};
    r[3].flags = {{"checka", true}, {"checkb", true}};

    // Blank record but for an empty memo (written with no line: no memo) and a memo of one
    // empty line.
    r[4].memos = {{"question", Same({})}, {"answera", Same({""})}};
    return r;
  }

  // Writes `lines` as a new memo through the text device; returns its reference.
  static int32_t WriteMemoLines(const Lines& lines) {
    int32_t ref = 0;
    TMemoDevice f;
    EXPECT_TRUE(f.Assign(ref));
    EXPECT_EQ(f.Rewrite(), 0);
    for (const std::string& line : lines) EXPECT_EQ(f.WriteLn(line), 0);
    EXPECT_EQ(f.Close(), 0) << ErrorMsg;
    return ref;
  }

  static Lines ReadMemoLines(int32_t ref) {
    Lines lines;
    TMemoDevice f;
    EXPECT_TRUE(f.Assign(ref));
    EXPECT_EQ(f.Reset(), 0) << ErrorMsg;
    std::string line;
    while (!f.Eof()) {
      EXPECT_EQ(f.ReadLn(line), 0);
      lines.push_back(line);
    }
    EXPECT_EQ(f.Close(), 0);
    return lines;
  }

  static uint8_t* Slot(const std::string& name) {
    const uint8_t n = FieldNo(name);
    EXPECT_NE(n, 0) << name;
    return FieldAddress(n);
  }

  void Build(const std::vector<QuestionRecord>& records) {
    const Generation& g = GetParam();
    MemoVersion = g.version;
    MemoBlockSize = g.block;
    std::vector<TFieldDef> fields = kFields;
    TDbfFileRec t;
    CreateDBF(t, table_, static_cast<uint8_t>(fields.size()), fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;

    SharedAccess = false;  // the building program has the table to itself
    USE(table_, nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    for (const QuestionRecord& rec : records) {
      ClearRecord();
      for (const TFieldDef& f : kFields) {
        uint8_t* slot = Slot(f.Name);
        if (f.FieldType == 'M' && rec.memos.count(f.Name)) {
          PutI32LE(slot, WriteMemoLines(rec.memos.at(f.Name).written));
        } else if (f.FieldType == 'C' && rec.texts.count(f.Name)) {
          const std::string& text = rec.texts.at(f.Name);
          slot[0] = static_cast<uint8_t>(text.size());
          std::copy(text.begin(), text.end(), slot + 1);
        } else if (f.FieldType == 'L' && rec.flags.count(f.Name)) {
          slot[0] = rec.flags.at(f.Name) ? 1 : 0;
        } else if (f.FieldType == 'N' && rec.numbers.count(f.Name)) {
          PutI32LE(slot, rec.numbers.at(f.Name));
        }
      }
      Append();
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
      if (rec.deleted) DeleteRec();
      ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    }
    // The full-block memo really fills its two blocks: the next memo follows at once.
    GO(4);
    EXPECT_EQ(GetI32LE(Slot("answera")), GetI32LE(Slot("question")) + 2);
    CloseAll();
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    SharedAccess = true;

    // An old last-update date, so that a header rewritten on close would show.
    std::string dbf = ReadFileBytes(table_);
    dbf[1] = 99;
    dbf[2] = 3;
    dbf[3] = 15;
    WriteFileBytes(table_, dbf);
  }

  // Every file of the test folder, by name.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    }
    return files;
  }

  // Checks the current record against `rec` through the routines the exam program uses.
  void ExpectRecord(const QuestionRecord& rec) {
    EXPECT_EQ(Deleted(), rec.deleted);
    for (const TFieldDef& f : kFields) {
      SCOPED_TRACE(f.Name);
      const uint8_t* slot = Slot(f.Name);
      switch (f.FieldType) {
        case 'M': {
          const int32_t ref = GetI32LE(slot);
          const auto it = rec.memos.find(f.Name);
          const Lines expected = it == rec.memos.end() ? Lines{} : it->second.read;
          if (expected.empty()) {
            EXPECT_EQ(ref, 0);
          }
          EXPECT_EQ(ReadMemoLines(ref), expected);
          break;
        }
        case 'C': {
          const auto it = rec.texts.find(f.Name);
          std::string expected = it == rec.texts.end() ? "" : it->second;
          expected.resize(f.Len, ' ');
          ASSERT_EQ(slot[0], f.Len);
          EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot + 1), slot[0]), expected);
          break;
        }
        case 'L': {
          const auto it = rec.flags.find(f.Name);
          EXPECT_EQ(slot[0], it != rec.flags.end() && it->second ? 1 : 0);
          break;
        }
        default: {
          const auto it = rec.numbers.find(f.Name);
          EXPECT_EQ(GetI32LE(slot), it == rec.numbers.end() ? 0 : it->second);
        }
      }
    }
  }

  std::string table_ = dir_ / "exam.dbf";
};

TEST_P(QuestionTableTest, ReadOnlySessionReadsEveryFieldExactlyAndWritesNothing) {
  const std::vector<QuestionRecord> records = Records();
  ASSERT_NO_FATAL_FAILURE(Build(records));
  const std::map<std::string, std::string> before = Snapshot();
  ASSERT_EQ(before.size(), 2u);  // the table and its memo file

  // As on read-only media: opening the files for writing would fail (for a user without
  // override rights).
  for (const auto& [name, bytes] : before) {
    std::filesystem::permissions(dir_ / name, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::group_read |
                                                  std::filesystem::perms::others_read);
  }
  OpenModeOverride = 0;
  // The caller's own buffer, laid out as the native record: a size mismatch fails the USE.
  size_t native = 1;
  for (const TFieldDef& f : kFields) native += SlotSize(f);
  std::vector<uint8_t> buf(native, 0xEE);
  USE(table_, buf.data(), static_cast<uint16_t>(native));
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  ASSERT_NE(CurrentMemoFile(), nullptr);
  EXPECT_EQ(RecCount(), static_cast<int32_t>(records.size()));

  ASSERT_EQ(FieldAddress(0), buf.data());
  size_t offset = 1;
  for (const TFieldDef& f : kFields) {
    EXPECT_EQ(FieldAddress(FieldNo(f.Name)) - buf.data(), static_cast<ptrdiff_t>(offset)) << f.Name;
    offset += SlotSize(f);
  }

  GoTop();
  size_t visited = 0;
  while (!dEOF() && visited < records.size()) {
    SCOPED_TRACE("record " + std::to_string(visited + 1));
    EXPECT_EQ(RecNo(), static_cast<int32_t>(visited + 1));
    ExpectRecord(records[visited]);
    SKIP(1);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    ++visited;
  }
  EXPECT_EQ(visited, records.size());
  EXPECT_TRUE(dEOF());
  // Records addressed by number, in reverse, read the same.
  for (size_t i = records.size(); i >= 1; --i) {
    SCOPED_TRACE("GO " + std::to_string(i));
    GO(static_cast<int32_t>(i));
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    ExpectRecord(records[i - 1]);
  }

  // Every kind of write fails with the access error and changes nothing.
  GO(1);
  const std::vector<std::pair<const char*, std::function<void()>>> writes = {
      {"Replace",
       [] {
         ASSERT_TRUE(RLock());
         Slot("objective")[1] = 'X';
         Replace();
       }},
      {"DeleteRec", [] { DeleteRec(); }},
      {"Append",
       [] {
         Unlock();
         ASSERT_TRUE(ALock());
         Append();
       }},
      {"memo",
       [] {
         int32_t ref = GetI32LE(Slot("question"));
         const int32_t old = ref;
         TMemoDevice f;
         ASSERT_TRUE(f.Assign(ref));
         ASSERT_EQ(f.Rewrite(), 0);
         ASSERT_EQ(f.WriteLn("changed"), 0);
         EXPECT_EQ(f.Close(), 101);
         EXPECT_EQ(ref, old);
       }},
  };
  for (const auto& [name, write] : writes) {
    SCOPED_TRACE(name);
    ErrorCode = 0;
    write();
    EXPECT_EQ(ErrorCode, 5) << ErrorMsg;
  }
  EXPECT_EQ(RecCount(), static_cast<int32_t>(records.size()));
  Unlock();

  CloseAll();
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Generations, QuestionTableTest,
                         testing::Values(Generation{"PlainMemos131", 0x83, 512, 1, 0},
                                         Generation{"BlockHeaderMemos139", 0x8B, 512, 8, 8}),
                         [](const testing::TestParamInfo<Generation>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
