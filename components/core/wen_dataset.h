// The record-buffer and notification layer between a table component and data-bound
// controls. TWenDataSource is the abstract table component: it owns one TWenDataSet, keeps
// the data links of the controls bound to it and declares the record operations that a
// concrete table component fills. TWenDataSet holds the field list, a small window of record
// buffers and the state, and turns every move and change into data events, which the links
// receive (in list order) before the data source's OnDataChange fires.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_field.h"

namespace components {

class TWenDataSet;
class TWenDataSource;

enum TWenDataEvent : uint8_t {
  evFieldChanged = 0,   // info: the field
  evRecordChanged = 1,  // info: the field or nullptr
  evDataSetChanged = 2,
  evDataSetScrolled = 3,  // info: how far the records moved in the window (negative forward)
  evLayoutChanged = 4,
  evUpdateRecord = 5,
  evStateChanged = 6,
  evCheckBrowseMode = 7,
  evFocusControl = 10,  // info: the address of a field reference
};

// What travels with a data event; which member counts depends on the event.
struct TWenDataEventInfo {
  TWenField* Field = nullptr;        // evFieldChanged, evRecordChanged
  int32_t Distance = 0;              // evDataSetScrolled
  TWenField** FocusField = nullptr;  // evFocusControl
};

enum TWenDataSetState : uint8_t {
  stInactive = 0,
  stBrowse = 1,
  stEdit = 2,
  stInsert = 3,
  stCalcFields = 4,  // only while calculated fields are computed
};

// Bookmark flags stored after each record buffer's fields.
enum TWenBookmarkFlag : uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2 };

using TWenDataSetNotifyEvent = std::function<void(TWenDataSet* data_set)>;
using TWenDataSetNotifyConfirmEvent =
    std::function<void(TWenDataSet* data_set, bool& ok_to_proceed)>;
using TWenDataChangeEvent = std::function<void(TWenDataSource* sender, TWenField* field)>;
using TWenDataSourceNotifyEvent = std::function<void(TWenDataSource* sender)>;

// ---- TWenDataLink ------------------------------------------------------------------------

// A control's connection to a data source: receives its data events and turns them into the
// virtual notifications below.
class TWenDataLink {
 public:
  TWenDataLink() = default;
  virtual ~TWenDataLink();  // leaves the data source's link list
  TWenDataLink(const TWenDataLink&) = delete;
  TWenDataLink& operator=(const TWenDataLink&) = delete;

  TWenDataSource* DataSource() const { return data_source_; }
  // Leaves the old source's link list and joins the new one's.
  void SetDataSource(TWenDataSource* data_source);
  TWenDataSet* DataSet() const;  // the data source's dataset or nullptr

  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  int32_t BufferCount() const { return buffer_count_; }
  void SetBufferCount(int32_t count);  // at least 1

  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool Updating() const { return updating_; }
  int32_t FirstRecord() const { return first_record_; }
  // The dataset's active record relative to this link's window (0 when not active).
  int32_t ActiveRecord() const;

  // Not read-only, and the dataset can be modified.
  bool CanModify() const;
  // Asks the dataset to enter stEdit when the link can modify and the state is stBrowse;
  // returns Editing.
  bool Edit();
  // Updating on, UpdateData, Updating off (also when an exception passes).
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int32_t /*distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TWenField*& /*field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TWenField* /*field*/) {}
  virtual void UpdateData() {}

 private:
  friend class TWenDataSource;
  friend class TWenDataSet;

  void DataEvent(TWenDataEvent event, const TWenDataEventInfo& info);
  void UpdateState();  // Active, then Editing
  void SetActive(bool active);
  void SetEditing(bool editing);
  void ClampFirstRecord();               // keeps the window inside the dataset's buffers
  int32_t MoveWindow(int32_t distance);  // returns the extra shift

  TWenDataSource* data_source_ = nullptr;
  int32_t first_record_ = 0;
  bool read_only_ = false;
  bool active_ = false;
  bool updating_ = false;
  bool editing_ = false;
  int32_t buffer_count_ = 1;
};

// ---- TWenDataSource ----------------------------------------------------------------------

class TWenDataSource : public TComponent {
 public:
  // Creates its dataset (owned by this data source).
  explicit TWenDataSource(TComponent* owner = nullptr);
  ~TWenDataSource() override;  // detaches every link, then frees the dataset

  TWenDataSet* DataSet() const { return data_set_; }
  const std::vector<TWenDataLink*>& DataLinks() const { return data_links_; }
  bool Refreshing() const { return refreshing_; }

  // The dataset's state; stInactive without a dataset or with an empty field list.
  TWenDataSetState State() const;
  // The dataset's Next.
  bool Next();
  // Re-reads and redisplays the current record after the table component moved the engine
  // itself. Does nothing while refreshing, while engine::ErrorCode is set, or while the
  // dataset is inactive.
  void DataChanged();
  // Passes a dataset event to the links (evStateChanged always; others only while the state
  // is not stInactive), then fires OnDataChange (events 0 to 4; the field only for 0 and 1)
  // or OnUpdateData (evUpdateRecord).
  void DataEvent(TWenDataEvent event, const TWenDataEventInfo& info);

