#include "engine/utils.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/dates.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/numerics.h"
#include "platform/core/clock.h"
#include "platform/core/code_pages.h"
#include "platform/core/language.h"
#include "platform/core/paths.h"
#include "tests/support/engine_fixture.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class UtilsTest : public testing_support::EngineTest {
 protected:
  // Sets the country index as the date module would and re-initialises this module.
  static void UseCountry(int index) {
    engine::CountryIndex = static_cast<uint8_t>(index);
    engine::InitUtils();
  }
};

// ---- Memory ----------------------------------------------------------------------------

TEST_F(UtilsTest, FreeMemOfNilIsError9AndLeavesNil) {
  void* p = nullptr;
  engine::FreeMem(p, 10);
  EXPECT_EQ(engine::ErrorCode, 9);
  EXPECT_EQ(engine::ErrorMsg, "Attempt to free NIL pointer [FreeMem()]");
  EXPECT_EQ(p, nullptr);
}

TEST_F(UtilsTest, GetMemGivesZeroedBlockThatFreeMemReleases) {
  void* p = nullptr;
  engine::GetMem(p, 64);
  ASSERT_NE(p, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(p);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0) << i;
  engine::FreeMem(p, 64);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(engine::ErrorCode, 0);
}

TEST_F(UtilsTest, FreeHeapFigureCanBeLoweredAndUnlimited) {
  EXPECT_EQ(engine::FreeHeap(), 0x7FFFFFFF);
  engine::SetFreeHeapForTest(100);
  EXPECT_EQ(engine::FreeHeap(), 100);
  EXPECT_TRUE(engine::HeapHas(100));
  EXPECT_FALSE(engine::HeapHas(101));
  engine::UnlimitedHeap = true;
  EXPECT_EQ(engine::FreeHeap(), 0x7FFFFFFF);
  engine::UnlimitedHeap = false;
  engine::SetFreeHeapForTest(int64_t{1} << 40);  // clamped to the 32-bit figure
  EXPECT_EQ(engine::FreeHeap(), 0x7FFFFFFF);
  engine::SetFreeHeapForTest(5);
  engine::InitUtils();
  EXPECT_EQ(engine::FreeHeap(), 0x7FFFFFFF);
}

// ---- Character sets --------------------------------------------------------------------

TEST_F(UtilsTest, WesternLettersSurviveAnsiToOemAndBack) {
  // Every accented letter and sign that code pages 1252 and 437 share.
  const std::string ansi =
      "\xC7\xFC\xE9\xE2\xE4\xE0\xE5\xE7\xEA\xEB\xE8\xEF\xEE\xEC\xC4\xC5\xC9\xE6\xC6\xF4\xF6"
      "\xF2\xFB\xF9\xFF\xD6\xDC\xE1\xED\xF3\xFA\xF1\xD1\xDF\xA3\xA5\xB0\xB5\xBF\xA1\xAB\xBB";
  std::string oem = engine::AnsiToOemStr(ansi);
  ASSERT_EQ(oem.size(), ansi.size());
  EXPECT_EQ(engine::OemToAnsiStr(oem), ansi);
  EXPECT_EQ(oem.substr(0, 3), "\x80\x81\x82");  // C-cedilla, u-umlaut, e-acute
  EXPECT_EQ(engine::AnsiToOemStr("Plain ASCII 0-9 ~"), "Plain ASCII 0-9 ~");
}

struct CharCase {
  bool to_oem;
  char in;
  char out;
  const char* name;
};

TEST_F(UtilsTest, CharactersWithoutCounterpartGetABestFit) {
  const CharCase cases[] = {
      {true, '\xC0', 'A', "a_grave_capital_to_base_letter"},
      {true, '\xF5', 'o', "o_tilde_to_base_letter"},
      {true, '\x8A', 'S', "s_caron_to_base_letter"},
      {true, '\x93', '"', "curly_quote_to_straight"},
      {true, '\x97', '-', "em_dash_to_hyphen"},
      {true, '\x81', '?', "undefined_byte"},
      {false, '\xC4', '-', "box_horizontal"},
      {false, '\xBA', '|', "box_double_vertical"},
      {false, '\xC5', '+', "box_cross"},
      {false, '\xDB', '#', "full_block"},
      {false, '\xE3', 'p', "greek_pi"},
      {false, '\xF9', '\xB7', "bullet_operator_to_middle_dot"},
  };
  for (const CharCase& c : cases) {
    char got = c.to_oem ? engine::AnsiToOemChar(c.in) : engine::OemToAnsiChar(c.in);
    EXPECT_EQ(static_cast<unsigned char>(got), static_cast<unsigned char>(c.out)) << c.name;
  }
}

