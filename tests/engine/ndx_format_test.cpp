#include "engine/ndx_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace engine;
using testing_support::WriteFileBytes;

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(NdxFormatTest, EntrySizeAndKeysPerPageFollowTheKeyLength) {
  struct Case {
    uint16_t key_len;
    uint16_t entry_size;
    uint16_t keys_per_page;
    const char* what;
  };
  const Case cases[] = {
      {10, 20, 25, "character key of a 10-byte field"},
      {8, 16, 31, "numeric and date keys"},
      {100, 108, 4, "the longest key"},
      {1, 12, 42, "the shortest key"},
      {9, 20, 25, "rounded up to a multiple of 4"},
  };
  for (const Case& c : cases) {
    const TNdxHeader h = MakeNdxHeader('C', c.key_len, false);
    EXPECT_EQ(h.EntrySize, c.entry_size) << c.what;
    EXPECT_EQ(h.KeysPerPage, c.keys_per_page) << c.what;
    EXPECT_TRUE(CheckNdxHeader(h)) << c.what;
  }
  EXPECT_EQ(MakeNdxHeader('N', 8, true).NumericFlag, 1);
  EXPECT_EQ(MakeNdxHeader('C', 8, true).NumericFlag, 0);
}

TEST(NdxFormatTest, HeaderCheckRejectsValuesThatCannotBeUsed) {
  struct Case {
    void (*damage)(TNdxHeader&);
    const char* what;
  };
  const Case cases[] = {
      {[](TNdxHeader& h) { h.KeyLen = 0; }, "key length 0"},
      {[](TNdxHeader& h) {
         h.KeyLen = 101;
         h.EntrySize = NdxEntrySize(101);
         h.KeysPerPage = NdxKeysPerPage(h.EntrySize);
       },
       "key length 101 with matching sizes"},
      {[](TNdxHeader& h) { h.EntrySize = 24; }, "entry size not derived from the key length"},
      {[](TNdxHeader& h) { h.KeysPerPage = 26; }, "keys per page not derived"},
      {[](TNdxHeader& h) { h.Root = 0; }, "root 0"},
      {[](TNdxHeader& h) { h.Root = h.NextFree; }, "root at next free"},
      {[](TNdxHeader& h) { h.KeyType = 'L'; }, "key type outside C, N, F, D"},
      {[](TNdxHeader& h) { h.KeyType = 'N'; }, "numeric key of 10 bytes"},
  };
  for (const Case& c : cases) {
    TNdxHeader h = MakeNdxHeader('C', 10, false);
    h.NextFree = 5;
    c.damage(h);
    EXPECT_FALSE(CheckNdxHeader(h)) << c.what;
  }
  // The decoder checks what it reads.
  uint8_t bytes[kNdxHeaderSize];
  EncodeNdxHeader(MakeNdxHeader('D', 8, true), bytes);
  TNdxHeader h;
  EXPECT_TRUE(DecodeNdxHeader(bytes, h));
  EXPECT_EQ(h.KeyType, 'D');
  EXPECT_EQ(h.Unique, 1);
  bytes[12] = 0;  // key length 0
  EXPECT_FALSE(DecodeNdxHeader(bytes, h));
}