  // Record operations a table component fills. The base class serves no table.
  virtual int GetBookmarkSize();  // 4
  virtual void PutMemo(const std::string& field_name,
                       const std::vector<std::string>& lines);           // nothing
  virtual int SetToBookmark(const uint8_t* bookmark);                    // 0; error code otherwise
  virtual void ClearFields();                                            // nothing
  virtual uint8_t GetBookmark(uint8_t* bookmark);                        // bfBOF; writes bookmark
  virtual void GetMemo(int32_t block, std::vector<std::string>& lines);  // "Not linked"
  virtual int32_t GetRecordCount();                                      // 0
  virtual bool IsDeleted();                                              // false
  virtual bool _Delete();                                                // true
  virtual bool _First();                                                 // true
  virtual bool _Insert();                                                // true
  virtual bool _Last();                                                  // true
  virtual bool _MoveBy(int32_t distance);                                // true
  virtual bool _Next();                                                  // false
  virtual bool _Post();                                                  // true
  virtual bool _Prior();                                                 // false
  virtual bool _Refresh();                                               // true
  virtual bool _Restore();                                               // true
  // Whether the records served may be changed (a table opened writable). Read by the dataset
  // when it opens. The base answers true.
  virtual bool GetCanModify();

  TWenDataChangeEvent OnDataChange;
  TWenDataSourceNotifyEvent OnUpdateData;

  // The owned dataset's Before/After events.
  TWenDataSetNotifyConfirmEvent GetDSBeforeCancel() const;
  TWenDataSetNotifyConfirmEvent GetDSBeforeDelete() const;
  TWenDataSetNotifyConfirmEvent GetDSBeforeRestore() const;
  TWenDataSetNotifyConfirmEvent GetDSBeforeEdit() const;
  TWenDataSetNotifyConfirmEvent GetDSBeforeInsert() const;
  TWenDataSetNotifyConfirmEvent GetDSBeforePost() const;
  TWenDataSetNotifyEvent GetDSAfterCancel() const;
  TWenDataSetNotifyEvent GetDSAfterDelete() const;
  TWenDataSetNotifyEvent GetDSAfterRestore() const;
  TWenDataSetNotifyEvent GetDSAfterEdit() const;
  TWenDataSetNotifyEvent GetDSAfterInsert() const;
  TWenDataSetNotifyEvent GetDSAfterPost() const;
  void SetDSBeforeCancel(TWenDataSetNotifyConfirmEvent e);
  void SetDSBeforeDelete(TWenDataSetNotifyConfirmEvent e);
  void SetDSBeforeRestore(TWenDataSetNotifyConfirmEvent e);
  void SetDSBeforeEdit(TWenDataSetNotifyConfirmEvent e);
  void SetDSBeforeInsert(TWenDataSetNotifyConfirmEvent e);
  void SetDSBeforePost(TWenDataSetNotifyConfirmEvent e);
  void SetDSAfterCancel(TWenDataSetNotifyEvent e);
  void SetDSAfterDelete(TWenDataSetNotifyEvent e);
  void SetDSAfterRestore(TWenDataSetNotifyEvent e);
  void SetDSAfterEdit(TWenDataSetNotifyEvent e);
  void SetDSAfterInsert(TWenDataSetNotifyEvent e);
  void SetDSAfterPost(TWenDataSetNotifyEvent e);

 private:
  friend class TWenDataLink;
  void AddDataLink(TWenDataLink* link);
  void RemoveDataLink(TWenDataLink* link);

  TWenDataSet* data_set_ = nullptr;
  std::vector<TWenDataLink*> data_links_;
  bool refreshing_ = false;
};

// ---- TWenDataSet -------------------------------------------------------------------------

// Record buffer layout (RecordSize bytes): byte 0 the delete marker ('*' or ' '), then each
// field's value at its Offset (NativeSize bytes, list order from offset 1), then at
// BookmarkOffset the bookmark flag and BookmarkSize bytes of bookmark.
class TWenDataSet : public TComponent {
 public:
  // Owned by the data source.
  explicit TWenDataSet(TWenDataSource* data_source);
  ~TWenDataSet() override;

  TWenDataSource* DataSource() const { return data_source_; }
  const std::vector<TWenField*>& Fields() const { return fields_; }