TEST_F(UtilsTest, RussianCodePagesConvertCyrillic) {
  platform::SetTestLanguage("ru_RU.UTF-8");
  engine::StartEngine();  // the code pages are chosen from the language at start
  ASSERT_TRUE(platform::RussianCodePages());
  std::string ansi;
  for (int b = 0xC0; b <= 0xFF; ++b) ansi += static_cast<char>(b);  // 1251 A..ya
  ansi += "\xA8\xB8";                                               // Yo, yo
  std::string oem = engine::AnsiToOemStr(ansi);
  EXPECT_EQ(static_cast<unsigned char>(oem[0]), 0x80);   // A
  EXPECT_EQ(static_cast<unsigned char>(oem[32]), 0xA0);  // a
  EXPECT_EQ(static_cast<unsigned char>(oem[48]), 0xE0);  // er
  EXPECT_EQ(static_cast<unsigned char>(oem[64]), 0xF0);  // Yo
  EXPECT_EQ(static_cast<unsigned char>(oem[65]), 0xF1);  // yo
  EXPECT_EQ(engine::OemToAnsiStr(oem), ansi);
  platform::SetTestLanguage("en_US.UTF-8");
  engine::StartEngine();
  EXPECT_FALSE(platform::RussianCodePages());
  EXPECT_EQ(engine::OemToAnsiStr("\x80"), "\xC7");  // 437 C-cedilla again
  platform::ClearTestLanguage();
}

// ---- Strings ---------------------------------------------------------------------------

TEST_F(UtilsTest, TrimsRemoveControlsAndBlanksButNotHighBytes) {
  EXPECT_EQ(engine::RTrim("ab \t\r\n\x01"), "ab");
  EXPECT_EQ(engine::LTrim("\x1F \tab "), "ab ");
  EXPECT_EQ(engine::AllTrim("  a b  "), "a b");
  EXPECT_EQ(engine::AllTrim("\xA0x\xFF"), "\xA0x\xFF");  // bytes from 0x80 are text
  EXPECT_EQ(engine::AllTrim(" \t "), "");
  std::string s = "abc xyz\x82\x81";
  engine::UpperStr(s);
  EXPECT_EQ(s, "ABC XYZ\x82\x81");
}

struct CountCase {
  const char* sub;
  const char* s;
  int expected;
  const char* name;
};

TEST_F(UtilsTest, CountSubStrCountsNonOverlapping) {
  const CountCase cases[] = {
      {"aa", "aaaa", 2, "two_in_four"},
      {"aa", "aaa", 1, "no_overlap"},
      {"aba", "ababa", 1, "overlap_not_counted"},
      {"a", "banana", 3, "single_character"},
      {"ab", "xabyab", 2, "spread"},
      {"", "abc", 0, "empty_sub"},
      {"a", "", 0, "empty_text"},
      {"abcd", "abc", 0, "sub_longer"},
  };
  for (const CountCase& c : cases) {
    EXPECT_EQ(engine::CountSubStr(c.sub, c.s), c.expected) << c.name;
  }
}

struct NthCase {
  int n;
  const char* sub;
  const char* s;
  int expected;
  const char* name;
};

