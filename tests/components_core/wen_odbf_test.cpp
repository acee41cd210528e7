#include "components/core/wen_odbf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "components/core/wen_dbf.h"
#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "platform/core/halt.h"
#include "tests/components_core/class_layer_fixture.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/processes.h"

namespace components {
namespace {

class WenODbfTest : public ClassLayerTest {
 protected:
  // A table component named `name` on `file` (in the test folder), opened.
  void OpenTable(TWenDbf& t, const std::string& name, const std::string& file) {
    t.SetName(name);
    t.SetDbfFileName(dir_ / file);
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorCode << " " << engine::ErrorMsg;
  }
  static std::string Text(TWenDbf& t, const std::string& field) {
    return t.DataSet()->FieldByName(field)->GetText();
  }
};

TEST_F(WenODbfTest, TwoComponentsMovedAlternatelyStayOnTheirOwnTables) {
  MakeTable(dir_ / "a.dbf", {"a1", "a2", "a3"}, true);
  MakeTable(dir_ / "b.dbf", {"b1", "b2", "b3", "b4"}, true);
  TWenDbf a, b;
  OpenTable(a, "TableA", "a.dbf");
  OpenTable(b, "TableB", "b.dbf");
  // Each handler reads its own component's record.
  std::string seen_a, seen_b;
  a.OnDataChange = [&](TWenDataSource*, TWenField*) { seen_a = Text(a, "name"); };
  b.OnDataChange = [&](TWenDataSource*, TWenField*) { seen_b = Text(b, "name"); };

  a.Go(2);
  EXPECT_EQ(seen_a, "a2");
  b.Go(4);
  EXPECT_EQ(seen_b, "b4");
  EXPECT_TRUE(a.Next());
  EXPECT_EQ(seen_a, "a3");
  b.GoTop();
  EXPECT_EQ(seen_b, "b1");
  seen_a.clear();
  EXPECT_FALSE(a.Next());  // past the last record: EOF, and the handler runs again
  EXPECT_EQ(seen_a, "a3");
  EXPECT_TRUE(b.Next());
  EXPECT_EQ(seen_b, "b2");

  EXPECT_EQ(a.RecNo(), 3);
  EXPECT_TRUE(a.DataSet()->Eof());
  EXPECT_EQ(b.RecNo(), 2);
  EXPECT_EQ(Text(b, "num"), "2");
  EXPECT_EQ(a.RecCount(), 3);
  EXPECT_EQ(b.RecCount(), 4);
}

TEST_F(WenODbfTest, AnOperationWithoutAnOpenTableStopsTheProgramWith1103) {
  for (bool halt : {true, false}) {
    SCOPED_TRACE(halt);
    EXPECT_EXIT(
        {
          platform::SetMessageHook(nullptr);  // the halt box goes to stderr
          engine::AbortOnError = halt;
          TWenDbf t;
          t.SetName("Closed");
          t.RecCount();
        },
        testing::ExitedWithCode(255), "Database is not open \\[RecCount\\]");
  }
  // A component whose table was closed again is closed too.
  MakeTable(dir_ / "a.dbf", {"a1"}, true);
  EXPECT_EXIT(
      {
        platform::SetMessageHook(nullptr);
        TWenDbf t;
        OpenTable(t, "Closed", "a.dbf");
        t.SetActive(false);
        t.Go(1);
      },
      testing::ExitedWithCode(255), "Database is not open \\[Go\\]");
}

TEST_F(WenODbfTest, EditPostAndAppendWriteThroughTheEngine) {
  MakeTable(dir_ / "a.dbf", {"a1", "a2"}, true);
  {
    TWenDbf t;
    OpenTable(t, "TableA", "a.dbf");
    TWenDataSet* ds = t.DataSet();
    EXPECT_TRUE(ds->CanModify());
    t.Go(2);
    ds->Edit();
    ds->FieldByName("name")->SetText("changed");
    EXPECT_TRUE(ds->Post());
    ds->Append();
    ds->FieldByName("name")->SetText("new");
    ds->FieldByName("num")->SetText("42");
    EXPECT_TRUE(ds->Post());
    EXPECT_EQ(t.RecCount(), 3);
  }
  TWenDbf t;
  OpenTable(t, "TableA", "a.dbf");
  Lines names;
  for (int32_t n = 1; n <= t.RecCount(); ++n) {
    t.Go(n);
    names.push_back(Text(t, "name") + "/" + Text(t, "num"));
  }
  EXPECT_EQ(names, (Lines{"a1/1", "changed/2", "new/42"}));
}

TEST_F(WenODbfTest, ATableOpenedReadOnlyCannotBeModified) {
  MakeTable(dir_ / "a.dbf", {"a1"}, true);
  engine::OpenModeOverride = platform::kModeRead | platform::kShareDenyNone;
  TWenDbf t;
  OpenTable(t, "TableA", "a.dbf");
  EXPECT_FALSE(t.DataSet()->CanModify());
  EXPECT_THROW(t.DataSet()->Edit(), EWendalError);
  TWenDataLink link;
  link.SetDataSource(&t);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(t.DataSet()->State(), stBrowse);
}

// A second program holds the lock of record 1 until the parent sends 'U'.
class LockHolder {
 public:
  LockHolder(testing_support::ChildProcesses& children, const std::string& table) {
    children.Start([&, table] {
      to_parent_.CloseRead();
      to_child_.CloseWrite();
      engine::Select(0);
      engine::USE(table, nullptr, 0);
      engine::GO(1);
      if (engine::ErrorCode != 0 || !engine::RLock()) return 1;
      to_parent_.Put('L');
      if (to_child_.Get() != 'U') return 2;
      engine::Unlock();
      to_parent_.Put('u');
      to_child_.WaitClosed();
      return 0;
    });
    to_parent_.CloseWrite();
    to_child_.CloseRead();
    EXPECT_EQ(to_parent_.Get(), 'L');
  }
  void Release() {
    to_child_.Put('U');
    EXPECT_EQ(to_parent_.Get(), 'u');
  }

