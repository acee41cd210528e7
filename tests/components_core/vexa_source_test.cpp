#include "components/core/vexa_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/error.h"
#include "platform/core/paths.h"
#include "platform/core/profile.h"
#include "tests/support/profile_env.h"
#include "tests/support/temp_dir.h"

namespace components {
namespace {

using testing_support::ProfileEnv;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Lines = std::vector<std::string>;

// Each test gets its own profile folder and its own program folder (bin/).
class VexaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir((dir_ / "bin").c_str(), 0755), 0);
    source_.SetFileName(dir_ / "test.ini");
  }
  std::string File() const { return source_.FileName(); }

  TempDir dir_;
  ProfileEnv profile_env_{dir_ / "config", dir_ / "bin/prog"};
  TVexaSource source_;
};

// The widgets' side of the controls, as plain members.
class FakeText : public TVexaTextControl {
 public:
  std::string text;

 protected:
  std::string INIText() const override { return text; }
  void SetINIText(const std::string& t) override { text = t; }
};

class FakeList : public TVexaListControl {
 public:
  Lines items;
  int index = -1;

 protected:
  Lines INIItems() const override { return items; }
  void SetINIItems(const Lines& i) override { items = i; }
  int INIItemIndex() const override { return index; }
  void SetINIItemIndex(int i) override { index = i; }
};

struct IntCase {
  const char* name;
  const char* text;
  int32_t expected;
};

TEST_F(VexaTest, ReadIntegerForms) {
  const IntCase cases[] = {
      {"0x prefix", "0x1F", 31},
      {"dollar prefix", "$1F", 31},
      {"upper-case 0X, mixed digits", "0X1f", 31},
      {"trailing letters give the default", "12abc", -99},
      {"empty text gives the default", "", -99},
      {"negative decimal", "-5", -5},
      {"plus sign", "+7", 7},
      {"largest integer", "2147483647", 2147483647},
      {"smallest integer", "-2147483648", INT32_MIN},
      {"overflow gives the default", "2147483648", -99},
      {"eight hex digits are the 32-bit pattern", "$FFFFFFFF", -1},
      {"nine hex digits overflow", "$100000000", -99},
      {"negative hexadecimal", "-$1F", -31},
      {"a bare 0x gives the default", "0x", -99},
      {"a bare dollar gives the default", "$", -99},
      {"blanks inside give the default", "1 2", -99},
      {"a decimal point gives the default", "1.5", -99},
  };
  for (const IntCase& c : cases) {
    ASSERT_TRUE(source_.WriteString("N", "k", c.text)) << c.name;
    EXPECT_EQ(source_.ReadInteger("N", "k", -99), c.expected) << c.name;
  }
  EXPECT_EQ(source_.ReadInteger("N", "missing", 42), 42);
  ASSERT_TRUE(source_.WriteInteger("N", "w", -1234));
  EXPECT_EQ(source_.ReadString("N", "w", ""), "-1234");
}

TEST_F(VexaTest, WriteStringsReplacesTheSectionAndReadsBack) {
  WriteFileBytes(File(),
                 "[Before]\r\nb=1\r\n[Objectives]\r\nStray=x\r\nObjectiveSel=2\r\n\r\n"
                 "[After]\r\na=1\r\n");
  source_.WriteStrings("Objectives", "Objective", {"One", "Two", " Three "});
  EXPECT_EQ(ReadFileBytes(File()),
            "[Before]\r\nb=1\r\n[Objectives]\r\nObjectiveCount=3\r\nObjective0=One\r\n"
            "Objective1=Two\r\nObjective2=\" Three \"\r\n\r\n[After]\r\na=1\r\n");
  Lines lines = {"design-time line"};
  EXPECT_TRUE(source_.ReadStrings("objectives", "OBJECTIVE", lines));
  EXPECT_EQ(lines, (Lines{"One", "Two", " Three "}));

  source_.WriteStrings("Objectives", "Objective", {});
  EXPECT_EQ(source_.ReadString("Objectives", "ObjectiveCount", ""), "0");
  EXPECT_FALSE(source_.ReadStrings("Objectives", "Objective", lines)) << "count 0 keeps lines";
  EXPECT_EQ(lines.size(), 3u);
}