TEST_F(UtilsTest, NthPosFindsOverlappingOccurrencesFromEitherEnd) {
  const NthCase cases[] = {
      {1, "aa", "aaaa", 1, "first"},
      {2, "aa", "aaaa", 2, "second_overlaps_first"},
      {3, "aa", "aaaa", 3, "third"},
      {4, "aa", "aaaa", 0, "too_few"},
      {-1, "aa", "aaaa", 3, "last"},
      {-3, "aa", "aaaa", 1, "third_from_right"},
      {-1, "ab", "abcab", 4, "last_of_two"},
      {-2, "ab", "abcab", 1, "second_from_right"},
      {-3, "ab", "abcab", 0, "too_few_from_right"},
      {2, "b", "abcab", 5, "single_character"},
      {0, "a", "aaa", 0, "n_zero"},
      {1, "", "aaa", 0, "empty_sub"},
      {1, "a", "", 0, "empty_text"},
      {1, "abc", "ab", 0, "sub_longer"},
  };
  for (const NthCase& c : cases) {
    EXPECT_EQ(engine::NthPos(c.n, c.sub, c.s), c.expected) << c.name;
  }
}

struct WordCase {
  const char* word;
  const char* s;
  const char* result;
  bool removed;
  const char* name;
};

TEST_F(UtilsTest, ExtractWordRemovesWholeWordsOnly) {
  const WordCase cases[] = {
      {" EXCLUSIVE", "exam.dbf exclusive alias q", "EXAM.DBF ALIAS Q", true, "between_words"},
      {" EXCLUSIVE", "exam.dbf EXCLUSIVE", "EXAM.DBF", true, "at_the_end"},
      {" EXCLUSIVE", "exam.dbf EXCLUSIVELY", "EXAM.DBF EXCLUSIVELY", false, "longer_word_kept"},
      {" EXCLUSIVE", "exam.dbf EXCLUSIVE_X", "EXAM.DBF EXCLUSIVE_X", false, "underscore_continues"},
      {" NEW", "a NEW b NEW", "A B", true, "every_occurrence"},
      {" NEW", "a NEW,b", "A,B", true, "followed_by_punctuation"},
      {"", " abc ", "ABC", false, "empty_word"},
  };
  for (const WordCase& c : cases) {
    std::string s = c.s;
    EXPECT_EQ(engine::ExtractWord(c.word, s), c.removed) << c.name;
    EXPECT_EQ(s, c.result) << c.name;
  }
}

TEST_F(UtilsTest, IntToStrWRightAligns) {
  EXPECT_EQ(engine::IntToStrW(5, 3), "  5");
  EXPECT_EQ(engine::IntToStrW(-12, 0), "-12");
  EXPECT_EQ(engine::IntToStrW(12345, 3), "12345");
  EXPECT_EQ(engine::IntToStrW(INT32_MIN, 12), " -2147483648");
}

// ---- Number texts ----------------------------------------------------------------------

struct SepCase {
  int country;
  char decimal;
  char group;
};

TEST_F(UtilsTest, SeparatorsFollowTheCountryIndex) {
  const SepCase cases[] = {{0, '.', ','}, {1, '.', ','}, {2, '.', ','},
                           {3, ',', '.'}, {4, ',', '.'}, {5, ',', '.'},
                           {6, ',', '.'}, {7, '.', ','}, {8, '.', ' '}};
  for (const SepCase& c : cases) {
    UseCountry(c.country);
    EXPECT_EQ(engine::DecimalSep, c.decimal) << c.country;
    EXPECT_EQ(engine::GroupSep, c.group) << c.country;
  }
}

struct IntCase {
  int country;
  const char* text;
  int16_t expected;
  const char* name;
};

TEST_F(UtilsTest, TextToInt) {
  const IntCase cases[] = {
      {0, " +1,234 ", 1234, "plus_grouping_and_blanks"},
      {0, "40000", 32767, "clamped_high"},
      {0, "-99999", -32768, "clamped_low"},
      {0, "12abc", 12, "cut_at_letter"},
      {0, "", 0, "empty"},
      {0, "   ", 0, "blanks_only"},
      {0, "$99", 99, "dollar_removed"},
      {0, "12 34", 12, "cut_at_blank"},
      {0, "1.9", 1, "decimal_point_ends_number"},
      {0, "-7", -7, "negative"},
      {0, "7-3", 7, "inner_minus_ends_number"},
      {0, "99999999999999999999999", 32767, "huge_clamped"},
      {5, "1.234", 1234, "comma_country_point_is_grouping"},
      {5, " +2.000 ", 2000, "comma_country_plus_and_blanks"},
      {5, "1,9", 1, "comma_country_comma_ends_number"},
      {5, "1,234", 1, "comma_country_comma_not_removed"},
  };
  for (const IntCase& c : cases) {
    UseCountry(c.country);
    EXPECT_EQ(engine::TextToInt(c.text), c.expected) << c.name;
  }
}

