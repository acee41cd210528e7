#include "components/core/wen_dbf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/index_driver.h"
#include "engine/ndx_format.h"
#include "engine/work_area.h"
#include "platform/core/halt.h"
#include "tests/components_core/class_layer_fixture.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/processes.h"

namespace components {
namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

Lines FilesIn(const std::string& dir) {
  Lines names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class WenDbfTest : public ClassLayerTest {
 protected:
  // Table a.dbf (names c, a, b) with the index entry "1,<dir>/a.ndx,NAME".
  void SetUpIndexedTable(TWenDbf& t, TCreateIndexType create) {
    t.SetName("Indexed");
    t.SetDbfFileName(dir_ / "a.dbf");
    t.IndexList = {"1," + Ndx() + ",NAME"};
    t.CreateIndex = create;
    t.OnBeforeMakeIndex = [this](TComponent*, const std::string& name, bool& can_make) {
      before_.push_back(name);
      can_make = can_make_;
    };
    t.OnAfterMakeIndex = [this](TComponent*, const std::string& name) { after_.push_back(name); };
  }
  std::string Ndx() const { return dir_ / "a.ndx"; }
  // Builds a.ndx through a component and closes it again.
  void BuildIndex() {
    TWenDbf t;
    SetUpIndexedTable(t, ciAlways);
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
    before_.clear();
    after_.clear();
  }
  static std::string FirstName(TWenDbf& t) {
    t.GoTop();
    return t.DataSet()->FieldByName("name")->GetText();
  }

  Lines before_, after_;
  bool can_make_ = true;
};

TEST_F(WenDbfTest, UseCommandTextAliasAndExclusive) {
  MakeTable(dir_ / "q.dbf", {"x"});
  TWenDbf t;
  t.SetName("QuestionTable1");
  t.SetDbfFileName(dir_ / "q.dbf");
  EXPECT_EQ(t.OpenCommand(), dir_ / "q.dbf ALIAS QuestionTa");
  t.SetActive(true);
  ASSERT_TRUE(t.Active());
  EXPECT_EQ(engine::Alias(), "QUESTIONTA");
  EXPECT_FALSE(engine::IsExclusive());

  t.SetExclusive(true);  // reopens
  EXPECT_EQ(t.OpenCommand(), dir_ / "q.dbf EXCLUSIVE ALIAS QuestionTa");
  EXPECT_TRUE(t.Active());
  t.RecCount();  // selects its area
  EXPECT_TRUE(engine::IsExclusive());
}

TEST_F(WenDbfTest, DbfFileNameGetsTheDefaultExtensionAndFindsTheFileRegardlessOfCase) {
  struct Case {
    const char* given;
    const char* stored;
  };
  const Case cases[] = {
      {"q", "q.DBF"},
      {"  q.dbf  ", "q.dbf"},
      {"q.", "q."},
      {"data/q.txt", "data/q.txt"},
      {"data.d/q", "data.d/q.DBF"},
      {"   ", ""},
  };
  for (const Case& c : cases) {
    TWenDbf t;
    t.SetDbfFileName(c.given);
    EXPECT_EQ(t.DbfFileName(), c.stored) << c.given;
  }

  MakeTable(dir_ / "q.dbf", {"x", "y"});
  TWenDbf t;
  t.SetName("Questions");
  t.DbfFields = {"OTHER, C, 5, 0"};  // would be created if q.DBF were not found
  t.SetDbfFileName(dir_ / "q");
  EXPECT_EQ(t.DbfFileName(), dir_ / "q.DBF");
  t.SetActive(true);
  ASSERT_TRUE(t.Active());
  EXPECT_EQ(t.RecCount(), 2);
  EXPECT_EQ(t.DataSet()->Fields().size(), 1u);
  EXPECT_EQ(FilesIn(dir_.path()), (Lines{"q.dbf"}));

  // An empty name closes the table.
  t.SetDbfFileName("");
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(t.Area(), 0);
  EXPECT_FALSE(t.DataSet()->Active());
}

TEST_F(WenDbfTest, ActiveWithoutAFileNameDoesNothing) {
  TWenDbf t;
  t.SetName("Nothing");
  t.SetActive(true);
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(t.Area(), 0);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WenDbfTest, ActiveSetWhileLoadingOpensInLoaded) {
  MakeTable(dir_ / "a.dbf", {"a1"});
  TWenDbf t;
  t.BeginLoading();
  t.SetName("Loaded");
  t.SetDbfFileName(dir_ / "a.dbf");
  t.SetActive(true);
  EXPECT_EQ(t.Area(), 0);
  t.Loaded();
  EXPECT_TRUE(t.Active());
  EXPECT_TRUE(t.DataSet()->Active());
  EXPECT_EQ(t.DataSet()->FieldByName("name")->GetText(), "a1");
}

TEST_F(WenDbfTest, CreatesAMissingTableFromDbfFields) {
  TWenDbf t;
  t.SetName("Created");
  t.DbfFields = {"name, c, 12, 0", "skipped, X, 0, 0", "price,N,8,2",
                 "when, D, 0, 0",  "ok, L, 0, 0",      "note, M, 0, 0"};
  t.SetDbfFileName(dir_ / "new");
  t.SetActive(true);
  ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
  EXPECT_TRUE(messages_.empty());
  Lines fields;
  for (const TWenField* f : t.DataSet()->Fields()) {
    fields.push_back(f->FieldName + " " + f->FieldType + " " + std::to_string(f->Len) + " " +
                     std::to_string(f->Dec));
  }
  EXPECT_EQ(fields, (Lines{"name C 12 0", "price N 8 2", "when D 8 0", "ok L 1 0", "note M 10 0"}));
  EXPECT_EQ(FilesIn(dir_.path()), (Lines{"new.DBF", "new.DBT"}));
}

TEST_F(WenDbfTest, ABadFieldLineCreatesNoTableAndTheOpenFails) {
  const char* bad[] = {
      "name, C, 10",        // two commas
      "name, C, 10, 0, 1",  // four commas
      "name, Z, 10, 0",     // unknown type
      "num, N, 20, 0",      // too wide
      "num, N, 18, 16",     // too many decimals
      "num, N, 5, 4",       // no room for the digits before the point
      "text, C, 255, 0",    // too wide
      "text, C, -1, 0",     // out of range
      "text, C, 300, 0",    // out of range
      ", C, 10, 0",         // no name
  };
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    messages_.clear();
    TWenDbf t;
    t.SetName("Bad");
    t.DbfFields = {"good, C, 5, 0", line};
    t.SetDbfFileName(dir_ / "bad.dbf");
    t.SetActive(true);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(engine::ErrorCode, 2);
    EXPECT_EQ(messages_, Lines{"Could not create '" + (dir_ / "bad.dbf") + "'"});
    EXPECT_TRUE(FilesIn(dir_.path()).empty());
  }

  messages_.clear();
  TWenDbf t;
  t.SetName("Empty");
  t.SetDbfFileName(dir_ / "empty.dbf");
  t.SetActive(true);
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(messages_, (Lines{"FieldList.Count is <= 0 trying to create a database",
                              "Could not create '" + (dir_ / "empty.dbf") + "'"}));
}

TEST_F(WenDbfTest, NamesMustDifferInTheirFirstTenCharacters) {
  TWenDbf a, b;
  a.SetName("QuestionsAB");
  b.SetName("Other");
  b.SetName("questionsaX1");
  EXPECT_EQ(b.GetName(), "Other");
  EXPECT_EQ(messages_, Lines{LoadMsg(kMsgNameNotUnique)});
  b.SetName("  ");
  EXPECT_EQ(b.GetName(), "Other");
  EXPECT_EQ(messages_.back(), "This field cannot be left empty!");
  // Only the first 10 characters count; without notices the name is still refused.
  b.SetName("QuestionsBA");
  EXPECT_EQ(b.GetName(), "QuestionsBA");
  MessageMode(3);
  messages_.clear();
  b.SetName("QUESTIONSABC");
  EXPECT_EQ(b.GetName(), "QuestionsBA");
  EXPECT_TRUE(messages_.empty());
  // Renaming a component to itself in other letters is allowed.
  a.SetName("questionsab");
  EXPECT_EQ(a.GetName(), "questionsab");
}

TEST_F(WenDbfTest, AMissingIndexIsBuiltUnlessTheHandlerRefuses) {
  MakeTable(dir_ / "a.dbf", {"c", "a", "b"});
  {
    TWenDbf t;
    SetUpIndexedTable(t, ciNotFound);
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
    EXPECT_EQ(before_, Lines{Ndx()});
    EXPECT_EQ(after_, Lines{Ndx()});
    EXPECT_EQ(FirstName(t), "a");  // in index order
  }
  std::filesystem::remove(Ndx());
  before_.clear();
  after_.clear();
  can_make_ = false;
  TWenDbf t;
  SetUpIndexedTable(t, ciNotFound);
  t.SetActive(true);
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(engine::ErrorCode, 2);  // the second pass found no file
  EXPECT_EQ(before_, Lines{Ndx()});
  EXPECT_TRUE(after_.empty());
  EXPECT_EQ(t.Area(), 0);
  EXPECT_FALSE(engine::AbortOnError);
}

TEST_F(WenDbfTest, WithCiNeverAMissingIndexFailsTheOpen) {
  MakeTable(dir_ / "a.dbf", {"c", "a", "b"});
  TWenDbf t;
  SetUpIndexedTable(t, ciNever);
  t.SetActive(true);
  EXPECT_FALSE(t.Active());
  EXPECT_EQ(engine::ErrorCode, 2);
  EXPECT_NE(engine::ErrorMsg.find("a.ndx"), std::string::npos);
  EXPECT_TRUE(before_.empty());
  EXPECT_FALSE(std::filesystem::exists(Ndx()));

  // With halting on the engine's message stops the program.
  EXPECT_EXIT(
      {
        platform::SetMessageHook(nullptr);
        engine::AbortOnError = true;
        TWenDbf u;
        SetUpIndexedTable(u, ciNever);
        u.SetName("Halting");
        u.SetActive(true);
      },
      testing::ExitedWithCode(2), "Attempt to open .*a.ndx");
}

TEST_F(WenDbfTest, UnusableIndexFilesAreRebuiltWithHaltingLeftOn) {
  MakeTable(dir_ / "a.dbf", {"c", "a", "b"});
  BuildIndex();
  const std::string good = ReadFileBytes(Ndx());
  std::string key_maker = good;
  std::memset(key_maker.data() + engine::kNdxExprOffset, 0, engine::kNdxExprSize);
  std::memcpy(key_maker.data() + engine::kNdxExprOffset, engine::kKeyMakerText,
              std::strlen(engine::kKeyMakerText));
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"100 bytes (222)", std::string(100, 'x')},
      {"made by a key routine (223)", key_maker},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(Ndx(), c.bytes);
    before_.clear();
    engine::AbortOnError = true;  // a failure would end the test program
    TWenDbf t;
    SetUpIndexedTable(t, ciNotFound);
    t.SetActive(true);
    EXPECT_TRUE(t.Active());
    EXPECT_TRUE(engine::AbortOnError);
    engine::AbortOnError = false;
    EXPECT_EQ(before_, Lines{Ndx()});
    EXPECT_EQ(FirstName(t), "a");
  }
}