struct ListCase {
  const char* name;
  std::string section;  // the body of section [L]
  bool replaced;
  Lines expected;
};

TEST_F(VexaTest, ReadStringsCases) {
  const Lines design = {"design"};
  const ListCase cases[] = {
      {"a missing count keeps the lines", "I0=a\r\n", false, design},
      {"a count of 0 keeps the lines", "ICount=0\r\nI0=a\r\n", false, design},
      {"an unconvertible count keeps the lines", "ICount=x\r\nI0=a\r\n", false, design},
      {"an empty line is skipped", "ICount=3\r\nI0=a\r\nI1=\r\nI2=c\r\n", true, {"a", "c"}},
      {"a missing line is skipped", "ICount=3\r\nI0=a\r\nI2=c\r\n", true, {"a", "c"}},
      {"a negative count empties the list", "ICount=-1\r\nI0=a\r\n", true, {}},
      {"lines past the count are ignored",
       "ICount=2\r\nI0=a\r\nI1=b\r\nI2=c\r\n",
       true,
       {"a", "b"}},
      {"a leading zero is another key", "ICount=2\r\nI0=a\r\nI01=x\r\nI1=b\r\n", true, {"a", "b"}},
      {"lines come in index order", "ICount=3\r\nI2=c\r\nI0=a\r\nI1=b\r\n", true, {"a", "b", "c"}},
      {"key names ignore case", "icount=2\r\ni0=a\r\nI1=b\r\n", true, {"a", "b"}},
      {"a hexadecimal count", "ICount=0x2\r\nI0=a\r\nI1=b\r\n", true, {"a", "b"}},
      {"a huge count costs nothing", "ICount=2147483647\r\nI0=a\r\nI9=z\r\n", true, {"a", "z"}},
      {"the first duplicate line wins", "ICount=1\r\nI0=a\r\nI0=b\r\n", true, {"a"}},
      {"other items' keys are not lines",
       "ICount=2\r\nI0=a\r\nIX0=x\r\nI1=b\r\n",
       true,
       {"a", "b"}},
  };
  for (const ListCase& c : cases) {
    WriteFileBytes(File(), "[L]\r\n" + c.section);
    Lines lines = design;
    EXPECT_EQ(source_.ReadStrings("L", "I", lines), c.replaced) << c.name;
    EXPECT_EQ(lines, c.expected) << c.name;
  }
  Lines lines = design;
  source_.SetFileName(dir_ / "missing.ini");
  EXPECT_FALSE(source_.ReadStrings("L", "I", lines));
  EXPECT_EQ(lines, design);
}

TEST_F(VexaTest, FailedWritesAreReported) {
  std::string plain = dir_ / "plain";
  WriteFileBytes(plain, "a regular file");
  source_.SetFileName(plain + "/scores.ini");
  EXPECT_FALSE(source_.WriteString("S", "k", "v"));
  EXPECT_FALSE(source_.WriteInteger("S", "k", 1));
  try {
    source_.EraseSection("S");
    ADD_FAILURE() << "EraseSection did not raise";
  } catch (const engine::EWendalError& e) {
    EXPECT_NE(std::string(e.what()).find(plain + "/scores.ini"), std::string::npos) << e.what();
  }
  EXPECT_THROW(source_.WriteStrings("S", "I", {"a"}), engine::EWendalError);
  EXPECT_EQ(ReadFileBytes(plain), "a regular file");

  source_.SetFileName(dir_ / "absent.ini");
  EXPECT_NO_THROW(source_.EraseSection("S"));
  EXPECT_FALSE(platform::PathExists(dir_ / "absent.ini"));
}

