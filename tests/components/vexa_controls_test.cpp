#include "components/gui/vexa_controls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/core/paths.h"
#include "tests/support/profile_env.h"
#include "tests/support/temp_dir.h"

namespace components {
namespace {

using testing_support::ProfileEnv;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Each test gets its own profile folder and program folder (bin/); the source is the file
// "exam.ini" beside the program.
class VexaControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir((dir_ / "bin").c_str(), 0755), 0);
    source_ = std::make_unique<TVexaSource>();
    source_->SetUseAppDir(true);
    source_->SetFileName("exam.ini");
    ASSERT_EQ(source_->FileName(), dir_ / "bin/exam.ini");
  }
  void TearDown() override { source_.reset(); }
  std::string File() const { return dir_ / "bin/exam.ini"; }

  TempDir dir_;
  ProfileEnv profile_env_{dir_ / "config", dir_ / "bin/prog"};
  std::unique_ptr<TVexaSource> source_;
};

TEST_F(VexaControlsTest, EditIsAimedAtSeveralKeysInTurn) {
  WriteFileBytes(File(), "[TestInfo]\r\nTitle=Caf\xE9 test\r\nTime Limit=90\r\n");
  TVexaEdit edit;
  edit.SetSource(source_.get());
  EXPECT_EQ(edit.GetSource(), source_.get());
  edit.SetSection("TestInfo");
  EXPECT_EQ(edit.GetSection().str(), "TestInfo");

  edit.SetItem("Title");
  edit.ReadINI();
  EXPECT_EQ(edit.text(), QString::fromUtf8("Café test")) << "ANSI bytes become text";
  edit.SetItem("time limit");
  EXPECT_EQ(edit.GetItem().str(), "time limit");
  edit.ReadINI();
  EXPECT_EQ(edit.text(), "90");

  // A missing key leaves the text as it is, characters ANSI cannot hold included.
  edit.setText(QString::fromUtf8("keep \u20AC \u4E2D"));
  edit.SetItem("Missing");
  edit.ReadINI();
  EXPECT_EQ(edit.text(), QString::fromUtf8("keep \u20AC \u4E2D"));

  // Writing stores ANSI bytes; other lines are kept.
  edit.setText(QString::fromUtf8("Résumé"));
  edit.SetItem("Subtitle");
  edit.WriteINI();
  EXPECT_EQ(ReadFileBytes(File()),
            "[TestInfo]\r\nTitle=Caf\xE9 test\r\nTime Limit=90\r\nSubtitle=R\xE9sum\xE9\r\n");

  // ININotify: code 100 with parameter 101 writes, with another parameter reads.
  edit.SetItem("Time Limit");
  edit.setText("120");
  TVexaMessage write{kVexaNotify, kVexaNotifyWrite};
  edit.ININotify(write);
  EXPECT_EQ(source_->ReadString("TestInfo", "Time Limit", ""), "120");
  edit.setText("x");
  TVexaMessage read{kVexaNotify, 0};
  edit.ININotify(read);
  EXPECT_EQ(edit.text(), "120");
}

TEST_F(VexaControlsTest, LabelReadsAndWritesItsCaption) {
  TVexaLabel label;
  label.SetINISource(source_.get());
  label.SetINISection("Results");
  label.SetINIItem("Last");
  label.SetCaption(QString::fromUtf8("Passed – 85%"));
  label.WriteINI();
  EXPECT_EQ(source_->ReadString("Results", "Last", ""), "Passed \x96 85%");

  TVexaLabel other;
  other.SetINISource(source_.get());
  other.SetINISection("results");
  other.SetINIItem("LAST");
  other.ReadINI();
  EXPECT_EQ(other.Caption(), QString::fromUtf8("Passed – 85%"));
}