TEST_F(WenDbfTest, CiVerifyHeaderRebuildsAnIndexWhoseCountDoesNotMatch) {
  MakeTable(dir_ / "a.dbf", {"c", "a", "b"});
  BuildIndex();
  {
    TWenDbf t;  // the stored count matches: opened as it is
    SetUpIndexedTable(t, ciVerifyHeader);
    t.SetActive(true);
    ASSERT_TRUE(t.Active());
    EXPECT_TRUE(before_.empty());
  }
  // Breaking the count's check gives -1.
  std::string bytes = ReadFileBytes(Ndx());
  engine::PutI32LE(bytes.data() + engine::kNdxCheckOffset, 12345);
  WriteFileBytes(Ndx(), bytes);
  ASSERT_EQ(engine::IndexHeaderRecCount(Ndx()), -1);
  engine::ErrorCode = 0;

  TWenDbf t;
  SetUpIndexedTable(t, ciVerifyHeader);
  t.SetActive(true);
  ASSERT_TRUE(t.Active());
  EXPECT_EQ(before_, Lines{Ndx()});
  EXPECT_EQ(engine::IndexHeaderRecCount(Ndx()), 3);
}

TEST_F(WenDbfTest, AStaleSemaphoreFileIsRemovedButOneInUseIsKept) {
  const std::string table = dir_ / "a.dbf";
  MakeTable(table, {"c", "a", "b"});
  BuildIndex();
  const std::string semaphore = dir_ / "a.@S@";
  ASSERT_FALSE(std::filesystem::exists(semaphore));

  // Left behind by a program that died: removed, so ciAlways rebuilds.
  WriteFileBytes(semaphore, std::string("\x01\x00\x00\x00", 4));
  {
    TWenDbf t;
    SetUpIndexedTable(t, ciAlways);
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
    EXPECT_EQ(before_, Lines{Ndx()});
    EXPECT_EQ(t.CreateIndex, ciAlways);
  }
  EXPECT_FALSE(std::filesystem::exists(semaphore));  // the last logout removed it
  before_.clear();

  // Held by another program that has the index open: kept, and nothing is rebuilt.
  testing_support::ChildProcesses children;
  testing_support::Pipe ready, done;
  children.Start([&] {
    ready.CloseRead();
    done.CloseWrite();
    engine::Select(0);
    engine::USE(table, nullptr, 0);
    engine::Set_Index_ToLFN(Ndx(), 1);
    if (engine::ErrorCode != 0) return 1;
    ready.Put('R');
    done.WaitClosed();
    return 0;
  });
  ready.CloseWrite();
  done.CloseRead();
  ASSERT_EQ(ready.Get(), 'R');
  ASSERT_TRUE(std::filesystem::exists(semaphore));
  TWenDbf t;
  SetUpIndexedTable(t, ciAlways);
  t.SetActive(true);
  ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
  EXPECT_TRUE(before_.empty());
  EXPECT_EQ(t.CreateIndex, ciNotFound);
  EXPECT_TRUE(std::filesystem::exists(semaphore));
  EXPECT_EQ(FirstName(t), "a");
}

}  // namespace
}  // namespace components
