#include "components/core/wen_dataset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/utils.h"

namespace components {
namespace {

using Log = std::vector<std::string>;

// A data source over records in memory with a cursor that behaves as the engine's: it stands
// on a record, SKIP past the last one reaches EOF, before the first one stays on it with BOF.
// The native buffer holds a number (4 bytes) and a 10-character text (11 bytes).
class TTableSource : public TWenDataSource {
 public:
  struct TRec {
    int32_t Num;
    std::string Name;
  };

  explicit TTableSource(std::vector<TRec> recs, Log* log = nullptr)
      : recs_(std::move(recs)), log_(log) {
    DataSet()->AddField("num", 'N', 5, 0, native_);
    DataSet()->AddField("name", 'C', 10, 0, native_ + 4);
  }

  bool _First() override {
    Note("First");
    if (recs_.empty()) {
      bof_ = eof_ = true;
      return true;
    }
    pos_ = 1, bof_ = eof_ = false;
    Load();
    return true;
  }
  bool _Last() override {
    Note("Last");
    if (recs_.empty()) return true;
    pos_ = Count(), eof_ = false;
    Load();
    return true;
  }
  bool _Next() override {
    Note("Next");
    if (eof_) return false;
    bof_ = false;
    if (++pos_ > Count()) {
      pos_ = Count() + 1, eof_ = true;
      ClearFields();
    } else {
      Load();
    }
    return !eof_;
  }
  bool _Prior() override {
    Note("Prior");
    if (bof_) return false;
    eof_ = false;
    if (pos_ <= 1) {
      pos_ = 1, bof_ = true;
    } else {
      --pos_;
    }
    Load();
    return !bof_;
  }
  bool _Refresh() override {
    Note("Refresh");
    if (recs_.empty() || eof_) return false;
    Load();
    return true;
  }
  uint8_t GetBookmark(uint8_t* bookmark) override {
    engine::PutI32LE(bookmark, pos_);
    return eof_ ? bfEOF : bof_ ? bfBOF : bfCurrent;
  }
  int SetToBookmark(const uint8_t* bookmark) override {
    pos_ = engine::GetI32LE(bookmark);
    Note("Go " + std::to_string(pos_));
    bof_ = eof_ = false;
    Load();
    return 0;
  }
  int32_t GetRecordCount() override { return Count(); }
  void ClearFields() override {
    std::memset(native_, 0, sizeof(native_));
    native_[4] = 10;
    std::memset(native_ + 5, ' ', 10);
  }
  bool _Post() override {
    Note("Post");
    if (fail_writes) return false;
    recs_[pos_ - 1] = Stored();
    return true;
  }
  bool _Insert() override {
    Note("Insert");
    if (fail_writes) return false;
    recs_.push_back(Stored());
    pos_ = Count(), bof_ = eof_ = false;
    return true;
  }
  bool GetCanModify() override { return writable; }

  int32_t Pos() const { return pos_; }
  const std::vector<TRec>& Recs() const { return recs_; }
  bool fail_writes = false;
  bool writable = true;

 private:
  int32_t Count() const { return static_cast<int32_t>(recs_.size()); }
  void Note(const std::string& what) {
    if (log_ != nullptr) log_->push_back(what);
  }
  void Load() {
    const TRec& r = recs_[pos_ - 1];
    engine::PutI32LE(native_, r.Num);
    native_[4] = 10;
    std::memset(native_ + 5, ' ', 10);
    std::memcpy(native_ + 5, r.Name.data(), std::min<size_t>(r.Name.size(), 10));
  }
  TRec Stored() const {
    std::string name(reinterpret_cast<const char*>(native_ + 5), native_[4]);
    return {engine::GetI32LE(native_), name.substr(0, name.find_last_not_of(' ') + 1)};
  }