struct NumCase {
  int country;
  const char* text;
  const char* cleaned;
  double real;
  int32_t whole;
  const char* name;
};

TEST_F(UtilsTest, CleanNumStrTextToRealTextToLong) {
  const NumCase cases[] = {
      {0, "$1,234.56", "1234.56", 1234.56, 1234, "dollar_amount"},
      {0, " +.5", "0.5", 0.5, 0, "leading_point_gets_zero"},
      {0, "-.25", "-0.25", -0.25, 0, "negative_leading_point"},
      {0, "12.50 kg", "12.50", 12.5, 12, "cut_at_blank"},
      {0, "3-4", "3", 3, 3, "inner_minus_ends_text"},
      {0, "--3", "-", 0, 0, "second_minus_ends_text"},
      {0, "7.", "7", 7, 7, "trailing_point_dropped"},
      {0, "", "", 0, 0, "empty"},
      {0, "abc", "", 0, 0, "no_digits"},
      {0, "1,5", "15", 15, 15, "comma_is_grouping"},
      {0, "1.2.3", "1.2.3", 1.2, 1, "second_point_ends_number"},
      {0, "99999999999", "99999999999", 99999999999.0, INT32_MAX, "long_clamped_high"},
      {0, "-3000000000", "-3000000000", -3000000000.0, INT32_MIN, "long_clamped_low"},
      {0, "0.1", "0.1", engine::RoundToReal48(0.1), 0, "real_rounded_to_six_bytes"},
      {5, "1.234,56", "1234.56", 1234.56, 1234, "comma_country_amount"},
      {5, ",5", "0.5", 0.5, 0, "comma_country_leading_comma"},
      {5, "-1.000,9", "-1000.9", -1000.9, -1000, "comma_country_negative"},
      {5, "1.5", "15", 15, 15, "comma_country_point_is_grouping"},
      {8, "1 234.5", "1234.5", 1234.5, 1234, "blank_grouping"},
  };
  for (const NumCase& c : cases) {
    UseCountry(c.country);
    std::string s = c.text;
    engine::CleanNumStr(s);
    EXPECT_EQ(s, c.cleaned) << c.name;
    EXPECT_EQ(engine::TextToReal(c.text), engine::RoundToReal48(c.real)) << c.name;
    EXPECT_EQ(engine::TextToLong(c.text), c.whole) << c.name;
  }
}

TEST_F(UtilsTest, TextToRealGivesWhatASixByteRealHolds) {
  UseCountry(0);
  EXPECT_NE(engine::TextToReal("0.1"), 0.1);
  EXPECT_EQ(engine::TextToReal("0.1"), engine::RoundToReal48(0.1));
  EXPECT_EQ(engine::TextToReal(std::string(400, '9')), engine::kReal48Max);
  EXPECT_EQ(engine::TextToReal("0." + std::string(400, '0') + "1"), 0.0);
}

// ---- File names ------------------------------------------------------------------------

struct SplitCase {
  const char* name;
  const char* dir;
  const char* base;
  const char* ext;
  const char* what;
};

TEST_F(UtilsTest, FileSplit) {
  const SplitCase cases[] = {
      {"C:\\tests\\exam.dbf", "C:\\tests\\", "exam", ".dbf", "windows_path"},
      {"/a/b.c/name", "/a/b.c/", "name", "", "dot_in_folder_only"},
      {"C:name.x", "C:", "name", ".x", "drive_prefix"},
      {"a.tar.gz", "", "a.tar", ".gz", "last_dot"},
      {"dir/sub\\", "dir/sub\\", "", "", "folder_only"},
      {"../up", "../", "up", "", "dot_dot_folder"},
  };
  for (const SplitCase& c : cases) {
    std::string dir, base, ext;
    engine::FileSplit(c.name, dir, base, ext);
    EXPECT_EQ(dir, c.dir) << c.what;
    EXPECT_EQ(base, c.base) << c.what;
    EXPECT_EQ(ext, c.ext) << c.what;
  }
}