TEST_F(VexaTest, FileNameWithAndWithoutUseAppDir) {
  struct {
    const char* stored;
    const char* resolved;  // below the test folder
  } cases[] = {
      {"exam.ini", "bin/exam.ini"},
      {"C:\\Tests\\Net\\exam.ini", "bin/exam.ini"},
      {"other/folder/exam.ini", "bin/exam.ini"},
      {"C:exam.ini", "bin/exam.ini"},
  };
  source_.SetUseAppDir(true);
  for (const auto& c : cases) {
    source_.SetFileName(c.stored);
    EXPECT_EQ(source_.FileName(), dir_ / c.resolved) << c.stored;
    EXPECT_EQ(source_.StoredFileName(), c.stored);
  }
  source_.SetFileName("exam.ini");
  ASSERT_TRUE(source_.WriteString("TestInfo", "Test Name", "Demo"));
  EXPECT_EQ(ReadFileBytes(dir_ / "bin/exam.ini"), "[TestInfo]\r\nTest Name=Demo\r\n");

  source_.SetUseAppDir(false);
  EXPECT_EQ(source_.FileName(), "exam.ini");
  EXPECT_EQ(source_.ReadString("TestInfo", "Test Name", "none"), "none");
  ASSERT_TRUE(source_.WriteInteger("Scores", "Total", 70));
  EXPECT_EQ(ReadFileBytes(dir_ / "config/practice-exam/exam.ini"), "[Scores]\r\nTotal=70\r\n");
}

TEST_F(VexaTest, LinksFollowTheirSources) {
  auto other = std::make_unique<TVexaSource>();
  auto edit = std::make_unique<FakeText>();
  FakeList list;
  EXPECT_EQ(edit->Link().Control(), edit.get());
  EXPECT_EQ(edit->INISource(), nullptr);

  edit->SetINISource(&source_);
  list.SetINISource(&source_);
  source_.AddLink(&edit->Link());  // already there: not added twice
  EXPECT_EQ(source_.Links(), (std::vector<TVexaLink*>{&edit->Link(), &list.Link()}));

  edit->SetINISource(other.get());
  EXPECT_EQ(source_.Links(), (std::vector<TVexaLink*>{&list.Link()}));
  EXPECT_EQ(other->Links(), (std::vector<TVexaLink*>{&edit->Link()}));

  other.reset();  // a removed source is cleared from its controls
  EXPECT_EQ(edit->INISource(), nullptr);
  edit->ReadINI();  // unbound now: does nothing
  edit->SetINISource(&source_);
  edit.reset();  // a destroyed control leaves its source
  EXPECT_EQ(source_.Links(), (std::vector<TVexaLink*>{&list.Link()}));
  source_.RemoveLink(&list.Link());
  source_.RemoveLink(&list.Link());
  EXPECT_TRUE(source_.Links().empty());
}

TEST_F(VexaTest, TextControlReadsAndWritesItsKey) {
  FakeText edit;
  edit.SetINISource(&source_);
  edit.SetINISection("TestInfo");
  edit.SetINIItem("Time Limit");
  edit.text = "current";
  edit.ReadINI();
  EXPECT_EQ(edit.text, "current") << "a missing key leaves the text";
  EXPECT_FALSE(platform::PathExists(File()));

  edit.text = "90";
  edit.WriteINI();
  EXPECT_EQ(source_.ReadString("TestInfo", "Time Limit", ""), "90");
  FakeText label;
  label.SetINISource(&source_);
  label.SetINISection("testinfo");
  label.SetINIItem("TIME LIMIT");
  label.ReadINI();
  EXPECT_EQ(label.text, "90");

  // One control aimed at several keys in turn.
  ASSERT_TRUE(source_.WriteString("TestInfo", "Passing Score", "70"));
  label.SetINIItem("Passing Score");
  label.ReadINI();
  EXPECT_EQ(label.text, "70");
}

TEST_F(VexaTest, NamesAreCutTo40) {
  const std::string long_section(45, 's');
  const std::string long_item = std::string(40, 'i') + "extra";
  FakeList list;
  list.SetINISource(&source_);
  list.SetINISection(long_section);
  list.SetINIItem(long_item);
  EXPECT_EQ(list.INISection().str(), long_section.substr(0, 40));
  EXPECT_EQ(list.INIItem().str(), long_item.substr(0, 40));
  EXPECT_EQ(TString40(std::string(50, 'x')).size(), 40u);

  list.SetINISaveItems(true);
  list.items = {"first", "second"};
  list.index = 1;
  list.WriteINI();
  const std::string item40(40, 'i');
  EXPECT_EQ(source_.ReadString(long_section.substr(0, 40), item40 + "Count", ""), "2");
  EXPECT_EQ(source_.ReadString(long_section.substr(0, 40), item40 + "Sel", ""), "1");

  FakeList loaded;
  loaded.SetINISource(&source_);
  loaded.SetINISection(long_section);
  loaded.SetINIItem(long_item);
  loaded.SetINISaveItems(true);
  loaded.ReadINI();
  EXPECT_EQ(loaded.items, (Lines{"first", "second"}));
  EXPECT_EQ(loaded.index, 1);
}