  // Active: State is not stInactive. Setting it opens or closes; while the component is being
  // loaded only StreamedActive is recorded, and Loaded opens when it is set.
  bool Active() const { return state_ != stInactive; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  void Loaded() override;

  // Validates and normalises a field definition and appends the new field; raises 57349,
  // 57350, 57351 or 57352 for a bad one.
  TWenField* AddField(const std::string& name, char type, int len, int dec, uint8_t* user_var);
  TWenField* FindField(const std::string& name) const;    // case-insensitive; nullptr
  TWenField* FieldByName(const std::string& name) const;  // raises 57348 when missing
  void ClearFieldList();

  // Moves the active record; true when neither BOF nor EOF is set afterwards. A record being
  // edited is posted first; when that fails nothing moves and the result is false.
  bool MoveBy(int32_t distance);
  bool Next();  // MoveBy(1) and not EOF; false when the pending post failed
  void Edit();
  void Insert();
  void Append();
  // Writes the record being edited or inserted. True when it was written (or there was
  // nothing to write); false when BeforePost refused it or the data source's write failed,
  // in which case the state and the buffer stay as they were.
  bool Post();
  void Cancel();
  // Raises 57355 when inactive; sends evCheckBrowseMode; posts a record being edited.
  void CheckBrowseMode();
  // Re-reads the window around the data source's current record. Exact keeps exactly that
  // record (the window is emptied when it cannot be read); otherwise the current, else the
  // next, else the prior record is taken.
  void Resync(bool exact);
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  int32_t GetRecordCount();

  // Slot 10: the dataset's event entry; slots 11 and 12 fire OnCalcFields and OnNewRecord.
  virtual void DataEvent(TWenDataEvent event, const TWenDataEventInfo& info);
  virtual void CalculateFields();
  virtual void NewRecord();

  TWenDataSetState State() const { return state_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool CanModify() const { return can_modify_; }
  bool Modified() const { return modified_; }
  bool StreamedActive() const { return streamed_active_; }
  int32_t ActiveRecord() const { return active_record_; }
  int32_t CurrentRecord() const { return current_record_; }
  int32_t BufferCount() const { return buffer_count_; }
  int32_t RecordCount() const { return record_count_; }  // buffers in use
  int16_t CalcFieldCount() const { return calc_field_count_; }
  uint16_t RecordSize() const { return record_size_; }
  uint16_t BookmarkSize() const { return bookmark_size_; }
  uint16_t BookmarkOffset() const { return bookmark_offset_; }
  // Buffer i of the window (0 .. BufferCount; the last one is the scratch buffer), nullptr
  // outside; the active record's buffer, nullptr when the window is empty.
  uint8_t* Buffer(int32_t i);
  uint8_t* ActiveBuffer();
  // The field value's place in the active buffer (nullptr when the window is empty).
  uint8_t* FieldValue(const TWenField* field);

  bool AutoCalcFields = true;

  TWenDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, AfterInsert, AfterEdit,
      AfterPost, AfterCancel, AfterDelete, AfterRestore, OnNewRecord, OnCalcFields;
  TWenDataSetNotifyConfirmEvent BeforeInsert, BeforeEdit, BeforePost, BeforeCancel, BeforeDelete,
      BeforeRestore;

 private:
  friend class TWenDataSource;
  friend class TWenDataLink;

  void SetState(TWenDataSetState state);
  void OpenCursor();
  void CloseCursor();
  void CheckActive();
  void CheckCanModify();
  bool Confirm(const TWenDataSetNotifyConfirmEvent& event);
  void Fire(const TWenDataSetNotifyEvent& event);
  void SendEvent(TWenDataEvent event, const TWenDataEventInfo& info = {});

  // Buffer window.
  void UpdateBufferCount();
  void SetBufferCount(int32_t count);
  void ClearBuffers();
  void ActivateBuffers();
  bool GetRecord(int32_t index, int how);  // how: 0 current, 1 next, 2 prior
  bool GetNextRecord();
  bool GetPriorRecord();
  int32_t GetNextRecords();
  int32_t GetPriorRecords();
  void SetCurrentRecord(int32_t index);
  void MoveBuffer(int32_t from, int32_t to);
  void InitRecord(uint8_t* buffer);
  void CopyUserVarsTo(uint8_t* buffer);
  void CancelNoEvents();
  bool BrowseModeReady();  // CheckBrowseMode; false when a pending post failed
  // MoveBy; *blocked (when given) tells that a pending post failed and nothing moved.
  bool MoveRecords(int32_t distance, bool* blocked);

  TWenDataSource* data_source_ = nullptr;
  std::vector<TWenField*> fields_;
  std::vector<std::vector<uint8_t>> buffers_;
  int32_t active_record_ = 0;
  int32_t current_record_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  TWenDataSetState state_ = stInactive;
  bool cursor_open_ = false;
  bool can_modify_ = false;
  bool modified_ = false;
  bool streamed_active_ = false;
  int32_t buffer_count_ = 0;
  int16_t calc_field_count_ = 0;
  int32_t record_count_ = 0;
  int32_t disable_count_ = 0;
  int enable_event_ = -1;  // event to send when controls are enabled again; -1 none
  TWenDataSetState disable_state_ = stInactive;
  uint16_t record_size_ = 0;
  uint16_t bookmark_size_ = 0;
  uint16_t bookmark_offset_ = 0;
};

}  // namespace components