TEST_F(UtilsTest, ExtensionHelpers) {
  EXPECT_EQ(engine::AddDefaultExt("/d/exam", "DBF"), "/d/exam.DBF");
  EXPECT_EQ(engine::AddDefaultExt("exam.dbf", "NDX"), "exam.dbf");
  EXPECT_EQ(engine::AddDefaultExt("d.x/exam", "MEMO"), "d.x/exam.MEM");
  EXPECT_EQ(engine::ChangeExt("d/exam.dbf", "DBT"), "d/exam.DBT");
  EXPECT_EQ(engine::ChangeExt("d/exam.dbf", ".NDX"), "d/exam.NDX");
  EXPECT_EQ(engine::ChangeExt("exam", "@S@"), "exam.@S@");
  EXPECT_EQ(engine::StripExt("d.x\\exam.dbf"), "d.x\\exam");
  EXPECT_EQ(engine::StripExt("d.x/exam"), "d.x/exam");
}

TEST_F(UtilsTest, FullPathExpandsAndNormalises) {
  const std::string cwd = platform::CurrentDir();
  EXPECT_EQ(engine::FullPath("a/./b/../c.dbf"), cwd + "a/c.dbf");
  EXPECT_EQ(engine::FullPath("sub\\f.dbf"), cwd + "sub/f.dbf");
  EXPECT_EQ(engine::FullPath("/x/../y//z"), "/y/z");
  EXPECT_EQ(engine::FullPath("/../.."), "/");
  EXPECT_EQ(engine::FullPath("/data/tests/"), "/data/tests/");
  EXPECT_EQ(engine::FullPath(""), cwd);
}

// ---- File search and erasure -----------------------------------------------------------

struct MaskCase {
  const char* mask;
  const char* name;
  bool matches;
  const char* what;
};

TEST(MaskMatchesTest, WindowsStyleMasks) {
  const MaskCase cases[] = {
      {"*.*", "README", true, "star_dot_star_matches_name_without_dot"},
      {"*.*", "a.b.c", true, "star_dot_star_matches_many_dots"},
      {"*", "x.dbf", true, "star"},
      {"*.", "README", true, "star_dot_matches_no_extension"},
      {"*.", "x.dbf", false, "star_dot_rejects_extension"},
      {"*.DBF", "exam.dbf", true, "case_insensitive"},
      {"*.DBF", "exam.dbt", false, "other_extension"},
      {"*.DBF", "exam.dbf.bak", false, "extension_must_end"},
      {"EX??.DBF", "exam.dbf", true, "question_marks"},
      {"EX??.DBF", "exa.dbf", false, "question_mark_needs_a_character"},
      {"EXAM.*", "exam", true, "dot_star_allows_no_extension"},
      {"EXAM.*", "exam.ndx", true, "dot_star_any_extension"},
      {"EXAM.*", "examx", false, "dot_star_needs_whole_base"},
      {"*AM*", "exam.dbf", true, "inner_star"},
      {"a*b*c", "aXXbYYc", true, "backtracking"},
      {"a*b*c", "aXXbYY", false, "backtracking_fails"},
      {"exam.dbf", "EXAM.DBF", true, "plain_name"},
      {"", "x", false, "empty_mask"},
  };
  for (const MaskCase& c : cases) {
    EXPECT_EQ(engine::MaskMatches(c.mask, c.name), c.matches) << c.what;
  }
}

class FileSearchTest : public UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    WriteFileBytes(dir_ / "EXAM.DBF", "12345");
    WriteFileBytes(dir_ / "exam.dbt", "");
    WriteFileBytes(dir_ / "notes.txt", "");
    WriteFileBytes(dir_ / ".hidden.dbf", "");
    WriteFileBytes(dir_ / "ro.dbf", "");
    chmod((dir_ / "ro.dbf").c_str(), 0444);
    std::filesystem::create_directory(dir_ / "sub.dbf");
  }

  std::vector<std::string> Search(const std::string& mask, uint8_t attr,
                                  std::vector<uint8_t>* attrs = nullptr) {
    std::vector<std::string> names;
    engine::TSearchRec rec;
    for (int32_t r = engine::FindFirstFile(mask, attr, rec); r == 0;
         r = engine::FindNextFile(rec)) {
      names.push_back(rec.Name);
      if (attrs) attrs->push_back(rec.Attr);
    }
    EXPECT_EQ(engine::LastFindResult, 18);
    engine::EndFind(rec);
    return names;
  }
};