TEST(NdxFormatTest, NormalisedExpressions) {
  struct Case {
    const char* text;
    const char* stored;
    const char* what;
  };
  const Case cases[] = {
      {"name", "NAME", "letters upper-cased"},
      {" upper( name )\t+ dtos(born) ", "UPPER(NAME)+DTOS(BORN)", "blanks and tabs removed"},
      {"name+'a b'", "NAME+\"a b\"", "apostrophes become double quotes, string kept"},
      {"\"don't\"+x", "\"don't\"+X", "double-quoted string with an apostrophe"},
      {"'say \"hi\"'+x", "'say \"hi\"'+X", "a string holding a double quote keeps apostrophes"},
      {"name+'ab c", "NAME+'ab c", "an open string is kept to the end"},
      {"a\xE9" "b",
       "A\xE9"
       "B",
       "bytes from 0x80 unchanged"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeKeyExpression(c.text), c.stored) << c.what;
}

TEST(NdxFormatTest, KeysCompareAsUnsignedBytesOrAsNumbers) {
  const uint8_t low[] = {'A', 0x7F};
  const uint8_t high[] = {'A', 0x80};
  EXPECT_LT(KeyCompareFor('C')(low, high, 2), 0);
  EXPECT_EQ(KeyCompareFor('C')(low, high, 1), 0);
  uint8_t a[8];
  uint8_t b[8];
  PutKeyNumber(a, -5.0);
  PutKeyNumber(b, 0.25);
  EXPECT_EQ(GetKeyNumber(a), -5.0);
  EXPECT_EQ(a[7], 0xC0);  // little-endian IEEE-754: the sign and exponent come last
  for (char type : {'N', 'F', 'D'}) {
    EXPECT_LT(KeyCompareFor(type)(a, b, 8), 0) << type;
    EXPECT_GT(KeyCompareFor(type)(b, a, 8), 0) << type;
    EXPECT_EQ(KeyCompareFor(type)(a, a, 8), 0) << type;
  }
}

TEST(NdxFormatTest, NodeAccessorsUseThePageLayout) {
  const TNdxHeader h = MakeNdxHeader('C', 2, false);  // entry size 12
  uint8_t page[kNdxPageSize] = {};
  SetNodeKeyCount(page, 2);
  SetNodeRightChild(page, h, 9);
  EXPECT_EQ(page[4 + 2 * 12], 9);
  page[2] = 0xFF;  // the in-memory changed flag above the count
  EXPECT_EQ(NodeKeyCount(page), 2);
  EXPECT_TRUE(NodeIsLeaf(page));
  page[4] = 3;
  EXPECT_FALSE(NodeIsLeaf(page));
  EXPECT_EQ(EntryChild(NodeEntry(page, h, 0)), 3u);
  SetNodeKeyCount(page, 2);
  EXPECT_EQ(page[2], 0);
}

class IndexInfoTest : public testing_support::EngineTest {
 protected:
  // Page 0 with expression "NAME", key length 10, type C, unique 1, record count 7 and stamp.
  std::string Page0(bool valid_check) {
    std::string p(1024, '\0');
    Put32(p, 0, 1);
    Put32(p, 4, 2);
    p[9] = 'C';
    p[12] = 10;
    p[23] = 1;
    p.replace(24, 4, "NAME");
    Put32(p, 492, 7);
    Put32(p, 488, valid_check ? ~7u : 7u);
    p.replace(496, 12, "EXAMPLE1.DBF");  // 12 characters: no NUL
    return p;
  }
};

TEST_F(IndexInfoTest, ReadsTheHeaderPage) {
  WriteFileBytes(dir_ / "names.ndx", Page0(true));
  TIndexInfo info;
  IndexInfo(info, dir_ / "names");  // default extension, resolved regardless of case
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(info.Expression, "NAME");
  EXPECT_EQ(info.KeyLen, 10);
  EXPECT_EQ(info.KeyType, 'C');
  EXPECT_EQ(info.Unique, 1);
  EXPECT_EQ(info.Stamp, "EXAMPLE1.DBF");
  EXPECT_EQ(info.RecCount, 7);
  EXPECT_EQ(IndexHeaderRecCount(dir_ / "names.ndx"), 7);
}

TEST_F(IndexInfoTest, FailedCountCheckMeansUnknown) {
  WriteFileBytes(dir_ / "a.ndx", Page0(false));
  TIndexInfo info;
  IndexInfo(info, dir_ / "a.ndx");
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(info.Expression, "NAME");
  EXPECT_EQ(info.RecCount, -1);
  EXPECT_EQ(info.Stamp, "");
  EXPECT_EQ(IndexHeaderRecCount(dir_ / "a.ndx"), -1);
}

TEST_F(IndexInfoTest, ExpressionWithoutNulStopsAt100Characters) {
  std::string p = Page0(true);
  p.replace(24, 101, std::string(101, 'X'));
  WriteFileBytes(dir_ / "a.ndx", p);
  TIndexInfo info;
  IndexInfo(info, dir_ / "a.ndx");
  EXPECT_EQ(info.Expression, std::string(100, 'X'));
}

TEST_F(IndexInfoTest, Failures) {
  TIndexInfo info;
  IndexInfo(info, "");
  EXPECT_EQ(ErrorCode, 220);

  const std::string missing = dir_ / "missing.ndx";
  IndexInfo(info, missing);
  EXPECT_EQ(ErrorCode, 2);
  EXPECT_EQ(ErrorMsg, "Error reading index file: \n\r[IndexInfo(<>," + missing + ")]");
  EXPECT_EQ(IndexHeaderRecCount(missing), -1);

  WriteFileBytes(dir_ / "short.ndx", std::string(100, '\0'));
  IndexInfo(info, dir_ / "short.ndx");
  EXPECT_EQ(ErrorCode, 100);
  EXPECT_EQ(info.RecCount, -1);
  EXPECT_EQ(info.Expression, "");
}

TEST_F(IndexInfoTest, OpensReadOnlyAndRestoresTheFileMode) {
  WriteFileBytes(dir_ / "a.ndx", Page0(true));
  const std::string path = dir_ / "a.ndx";
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int mode = FileMode;
  TIndexInfo info;
  IndexInfo(info, path);
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(info.RecCount, 7);
  EXPECT_EQ(FileMode, mode);
}

TEST_F(IndexInfoTest, NormalisedQuotedLiteralCompilesAgain) {
  const std::string stored = NormalizeKeyExpression("'say \"hi\"' + 'x y'");
  TExprBlock* block = AssignExpr(stored);
  ASSERT_NE(block, nullptr) << ErrorMsg;
  EvaluateExpr(block);
  EXPECT_EQ(ExprResultText(block), "say \"hi\"x y");
  FreeExpr(block);
}

}  // namespace