TEST_F(VexaTest, ListControlStoresLinesOnlyWithSaveItems) {
  WriteFileBytes(File(), "[Objectives]\r\nStray=x\r\n");
  FakeList list;
  list.SetINISource(&source_);
  list.SetINISection("Objectives");
  list.SetINIItem("Objective");
  list.items = {"a", "b"};
  list.index = 0;
  list.WriteINI();
  EXPECT_EQ(ReadFileBytes(File()), "[Objectives]\r\nStray=x\r\nObjectiveSel=0\r\n");

  list.SetINISaveItems(true);
  list.WriteINI();
  EXPECT_EQ(ReadFileBytes(File()),
            "[Objectives]\r\nObjectiveCount=2\r\nObjective0=a\r\nObjective1=b\r\n"
            "ObjectiveSel=0\r\n");

  FakeList plain;  // without INISaveItems only the selection is read
  plain.SetINISource(&source_);
  plain.SetINISection("Objectives");
  plain.SetINIItem("Objective");
  plain.items = {"design"};
  plain.ReadINI();
  EXPECT_EQ(plain.items, (Lines{"design"}));
  EXPECT_EQ(plain.index, 0);

  plain.SetINIItem("Other");  // no keys: lines and selection stay
  plain.SetINISaveItems(true);
  plain.index = 5;
  plain.ReadINI();
  EXPECT_EQ(plain.items, (Lines{"design"}));
  EXPECT_EQ(plain.index, 5);
}

TEST_F(VexaTest, UnboundControlsNeitherReadNorWrite) {
  ASSERT_TRUE(source_.WriteString("S", "", "empty-named key"));
  ASSERT_TRUE(source_.WriteString("", "k", "empty-named section"));
  const std::string before = ReadFileBytes(File());
  struct {
    const char* name;
    bool source;
    const char* section;
    const char* item;
  } cases[] = {
      {"no source", false, "S", "k"},
      {"empty item", true, "S", ""},
      {"empty section", true, "", "k"},
  };
  for (const auto& c : cases) {
    FakeText edit;
    FakeList list;
    list.SetINISaveItems(true);
    edit.SetINISource(c.source ? &source_ : nullptr);
    list.SetINISource(c.source ? &source_ : nullptr);
    edit.SetINISection(c.section);
    list.SetINISection(c.section);
    edit.SetINIItem(c.item);
    list.SetINIItem(c.item);
    edit.text = "text";
    list.items = {"line"};
    list.index = 3;
    edit.ReadINI();
    list.ReadINI();
    edit.WriteINI();
    list.WriteINI();
    EXPECT_EQ(edit.text, "text") << c.name;
    EXPECT_EQ(list.items, (Lines{"line"})) << c.name;
    EXPECT_EQ(list.index, 3) << c.name;
    EXPECT_EQ(ReadFileBytes(File()), before) << c.name;
  }
}

TEST_F(VexaTest, NotifyDispatchesOnCodeAndParameter) {
  FakeText edit;
  edit.SetINISource(&source_);
  edit.SetINISection("S");
  edit.SetINIItem("k");
  edit.text = "written";
  TVexaMessage write{kVexaNotify, kVexaNotifyWrite};
  edit.Link().Notify()(write);  // the link calls the control's ININotify
  EXPECT_EQ(source_.ReadString("S", "k", ""), "written");

  ASSERT_TRUE(source_.WriteString("S", "k", "stored"));
  TVexaMessage other_code{99, 0};
  edit.ININotify(other_code);
  EXPECT_EQ(edit.text, "written") << "other codes are ignored";
  TVexaMessage read{kVexaNotify, 7};
  edit.ININotify(read);
  EXPECT_EQ(edit.text, "stored");
}

}  // namespace
}  // namespace components