TEST_F(VexaControlsTest, ListBoxStoresLinesAndSelection) {
  const std::string item40(40, 'O');
  TVexaListBox list;
  list.SetINISource(source_.get());
  list.SetINISection("Objectives");
  list.SetINIItem(item40 + "bjective");  // cut to its first 40 characters
  list.SetINISaveItems(true);
  list.SetItems({"First", QString::fromUtf8("Zweite Übung"), "Third"});
  list.SetItemIndex(2);
  list.WriteINI();
  EXPECT_EQ(source_->ReadString("Objectives", item40 + "Count", ""), "3");
  EXPECT_EQ(source_->ReadString("Objectives", item40 + "1", ""),
            "Zweite \xDC"
            "bung");
  EXPECT_EQ(source_->ReadString("Objectives", item40 + "Sel", ""), "2");

  TVexaListBox loaded;
  loaded.SetItems({"design-time line"});
  loaded.SetINISource(source_.get());
  loaded.SetINISection("Objectives");
  loaded.SetINIItem(item40);
  loaded.SetINISaveItems(true);
  loaded.ReadINI();
  EXPECT_EQ(loaded.Items(), list.Items());
  EXPECT_EQ(loaded.ItemIndex(), 2);
  EXPECT_EQ(loaded.currentItem()->text(), "Third");

  // Without INISaveItems only the selection is stored and loaded.
  TVexaListBox plain;
  plain.SetINISource(source_.get());
  plain.SetINISection("Choice");
  plain.SetINIItem("Answer");
  plain.SetItems({"A", "B"});
  plain.SetItemIndex(-1);
  plain.WriteINI();
  EXPECT_NE(ReadFileBytes(File()).find("[Choice]\r\nAnswerSel=-1\r\n"), std::string::npos);
  ASSERT_TRUE(source_->WriteInteger("Choice", "AnswerSel", 1));
  plain.ReadINI();
  EXPECT_EQ(plain.Items(), (QStringList{"A", "B"}));
  EXPECT_EQ(plain.ItemIndex(), 1);
  ASSERT_TRUE(source_->WriteInteger("Choice", "AnswerSel", 7));  // no such line: none selected
  plain.ReadINI();
  EXPECT_EQ(plain.ItemIndex(), -1);
  EXPECT_TRUE(plain.selectedItems().isEmpty());
}

TEST_F(VexaControlsTest, EmptyItemNeitherReadsNorWrites) {
  ASSERT_TRUE(source_->WriteString("S", "Count", "5"));
  ASSERT_TRUE(source_->WriteString("S", "Sel", "0"));
  const std::string before = ReadFileBytes(File());
  TVexaEdit edit;
  TVexaLabel label;
  TVexaListBox list;
  edit.setText("edit");
  label.SetCaption("label");
  list.SetItems({"a", "b"});
  list.SetItemIndex(1);
  list.SetINISaveItems(true);
  TVexaControl* controls[] = {&edit, &label, &list};
  for (TVexaControl* control : controls) {
    control->SetINISource(source_.get());
    control->SetINISection("S");
    control->ReadINI();
    control->WriteINI();
  }
  EXPECT_EQ(edit.text(), "edit");
  EXPECT_EQ(label.Caption(), "label");
  EXPECT_EQ(list.Items(), (QStringList{"a", "b"}));
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(ReadFileBytes(File()), before);
}

TEST_F(VexaControlsTest, DestroyingTheSourceClearsTheControls) {
  TVexaEdit edit;
  TVexaLabel label;
  TVexaListBox list;
  TVexaControl* controls[] = {&edit, &label, &list};
  for (TVexaControl* control : controls) {
    control->SetINISource(source_.get());
    control->SetINISection("S");
    control->SetINIItem("K");
  }
  EXPECT_EQ(source_->Links().size(), 3u);
  source_.reset();
  for (TVexaControl* control : controls) {
    EXPECT_EQ(control->INISource(), nullptr);
    control->WriteINI();  // unbound now: does nothing
  }
  EXPECT_FALSE(platform::PathExists(File()));

  // A control destroyed first leaves its source.
  TVexaSource source;
  {
    TVexaEdit gone;
    gone.SetSource(&source);
    EXPECT_EQ(source.Links().size(), 1u);
  }
  EXPECT_TRUE(source.Links().empty());
}

}  // namespace
}  // namespace components
