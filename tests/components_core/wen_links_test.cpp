// The field data link without any control: binding by name, the callbacks on record moves,
// edits and posts, the focus request, a read-only table, and a data source that goes away.
#include "components/core/wen_links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "components/core/wen_dbf.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "platform/core/halt.h"
#include "tests/components_core/class_layer_fixture.h"
#include "tests/support/engine_fixture.h"

namespace components {
namespace {

struct TestControl : TWenLinkControl {
  bool can_focus = true;
  int focused = 0;
  bool CanFocus() const override { return can_focus; }
  void SetFocus() override { ++focused; }
};

// A link that records its callbacks as "data", "editing", "update", "active".
struct RecordingLink {
  explicit RecordingLink(TWenLinkControl* control = nullptr) : link(control) {
    link.OnDataChange = [this](TWenFieldDataLink* l) {
      calls.push_back("data:" + (l->Field() ? l->Field()->GetText() : std::string("-")));
    };
    link.OnEditingChange = [this](TWenFieldDataLink* l) {
      calls.push_back(std::string("editing:") + (l->Editing() ? "on" : "off"));
    };
    link.OnUpdateData = [this](TWenFieldDataLink*) { calls.push_back("update"); };
    link.OnActiveChange = [this](TWenFieldDataLink* l) {
      calls.push_back(std::string("active:") + (l->Active() ? "on" : "off"));
    };
  }
  Lines Take() {
    Lines taken;
    taken.swap(calls);
    return taken;
  }
  TWenFieldDataLink link;
  Lines calls;
};

class WenLinksTest : public ClassLayerTest {
 protected:
  void SetUp() override {
    ClassLayerTest::SetUp();
    // Table people.dbf: three records (NAME, NUM).
    TWenDbf t;
    t.DbfFields = {"NAME, C, 20, 0", "NUM, N, 5, 0"};
    Open(t);
    const char* names[] = {"Ann", "Bob", "Cy"};
    for (int i = 0; i < 3; ++i) {
      t.DataSet()->Append();
      t.DataSet()->FieldByName("name")->SetText(names[i]);
      t.DataSet()->FieldByName("num")->SetText(std::to_string(i + 1));
      ASSERT_TRUE(t.DataSet()->Post());
    }
  }
  void Open(TWenDbf& t) {
    t.SetName("People");
    t.SetDbfFileName(dir_ / "people.dbf");
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorCode << " " << engine::ErrorMsg;
  }
};

TEST_F(WenLinksTest, BindsByNameAndFollowsRecordMoves) {
  TWenDbf t;
  Open(t);
  RecordingLink r;
  r.link.SetDataSource(&t);
  EXPECT_EQ(r.link.Field(), nullptr);
  EXPECT_EQ(r.Take(), (Lines{"active:on"}));

  r.link.SetFieldName("NAME");  // case-insensitive
  ASSERT_NE(r.link.Field(), nullptr);
  EXPECT_EQ(r.link.Field()->FieldName, "name");
  EXPECT_EQ(r.Take(), (Lines{"data:Ann"}));

  t.Go(3);
  EXPECT_EQ(r.Take(), (Lines{"data:Cy"}));
  t.GoTop();
  EXPECT_EQ(r.Take(), (Lines{"data:Ann"}));
  EXPECT_TRUE(t.Next());  // scrolled, then changed: shown on each
  EXPECT_EQ(r.Take(), (Lines{"data:Bob", "data:Bob"}));

  // The same name again does not rebind; another name does.
  r.link.SetFieldName("NAME");
  EXPECT_TRUE(r.Take().empty());
  r.link.SetFieldName("num");
  EXPECT_EQ(r.Take(), (Lines{"data:-", "data:2"}));
  r.link.SetFieldName("");
  EXPECT_EQ(r.link.Field(), nullptr);
  EXPECT_EQ(r.Take(), (Lines{"data:-"}));
}

TEST_F(WenLinksTest, AFieldNameTheTableLacksRaises57348WhenTheSourceOpensOrTheNameIsSet) {
  {
    TWenDbf t;
    t.SetName("People");
    t.SetDbfFileName(dir_ / "people.dbf");
    RecordingLink r;
    r.link.SetFieldName("nothere");  // inactive: nothing to look up yet
    r.link.SetDataSource(&t);
    try {
      t.SetActive(true);
      ADD_FAILURE() << "no exception";
    } catch (const EWendalError& e) {
      EXPECT_STREQ(e.what(), "Field 'nothere' not found");
    }
    EXPECT_EQ(r.link.Field(), nullptr);
  }

  TWenDbf u;
  Open(u);
  RecordingLink s;
  s.link.SetDataSource(&u);
  EXPECT_THROW(s.link.SetFieldName("missing"), EWendalError);
  EXPECT_EQ(s.link.Field(), nullptr);
}

TEST_F(WenLinksTest, EditingModifiedAndUpdateDataOnPost) {
  TWenDbf t;
  Open(t);
  RecordingLink name, num;
  name.link.SetDataSource(&t);
  name.link.SetFieldName("name");
  num.link.SetDataSource(&t);
  num.link.SetFieldName("num");
  name.Take();
  num.Take();

  EXPECT_TRUE(name.link.CanModify());
  EXPECT_FALSE(name.link.Editing());
  EXPECT_TRUE(name.link.Edit());
  EXPECT_EQ(t.DataSet()->State(), stEdit);
  EXPECT_EQ(name.Take(), (Lines{"editing:on"}));
  EXPECT_EQ(num.Take(), (Lines{"editing:on"}));

  // The control changed its value: the post asks it to store it; the other link was not
  // modified and is not asked.
  name.link.Modified();
  name.link.OnUpdateData = [&](TWenFieldDataLink* l) {
    name.calls.push_back("update");
    l->Field()->SetText("Anna");
  };
  EXPECT_TRUE(t.DataSet()->Post());
  EXPECT_FALSE(name.link.IsModified());
  const Lines after_name = name.Take();
  ASSERT_FALSE(after_name.empty());
  EXPECT_EQ(after_name.front(), "update");
  EXPECT_NE(std::find(after_name.begin(), after_name.end(), "editing:off"), after_name.end());
  EXPECT_EQ(std::count(num.calls.begin(), num.calls.end(), "update"), 0);

  // A change of the name field redisplays the name link only.
  EXPECT_TRUE(name.link.Edit());
  name.Take();
  num.Take();
  t.DataSet()->FieldByName("name")->SetText("Annie");
  EXPECT_EQ(name.Take(), (Lines{"data:Annie"}));
  EXPECT_TRUE(num.Take().empty());
  // Reset redisplays and drops the mark.
  name.link.Modified();
  name.link.Reset();
  EXPECT_FALSE(name.link.IsModified());
  EXPECT_EQ(name.Take(), (Lines{"data:Annie"}));
  t.DataSet()->Cancel();

  t.GoTop();
  EXPECT_EQ(t.DataSet()->FieldByName("name")->GetText(), "Anna");
}

TEST_F(WenLinksTest, AReadOnlyLinkOrAnUnboundOneNeverEdits) {
  TWenDbf t;
  Open(t);
  RecordingLink r;
  r.link.SetDataSource(&t);
  EXPECT_FALSE(r.link.CanModify()) << "no field bound";
  EXPECT_FALSE(r.link.Edit());
  EXPECT_EQ(t.DataSet()->State(), stBrowse);

  r.link.SetFieldName("name");
  r.link.SetReadOnly(true);
  EXPECT_FALSE(r.link.CanModify());
  EXPECT_FALSE(r.link.Edit());
  EXPECT_EQ(t.DataSet()->State(), stBrowse);

  // Another link puts the dataset into edit mode: the read-only link does not edit.
  RecordingLink w;
  w.link.SetDataSource(&t);
  w.link.SetFieldName("num");
  EXPECT_TRUE(w.link.Edit());
  EXPECT_FALSE(r.link.Editing());
  t.DataSet()->Cancel();
}

TEST_F(WenLinksTest, ATableOpenedReadOnlyIsNeverPutIntoEditModeAndNothingIsRaised) {
  engine::OpenModeOverride = platform::kModeRead | platform::kShareDenyNone;
  TWenDbf t;
  Open(t);
  EXPECT_FALSE(t.DataSet()->CanModify());
  RecordingLink r;
  r.link.SetDataSource(&t);
  r.link.SetFieldName("name");
  r.Take();
  EXPECT_FALSE(r.link.CanModify());
  bool edited = true;
  EXPECT_NO_THROW(edited = r.link.Edit());
  EXPECT_FALSE(edited);
  EXPECT_FALSE(r.link.Editing());
  EXPECT_EQ(t.DataSet()->State(), stBrowse);
  EXPECT_TRUE(r.Take().empty());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WenLinksTest, FocusControlFocusesTheControlOfTheBoundField) {
  TWenDbf t;
  Open(t);
  TestControl control;
  RecordingLink r(&control);
  r.link.SetDataSource(&t);
  r.link.SetFieldName("name");
  TWenField* name = t.DataSet()->FieldByName("name");
  TWenField* num = t.DataSet()->FieldByName("num");

  TWenField* asked = num;
  TWenDataEventInfo info;
  info.FocusField = &asked;
  t.DataEvent(evFocusControl, info);
  EXPECT_EQ(control.focused, 0) << "another field";
  EXPECT_EQ(asked, num);

  control.can_focus = false;
  asked = name;
  t.DataEvent(evFocusControl, info);
  EXPECT_EQ(control.focused, 0) << "the control cannot take the focus";
  EXPECT_EQ(asked, name);

  control.can_focus = true;
  t.DataEvent(evFocusControl, info);
  EXPECT_EQ(control.focused, 1);
  EXPECT_EQ(asked, nullptr) << "the request is taken";
}

TEST_F(WenLinksTest, ADestroyedDataSourceLeavesTheLinkUnbound) {
  RecordingLink r;
  {
    auto t = std::make_unique<TWenDbf>();
    Open(*t);
    r.link.SetDataSource(t.get());
    r.link.SetFieldName("name");
    r.Take();
  }
  EXPECT_EQ(r.link.DataSource(), nullptr);
  EXPECT_EQ(r.link.Field(), nullptr);
  EXPECT_FALSE(r.link.Active());
  const Lines calls = r.Take();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "active:off"), calls.end());
  EXPECT_EQ(calls.back(), "active:off");
  EXPECT_FALSE(r.link.Edit());
}

}  // namespace
}  // namespace components