TEST_F(FileSearchTest, PlainSearchSkipsHiddenFilesAndFolders) {
  std::vector<uint8_t> attrs;
  EXPECT_EQ(Search(dir_ / "*.DBF", engine::faArchive, &attrs),
            (std::vector<std::string>{"EXAM.DBF", "ro.dbf"}));
  EXPECT_EQ(attrs,
            (std::vector<uint8_t>{engine::faArchive, engine::faArchive | engine::faReadOnly}));
}

TEST_F(FileSearchTest, AnyFileSearchReportsEveryEntryWithItsAttributes) {
  std::vector<uint8_t> attrs;
  EXPECT_EQ(Search(dir_ / "*.dbf", engine::faAnyFile, &attrs),
            (std::vector<std::string>{".hidden.dbf", "EXAM.DBF", "ro.dbf", "sub.dbf"}));
  EXPECT_EQ(attrs[0], engine::faArchive | engine::faHidden);
  EXPECT_EQ(attrs[3] & engine::faDirectory, engine::faDirectory);
}

TEST_F(FileSearchTest, FoundRecordCarriesSizeAndFolder) {
  engine::TSearchRec rec;
  ASSERT_EQ(engine::FindFirstFile(dir_ / "exam.DBF", engine::faArchive, rec), 0);
  EXPECT_EQ(engine::LastFindResult, 0);
  EXPECT_EQ(rec.Name, "EXAM.DBF");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_GT(rec.Time, 0);
  EXPECT_EQ(engine::FindNextFile(rec), 18);
  EXPECT_EQ(engine::LastFindResult, 18);
  engine::EndFind(rec);
}

TEST_F(FileSearchTest, MaskFolderIsResolvedRegardlessOfCase) {
  std::filesystem::create_directory(dir_ / "Data");
  WriteFileBytes(dir_ / "Data/q.dbf", "");
  EXPECT_EQ(Search(dir_ / "DATA\\*.*", engine::faArchive), (std::vector<std::string>{"q.dbf"}));
}

TEST_F(FileSearchTest, MissingFolderAndNoMatch) {
  engine::TSearchRec rec;
  EXPECT_EQ(engine::FindFirstFile(dir_ / "nowhere/*.*", engine::faArchive, rec), 3);
  EXPECT_EQ(engine::LastFindResult, 3);
  EXPECT_EQ(engine::FindFirstFile(dir_ / "*.ndx", engine::faArchive, rec), 18);
  EXPECT_EQ(engine::LastFindResult, 18);
}

TEST_F(FileSearchTest, FileFound) {
  EXPECT_TRUE(engine::FileFound(dir_ / "exam.dbf"));
  EXPECT_TRUE(engine::FileFound(dir_ / ".hidden.dbf"));
  EXPECT_TRUE(engine::FileFound(dir_ / "*.TXT"));
  EXPECT_FALSE(engine::FileFound(dir_ / "sub.dbf"));
  EXPECT_FALSE(engine::FileFound(dir_ / "exam.ndx"));
}

TEST_F(FileSearchTest, EraseByMaskCountsAndKeepsFailures) {
  WriteFileBytes(dir_ / "a.tmp", "");
  WriteFileBytes(dir_ / "b.TMP", "");
  WriteFileBytes(dir_ / "c.tmp", "");
  chmod((dir_ / "c.tmp").c_str(), 0444);
  const std::string mask = dir_ / "*.TMP";
  engine::EraseFiles(mask);
  EXPECT_FALSE(platform::PathExists(dir_ / "a.tmp"));
  EXPECT_FALSE(platform::PathExists(dir_ / "b.TMP"));
  EXPECT_TRUE(platform::PathExists(dir_ / "c.tmp"));
  EXPECT_TRUE(platform::PathExists(dir_ / "notes.txt"));
  ASSERT_EQ(engine::EraseFailures.size(), 1u);
  EXPECT_EQ(engine::EraseFailures[0].Name, "c.tmp");
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::ErrorMsg, "Could not erase 1 files like " + mask);

  // The next call starts with an empty failure list.
  engine::ErrorCode = 0;
  chmod((dir_ / "c.tmp").c_str(), 0644);
  engine::EraseFiles(mask);
  EXPECT_TRUE(engine::EraseFailures.empty());
  EXPECT_EQ(engine::ErrorCode, 0);
  EXPECT_FALSE(platform::PathExists(dir_ / "c.tmp"));
}

