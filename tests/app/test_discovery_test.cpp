#include "app/test_discovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/window_support.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(TestDiscoveryTest, ListsIniFilesInTheWindowsOrder) {
  testing_support::TempDir dir;
  for (const char* name :
       {"b.ini", "a.ini", "B.INI", "Setup.Ini", ".hidden.ini", "x.ini.bak", "notes.txt", "c.ini"}) {
    Touch(dir / name);
  }
  std::filesystem::create_directory(dir / "folder.ini");
  ASSERT_EQ(::symlink("/nonexistent", (dir / "dangling.ini").c_str()), 0);
  EXPECT_EQ(ListTestDefinitions(dir.path()),
            (std::vector<std::string>{"a.ini", "B.INI", "b.ini", "c.ini", "Setup.Ini"}));
  EXPECT_TRUE(ListTestDefinitions(dir / "missing").empty());
}

TEST(TestDiscoveryTest, UpperCaseTiesAreBytewise) {
  testing_support::TempDir dir;
  Touch(dir / "B.ini");
  Touch(dir / "a.ini");
  EXPECT_EQ(ListTestDefinitions(dir.path()).front(), "a.ini");
}

TEST(TestDiscoveryTest, DerivedNames) {
  struct Case {
    std::string ini, dbf;
  } tables[] = {
      {"a.ini", "a.dbf"}, {"NT10420.INI", "NT10420.dbf"}, {"test.in", "testdbf"}, {"ab", "dbf"}};
  for (const Case& c : tables) EXPECT_EQ(QuestionTableName(c.ini), c.dbf) << c.ini;

  struct Book {
    std::string format, book;
  } books[] = {{"Acrobat", "a.pdf"}, {"Help", "a.hlp"}, {"acrobat", ""}, {"VexaEdit5", ""}};
  for (const Book& b : books) EXPECT_EQ(BookFileName("a.dbf", b.format), b.book) << b.format;
}

TEST(TestDiscoveryTest, NumbersOfTheTestDefinition) {
  struct Case {
    std::string text;
    std::optional<int> value;
  } cases[] = {{"90", 90},
               {" 90 ", 90},
               {"+5", 5},
               {"-5", -5},
               {"", std::nullopt},
               {"VexaEdit2", std::nullopt},
               {"9 0", std::nullopt},
               {"1.5", std::nullopt},
               {"-", std::nullopt},
               {"99999999999", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(WholeNumber(c.text), c.value) << "'" << c.text << "'";

  for (auto [score, percent] : {std::pair{700, 70},
                                {750, 75},
                                {705, 70},
                                {715, 72},
                                {0, 0},
                                {1000, 100},
                                {5, 0},
                                {15, 2}}) {
    EXPECT_EQ(PassingPercentFor(score), percent) << score;
  }
}

TEST(CentringTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(CentredPosition({1024, 768}, {635, 457}), QPoint(194, 145));
  EXPECT_EQ(CentredPosition({1024, 768}, {629, 431}), QPoint(198, 157));
  EXPECT_EQ(CentredPosition({1024, 768}, {1024, 768}), QPoint(0, -11));
  EXPECT_EQ(CentredPosition({100, 100}, {103, 103}), QPoint(-2, -13))
      << "a window wider than the screen";
}

}  // namespace
}  // namespace app