  std::vector<TRec> recs_;
  Log* log_;
  int32_t pos_ = 0;
  bool bof_ = true, eof_ = true;
  uint8_t native_[15] = {};
};

std::vector<TTableSource::TRec> Records(int n) {
  std::vector<TTableSource::TRec> recs;
  for (int i = 1; i <= n; ++i) recs.push_back({i * 10, "rec" + std::to_string(i)});
  return recs;
}

// A link that writes what it is told into a log.
class TLogLink : public TWenDataLink {
 public:
  TLogLink(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  ~TLogLink() override { SetDataSource(nullptr); }

 protected:
  void ActiveChanged() override { Note(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { Note("changed"); }
  void DataSetScrolled(int32_t d) override { Note("scrolled " + std::to_string(d)); }
  void RecordChanged(TWenField* f) override { Note("record " + (f ? f->FieldName : "-")); }
  void EditingChanged() override { Note(Editing() ? "editing" : "not editing"); }
  void UpdateData() override { Note("update"); }

 private:
  void Note(const std::string& what) { log_->push_back(name_ + ":" + what); }
  std::string name_;
  Log* log_;
};

std::string Num(TWenDataSource& ds) { return ds.DataSet()->FieldByName("num")->GetText(); }

class WenDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override { engine::ResetEngine(); }
  void TearDown() override { engine::ResetEngine(); }
};

TEST_F(WenDataSetTest, OpeningShowsTheFirstRecordAndNextWalksToEof) {
  TTableSource src(Records(3));
  src.DataSet()->Open();
  EXPECT_EQ(src.State(), stBrowse);
  EXPECT_EQ(Num(src), "10");
  EXPECT_TRUE(src.DataSet()->Bof());
  EXPECT_FALSE(src.DataSet()->Eof());
  EXPECT_TRUE(src.Next());
  EXPECT_EQ(Num(src), "20");
  EXPECT_TRUE(src.Next());
  EXPECT_EQ(Num(src), "30");

  Log log;
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  int changes = 0;
  src.OnDataChange = [&](TWenDataSource* s, TWenField* f) {
    EXPECT_EQ(s, &src);
    EXPECT_EQ(f, nullptr);
    log.push_back("OnDataChange " + Num(src));
    ++changes;
  };
  log.clear();
  // On the last record: EOF, False, the same record, and the data event still sent.
  EXPECT_FALSE(src.Next());
  EXPECT_TRUE(src.DataSet()->Eof());
  EXPECT_EQ(Num(src), "30");
  EXPECT_EQ(src.Pos(), 3);  // the cursor is back on the record shown
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "OnDataChange 30");
  EXPECT_EQ(log[log.size() - 2], "L:changed");

  EXPECT_FALSE(src.DataSet()->MoveBy(-5));
  EXPECT_TRUE(src.DataSet()->Bof());
  EXPECT_EQ(Num(src), "10");
  EXPECT_TRUE(src.DataSet()->MoveBy(2));
  EXPECT_EQ(Num(src), "30");
}

TEST_F(WenDataSetTest, LinksAreNotifiedInListOrderBeforeOnDataChange) {
  TTableSource src(Records(2));
  Log log;
  TLogLink a("A", &log), b("B", &log);
  a.SetDataSource(&src);
  b.SetDataSource(&src);
  src.OnDataChange = [&](TWenDataSource*, TWenField* f) {
    log.push_back(std::string("OnDataChange ") + (f ? f->FieldName : "-"));
  };
  src.DataSet()->Open();
  EXPECT_EQ(log, (Log{"A:active", "B:active"}));  // a state change reaches only the links
  log.clear();
  src.DataChanged();
  EXPECT_EQ(log, (Log{"A:changed", "B:changed", "OnDataChange -"}));
  log.clear();
  src.DataSet()->FieldByName("name")->SetText("x");
  EXPECT_EQ(log, (Log{"A:record name", "B:record name", "OnDataChange name"}));
}

TEST_F(WenDataSetTest, DataChangedReadsTheCurrentRecordOnce) {
  Log log;
  TTableSource src(Records(3), &log);
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  src.DataSet()->Open();
  src.Next();
  int handled = 0;
  src.OnDataChange = [&](TWenDataSource* s, TWenField*) {
    ++handled;
    s->DataChanged();  // re-entry does nothing
  };
  log.clear();
  src.DataChanged();
  EXPECT_EQ(log, (Log{"Refresh", "L:changed"}));
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(Num(src), "20");

  engine::ErrorCode = 5;  // a failed engine move: nothing is refreshed
  log.clear();
  src.DataChanged();
  EXPECT_TRUE(log.empty());
  engine::ErrorCode = 0;

  src.OnDataChange = nullptr;
  src.DataSet()->DisableControls();
  src.DataChanged();
  EXPECT_TRUE(log.empty());
  src.DataSet()->EnableControls();
  EXPECT_EQ(log, (Log{"L:changed"}));
}

TEST_F(WenDataSetTest, AnEmptyFieldListKeepsTheSourceInactive) {
  TWenDataSource src;
  Log log;
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  bool fired = false;
  src.OnDataChange = [&](TWenDataSource*, TWenField*) { fired = true; };
  src.DataSet()->Open();
  EXPECT_TRUE(src.DataSet()->Active());
  EXPECT_EQ(src.State(), stInactive);
  src.DataEvent(evDataSetChanged, {});
  src.DataSet()->MoveBy(1);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(fired);
  EXPECT_FALSE(link.Active());
}

TEST_F(WenDataSetTest, TheBufferWindowFollowsTheLinks) {
  TTableSource src(Records(6));
  Log log;
  TLogLink grid("G", &log);
  grid.SetBufferCount(3);
  grid.SetDataSource(&src);
  TWenDataSet* ds = src.DataSet();
  ds->Open();
  ASSERT_EQ(ds->BufferCount(), 3);
  auto window = [&] {
    std::vector<int32_t> nums;
    for (int i = 0; i < ds->RecordCount(); ++i) nums.push_back(engine::GetI32LE(ds->Buffer(i) + 1));
    return nums;
  };
  EXPECT_EQ(window(), (std::vector<int32_t>{10, 20, 30}));
  EXPECT_TRUE(ds->MoveBy(2));  // inside the window
  EXPECT_EQ(ds->ActiveRecord(), 2);
  log.clear();
  EXPECT_TRUE(ds->MoveBy(2));  // scrolls two records in
  EXPECT_EQ(window(), (std::vector<int32_t>{30, 40, 50}));
  EXPECT_EQ(Num(src), "50");
  EXPECT_EQ(grid.FirstRecord(), 0);
  EXPECT_EQ(grid.ActiveRecord(), 2);
  EXPECT_EQ(log.front(), "G:scrolled 2");
  EXPECT_FALSE(ds->MoveBy(3));
  EXPECT_EQ(window(), (std::vector<int32_t>{40, 50, 60}));
  EXPECT_TRUE(ds->Eof());
  EXPECT_TRUE(ds->MoveBy(-3));
  EXPECT_EQ(window(), (std::vector<int32_t>{30, 40, 50}));
  EXPECT_EQ(ds->ActiveRecord(), 0);
  EXPECT_EQ(Num(src), "30");
  EXPECT_EQ(src.Pos(), 3);

  // A smaller window keeps the active record.
  EXPECT_TRUE(ds->MoveBy(1));
  grid.SetBufferCount(1);
  EXPECT_EQ(ds->BufferCount(), 1);
  EXPECT_EQ(window(), (std::vector<int32_t>{40}));
  EXPECT_EQ(Num(src), "40");
  EXPECT_TRUE(ds->MoveBy(1));
  EXPECT_EQ(Num(src), "50");

  // Append shows the last records before the new one.
  grid.SetBufferCount(3);
  ds->Append();
  EXPECT_EQ(ds->State(), stInsert);
  EXPECT_EQ(ds->ActiveRecord(), 2);
  EXPECT_EQ(engine::GetI32LE(ds->Buffer(0) + 1), 50);
  EXPECT_EQ(engine::GetI32LE(ds->Buffer(1) + 1), 60);
}

TEST_F(WenDataSetTest, EditAndPostWriteTheRecord) {
  Log log;
  TTableSource src(Records(3));
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  TWenDataSet* ds = src.DataSet();
  Log events;
  ds->BeforeEdit = [&](TWenDataSet*, bool&) { events.push_back("BeforeEdit"); };
  ds->AfterEdit = [&](TWenDataSet*) { events.push_back("AfterEdit"); };
  ds->BeforePost = [&](TWenDataSet*, bool&) { events.push_back("BeforePost"); };
  ds->AfterPost = [&](TWenDataSet*) { events.push_back("AfterPost"); };
  ds->Open();
  src.Next();
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), stEdit);
  ds->FieldByName("name")->SetText("changed");
  log.clear();
  EXPECT_TRUE(ds->Post());
  EXPECT_EQ(ds->State(), stBrowse);
  EXPECT_EQ(src.Recs()[1].Name, "changed");
  EXPECT_EQ(events, (Log{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  EXPECT_EQ(log.front(), "L:update");  // the controls wrote their text first

  // Nothing changed: no write.
  ds->Edit();
  events.clear();
  EXPECT_TRUE(ds->Post());
  EXPECT_EQ(ds->State(), stBrowse);
  EXPECT_TRUE(events.empty());

  EXPECT_THROW(ds->Post(), EWendalError);  // 57354 in browse state
}

TEST_F(WenDataSetTest, AFailedOrRefusedPostKeepsTheEdit) {
  TTableSource src(Records(2));
  TWenDataSet* ds = src.DataSet();
  bool after_post = false;
  ds->AfterPost = [&](TWenDataSet*) { after_post = true; };
  ds->Open();
  ds->Edit();
  TWenField* name = ds->FieldByName("name");
  name->SetText("lost?");
  src.fail_writes = true;  // the lock cannot be taken
  EXPECT_FALSE(ds->Post());
  EXPECT_EQ(ds->State(), stEdit);
  EXPECT_EQ(name->GetText(), "lost?");
  EXPECT_FALSE(after_post);
  EXPECT_EQ(src.Recs()[0].Name, "rec1");
  // A move must post first; the failed post keeps the dataset where it is.
  EXPECT_FALSE(ds->Next());
  EXPECT_EQ(ds->State(), stEdit);
  EXPECT_EQ(Num(src), "10");

  ds->BeforePost = [](TWenDataSet*, bool& ok) { ok = false; };
  src.fail_writes = false;
  EXPECT_FALSE(ds->Post());
  EXPECT_EQ(ds->State(), stEdit);
  EXPECT_EQ(src.Recs()[0].Name, "rec1");
  ds->BeforePost = nullptr;
  EXPECT_TRUE(ds->Post());
  EXPECT_EQ(src.Recs()[0].Name, "lost?");
  EXPECT_TRUE(after_post);
}

TEST_F(WenDataSetTest, AReadOnlySourceCannotBeModified) {
  TTableSource src(Records(2));
  src.writable = false;
  Log log;
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  src.DataSet()->Open();
  EXPECT_FALSE(link.CanModify());
  EXPECT_FALSE(link.Edit());  // no exception
  EXPECT_EQ(src.State(), stBrowse);
  try {
    src.DataSet()->Edit();
    FAIL();
  } catch (const EWendalError& e) {
    EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
  }
  EXPECT_THROW(src.DataSet()->Append(), EWendalError);
  link.SetReadOnly(true);
  src.writable = true;
  src.DataSet()->Close();
  src.DataSet()->Open();
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(src.State(), stBrowse);
}

TEST_F(WenDataSetTest, InsertAppendAndCancel) {
  TTableSource src(Records(2));
  TWenDataSet* ds = src.DataSet();
  ds->OnNewRecord = [](TWenDataSet* d) { d->FieldByName("num")->SetText("99"); };
  ds->Open();
  src.Next();
  ds->Insert();
  EXPECT_EQ(ds->State(), stInsert);
  EXPECT_EQ(Num(src), "99");
  EXPECT_FALSE(ds->Modified());  // the new record's defaults do not count
  ds->Cancel();
  EXPECT_EQ(ds->State(), stBrowse);
  EXPECT_EQ(Num(src), "20");

  ds->Append();
  ds->FieldByName("name")->SetText("third");
  EXPECT_TRUE(ds->Post());
  ASSERT_EQ(src.Recs().size(), 3u);
  EXPECT_EQ(src.Recs()[2].Num, 99);
  EXPECT_EQ(src.Recs()[2].Name, "third");
  EXPECT_EQ(ds->FieldByName("name")->GetText(), "third");

  // An empty table: Edit becomes Insert.
  TTableSource empty({});
  empty.DataSet()->Open();
  EXPECT_EQ(Num(empty), "");
  empty.DataSet()->Edit();
  EXPECT_EQ(empty.State(), stInsert);
  empty.DataSet()->FieldByName("num")->SetText("5");
  EXPECT_TRUE(empty.DataSet()->Post());
  ASSERT_EQ(empty.Recs().size(), 1u);
  EXPECT_EQ(Num(empty), "5");
}

TEST_F(WenDataSetTest, OperationsOnAClosedDatasetRaise) {
  TTableSource src(Records(1));
  try {
    src.DataSet()->MoveBy(1);
    FAIL();
  } catch (const EWendalError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
  }
  EXPECT_THROW(src.DataSet()->Edit(), EWendalError);
  EXPECT_FALSE(src.DataSet()->Active());
}

TEST_F(WenDataSetTest, AddFieldValidatesAndNormalises) {
  TWenDataSource src;
  TWenDataSet* ds = src.DataSet();
  struct {
    const char* Name;
    char Type;
    int Len, Dec;
    const char* Error;  // nullptr: accepted
    const char* StoredName = nullptr;
    char StoredType = 0;
    int StoredLen = 0, StoredDec = 0;
  } const cases[] = {
      {" Amount ", 'n', 25, 30, nullptr, "amount", 'N', 19, 17},
      {"price", 'F', 5, -1, nullptr, "price", 'F', 5, 0},
      {"one", 'N', 1, 1, nullptr, "one", 'N', 1, 0},
      {"zero", 'n', 0, 0, nullptr, "zero", 'N', 1, 0},
      {"first name", 'c', 0, 4, nullptr, "first_name", 'C', 1, 0},
      {"born", 'd', 3, 2, nullptr, "born", 'D', 8, 0},
      {"ok", 'l', 9, 0, nullptr, "ok", 'L', 1, 0},
      {"notes", 'M', 4, 0, nullptr, "notes", 'M', 10, 0},
      {"x_1", 'C', 300, 0, nullptr, "x_1", 'C', 255, 0},
      {"1abc", 'C', 5, 0, "Invalid field name '1abc'"},
      {"a-b", 'C', 5, 0, "Invalid field name 'a-b'"},
      {"AMOUNT", 'C', 5, 0, "Duplicate field name 'amount'"},
      {"first_name", 'C', 5, 0, "Duplicate field name 'first_name'"},
      {"first name", 'C', 5, 0, "Duplicate field name 'first_name'"},
      {"   ", 'C', 5, 0, "Field name missing"},
      {"other", 'X', 5, 0, "Invalid field type 'X' for 'other'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Error != nullptr) {
      try {
        ds->AddField(c.Name, c.Type, c.Len, c.Dec, nullptr);
        ADD_FAILURE() << "accepted";
      } catch (const EWendalError& e) {
        EXPECT_STREQ(e.what(), c.Error);
      }
      continue;
    }
    TWenField* f = ds->AddField(c.Name, c.Type, c.Len, c.Dec, nullptr);
    EXPECT_EQ(f->FieldName, c.StoredName);
    EXPECT_EQ(f->FieldType, c.StoredType);
    EXPECT_EQ(f->Len, c.StoredLen);
    EXPECT_EQ(f->Dec, c.StoredDec);
    EXPECT_EQ(ds->FieldByName(engine::UpperCopy(c.StoredName)), f);
  }
  EXPECT_EQ(ds->FindField("missing"), nullptr);
  try {
    ds->FieldByName("missing");
    FAIL();
  } catch (const EWendalError& e) {
    EXPECT_STREQ(e.what(), "Field 'missing' not found");
  }
  // The buffer layout follows the native sizes.
  ds->Open();
  EXPECT_EQ(ds->FieldByName("amount")->Offset, 1);
  EXPECT_EQ(ds->FieldByName("price")->Offset, 7);  // after a 6-byte real
  EXPECT_EQ(ds->RecordSize(), ds->BookmarkOffset() + 1 + 4);
}

TEST_F(WenDataSetTest, DisabledControlsGetOneEventWhenEnabledAgain) {
  TTableSource src(Records(4));
  Log log;
  TLogLink link("L", &log);
  link.SetDataSource(&src);
  src.DataSet()->Open();
  log.clear();
  src.DataSet()->DisableControls();
  src.DataSet()->DisableControls();
  src.Next();
  src.Next();
  src.DataSet()->EnableControls();
  EXPECT_TRUE(log.empty());
  src.DataSet()->EnableControls();
  EXPECT_EQ(log, (Log{"L:changed"}));

  log.clear();
  src.DataSet()->DisableControls();
  src.DataSet()->Close();
  src.DataSet()->EnableControls();
  EXPECT_EQ(log, (Log{"L:inactive"}));  // the state change, no data event
}

TEST_F(WenDataSetTest, LinksAndSourcesLetGoOfEachOther) {
  Log log;
  auto* src = new TTableSource(Records(1));
  TLogLink kept("K", &log);
  kept.SetDataSource(src);
  {
    TLogLink gone("G", &log);
    gone.SetDataSource(src);
    EXPECT_EQ(src->DataLinks().size(), 2u);
  }
  EXPECT_EQ(src->DataLinks().size(), 1u);
  src->DataSet()->Open();
  EXPECT_TRUE(kept.Active());
  delete src;
  EXPECT_EQ(kept.DataSource(), nullptr);
  EXPECT_FALSE(kept.Active());
  EXPECT_EQ(kept.DataSet(), nullptr);
}

TEST_F(WenDataSetTest, TheBaseSourceServesNoTable) {
  TWenDataSource src;
  std::vector<std::string> lines = {"x"};
  src.GetMemo(5, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Not linked"}));
  uint8_t bm[4] = {};
  EXPECT_EQ(src.GetBookmarkSize(), 4);
  EXPECT_EQ(src.GetBookmark(bm), 1);
  EXPECT_FALSE(src._Next());
  EXPECT_FALSE(src._Prior());
  EXPECT_EQ(src.GetRecordCount(), 0);
  bool before_post = false;
  src.SetDSBeforePost([&](TWenDataSet*, bool&) { before_post = true; });
  ASSERT_TRUE(src.GetDSBeforePost());
  bool ok = true;
  src.DataSet()->BeforePost(src.DataSet(), ok);
  EXPECT_TRUE(before_post);
}

}  // namespace
}  // namespace components