TEST_F(FileSearchTest, EraseOneName) {
  engine::EraseFiles(dir_ / "exam.DBT");  // found regardless of case
  EXPECT_EQ(engine::ErrorCode, 0);
  EXPECT_FALSE(platform::PathExists(dir_ / "exam.dbt"));

  const std::string missing = dir_ / "gone.dbf";
  engine::EraseFiles(missing);
  EXPECT_EQ(engine::ErrorCode, 2);
  EXPECT_EQ(engine::ErrorMsg, "Error erasing " + missing);

  engine::ErrorCode = 0;
  engine::EraseFiles(dir_ / "ro.dbf");
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_TRUE(platform::PathExists(dir_ / "ro.dbf"));
}

// ---- Disk space, unique names, clock ---------------------------------------------------

TEST_F(UtilsTest, DiskFree) {
  EXPECT_GE(engine::DiskFreeKB(0), 0);
  EXPECT_EQ(engine::DiskFreeKB(3), -1);
  EXPECT_EQ(engine::DiskFreeKB(27), -1);
  EXPECT_GE(engine::DiskFreeKBOf(dir_.path()), 0);
  EXPECT_GE(engine::DiskFreeKBOf(dir_ / "not_yet.$$$"), 0);
  EXPECT_EQ(engine::DiskFreeKBOf("/nonexistent-folder/x/y.dbt"), -1);
}

class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const std::string& dir) {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TMPDIR", dir.c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (had_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST_F(UtilsTest, UniqueFilenameCreatesAnEmptyFileInTheTempFolder) {
  ScopedTmpDir tmp(dir_.path());
  std::string a = engine::UniqueFilename();
  std::string b = engine::UniqueFilename();
  EXPECT_EQ(a.rfind(dir_ / "WENP", 0), 0u) << a;
  EXPECT_NE(a, b);
  EXPECT_TRUE(platform::PathExists(a));
  EXPECT_EQ(ReadFileBytes(a), "");
  EXPECT_EQ(engine::ErrorCode, 0);
}

TEST_F(UtilsTest, UniqueFilenameFailureSetsTheError) {
  ScopedTmpDir tmp(dir_ / "missing");
  EXPECT_EQ(engine::UniqueFilename(), "");
  EXPECT_NE(engine::ErrorCode, 0);
  EXPECT_EQ(engine::ErrorMsg, "Error requesting unique file name [UniqueFilename]");
}

TEST_F(UtilsTest, TimerTicksCountsEighteenPointTwoPerSecond) {
  struct TickCase {
    uint64_t ms;
    int32_t ticks;
  };
  const TickCase cases[] = {{0, 0}, {27, 0}, {28, 1}, {1000, 18}, {10000, 182}, {3600000, 65543}};
  for (const TickCase& c : cases) {
    platform::SetTickSource([ms = c.ms] { return ms; });
    EXPECT_EQ(engine::TimerTicks(), c.ticks) << c.ms;
  }
  platform::SetTickSource({});
}

TEST_F(UtilsTest, GetDateReadsTheClock) {
  platform::LocalTime t;
  t.year = 2000;
  t.month = 2;
  t.day = 29;
  platform::SetTestNow(t);
  uint16_t y = 0, m = 0, d = 0, w = 9;
  engine::GetDate(y, m, d, w);
  platform::ClearTestNow();
  EXPECT_EQ(y, 2000);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(d, 29);
  EXPECT_EQ(w, 2);  // Tuesday
}

}  // namespace