 private:
  testing_support::Pipe to_parent_, to_child_;
};

TEST_F(WenODbfTest, LockFailuresOnPost) {
  const std::string file = dir_ / "a.dbf";
  MakeTable(file, {"a1"}, true);
  struct Case {
    const char* name;
    bool handler;
    bool resolved;
    bool release_in_handler;
    bool written;
    int handler_calls;
  };
  const Case cases[] = {
      {"no handler: the notice", false, false, false, false, 0},
      {"handler gives up", true, false, false, false, 1},
      {"resolved but still locked: one retry", true, true, false, false, 1},
      {"resolved after the lock went: written", true, true, true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    testing_support::ChildProcesses children;
    LockHolder holder(children, file);
    {
      TWenDbf t;
      OpenTable(t, "TableA", "a.dbf");
      int calls = 0;
      if (c.handler) {
        t.OnRLockFailedOnPost = [&](TComponent* sender, bool& resolved) {
          EXPECT_EQ(sender, &t);
          EXPECT_TRUE(resolved);
          ++calls;
          if (c.release_in_handler) holder.Release();
          resolved = c.resolved;
        };
      }
      int after_post = 0;
      t.DataSet()->AfterPost = [&](TWenDataSet*) { ++after_post; };
      t.DataSet()->Edit();
      t.DataSet()->FieldByName("name")->SetText("mine");
      EXPECT_EQ(t.DataSet()->Post(), c.written);
      EXPECT_EQ(calls, c.handler_calls);
      EXPECT_EQ(after_post, c.written ? 1 : 0);
      EXPECT_EQ(messages_, c.handler ? Lines{} : Lines{"Lock failed [_Post]"});
      if (!c.written) {
        // The edit stays, with the user's text.
        EXPECT_EQ(t.DataSet()->State(), stEdit);
        EXPECT_EQ(Text(t, "name"), "mine");
        t.DataSet()->Cancel();
      }
    }
    if (!c.release_in_handler) holder.Release();
    TWenDbf t;
    OpenTable(t, "TableA", "a.dbf");
    EXPECT_EQ(Text(t, "name"), c.written ? "mine" : "a1");
    if (c.written) {
      // Back to the original text for the next case.
      t.DataSet()->Edit();
      t.DataSet()->FieldByName("name")->SetText("a1");
      ASSERT_TRUE(t.DataSet()->Post());
    }
  }
}

TEST_F(WenODbfTest, MemoLinesRoundTripAndANonMemoFieldIsRefused) {
  {
    TWenDbf t;
    t.DbfFields = {"NAME, C, 10, 0", "NOTE, M, 10, 0"};
    OpenTable(t, "Notes", "n.dbf");
    TWenDataSet* ds = t.DataSet();
    ds->Append();
    ds->FieldByName("name")->SetText("x");
    EXPECT_EQ(ds->FieldByName("note")->GetText(), "none");
    ds->FieldByName("note")->SetLines({"first line", "", "caf\xE9"});
    EXPECT_TRUE(ds->Post());

    // PutMemo checks the field's type first.
    t.PutMemo("name", {"text"});
    EXPECT_EQ(engine::ErrorCode, 220);
    EXPECT_EQ(engine::ErrorMsg,
              "'GetMField()' expects field 'name' to be of type:\r\n'memo'.'name' actually is: "
              "'Character'");
    t.PutMemo("nothere", {"text"});
    EXPECT_EQ(engine::ErrorCode, 220);
    EXPECT_NE(engine::ErrorMsg.find("Field 'nothere' not in '"), std::string::npos);
  }
  TWenDbf t;
  OpenTable(t, "Notes", "n.dbf");
  TWenField* note = t.DataSet()->FieldByName("note");
  EXPECT_EQ(note->GetText(), "MEMO");
  EXPECT_EQ(note->GetLines(), (Lines{"first line", "", "caf\xE9"}));
}

TEST_F(WenODbfTest, SetToBookmarkSuspendsHaltingAndLeavesTheErrorSet) {
  MakeTable(dir_ / "a.dbf", {"a1", "a2"}, true);
  TWenDbf t;
  OpenTable(t, "TableA", "a.dbf");
  engine::AbortOnError = true;
  uint8_t bookmark[4];
  engine::PutI32LE(bookmark, 2);
  EXPECT_EQ(t.SetToBookmark(bookmark), 0);
  EXPECT_EQ(t.GetBookmark(bookmark), bfCurrent);
  EXPECT_EQ(engine::GetI32LE(bookmark), 2);

  engine::PutI32LE(bookmark, 99);
  EXPECT_EQ(t.SetToBookmark(bookmark), 212);
  EXPECT_TRUE(engine::AbortOnError);
  EXPECT_EQ(engine::ErrorCode, 212);
  engine::AbortOnError = false;
}

}  // namespace
}  // namespace components
