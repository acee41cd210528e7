#include "components/core/wen_dataset.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/error.h"
#include "engine/utils.h"

namespace components {
namespace {

bool Contains(const std::vector<TWenDataLink*>& links, const TWenDataLink* link) {
  return std::find(links.begin(), links.end(), link) != links.end();
}

// How a record is read into a buffer.
enum TGetMode { gmCurrent = 0, gmNext = 1, gmPrior = 2 };

}  // namespace

// ---- TWenDataLink ------------------------------------------------------------------------

TWenDataLink::~TWenDataLink() {
  if (data_source_ != nullptr) data_source_->RemoveDataLink(this);
}

void TWenDataLink::SetDataSource(TWenDataSource* data_source) {
  if (data_source_ == data_source) return;
  if (data_source_ != nullptr) data_source_->RemoveDataLink(this);
  if (data_source != nullptr) data_source->AddDataLink(this);
}

TWenDataSet* TWenDataLink::DataSet() const {
  return data_source_ != nullptr ? data_source_->DataSet() : nullptr;
}

void TWenDataLink::SetReadOnly(bool read_only) {
  if (read_only_ == read_only) return;
  read_only_ = read_only;
  UpdateState();
}

void TWenDataLink::SetBufferCount(int32_t count) {
  if (count < 1) count = 1;
  if (buffer_count_ == count) return;
  buffer_count_ = count;
  if (active_) {
    ClampFirstRecord();
    DataSet()->UpdateBufferCount();
    ClampFirstRecord();
  }
}

int32_t TWenDataLink::ActiveRecord() const {
  TWenDataSet* ds = DataSet();
  return active_ && ds != nullptr ? ds->ActiveRecord() - first_record_ : 0;
}

bool TWenDataLink::CanModify() const {
  TWenDataSet* ds = DataSet();
  return !read_only_ && ds != nullptr && ds->CanModify();
}

bool TWenDataLink::Edit() {
  if (CanModify() && data_source_->State() == stBrowse) DataSet()->Edit();
  return editing_;
}

void TWenDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TWenDataLink::UpdateState() {
  SetActive(data_source_ != nullptr && data_source_->State() != stInactive);
  const TWenDataSetState state = data_source_ != nullptr ? data_source_->State() : stInactive;
  SetEditing(active_ && (state == stEdit || state == stInsert) && !read_only_);
}

void TWenDataLink::SetActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  if (active) {
    ClampFirstRecord();
  } else {
    first_record_ = 0;
  }
  ActiveChanged();
}

void TWenDataLink::SetEditing(bool editing) {
  if (editing_ == editing) return;
  editing_ = editing;
  EditingChanged();
}

void TWenDataLink::ClampFirstRecord() {
  TWenDataSet* ds = DataSet();
  if (ds == nullptr) return;
  const int32_t low = std::max(0, ds->active_record_ - buffer_count_ + 1);
  const int32_t high = std::min(ds->active_record_, ds->buffer_count_ - buffer_count_);
  if (first_record_ < low) first_record_ = low;
  if (first_record_ > high) first_record_ = high;
  if (first_record_ < 0) first_record_ = 0;
}

int32_t TWenDataLink::MoveWindow(int32_t distance) {
  first_record_ += distance;
  const int32_t active = DataSet()->active_record_;
  int32_t shift = 0;
  if (active > first_record_ + buffer_count_ - 1) {
    shift = active - (first_record_ + buffer_count_ - 1);
  } else if (active < first_record_) {
    shift = active - first_record_;
  }
  first_record_ += shift;
  return shift;
}

void TWenDataLink::DataEvent(TWenDataEvent event, const TWenDataEventInfo& info) {
  if (event == evStateChanged) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case evFieldChanged:
    case evRecordChanged:
      if (!updating_) RecordChanged(info.Field);
      break;
    case evDataSetChanged:
      MoveWindow(0);
      DataSetChanged();
      break;
    case evDataSetScrolled:
      DataSetScrolled(MoveWindow(info.Distance));
      break;
    case evLayoutChanged:
      MoveWindow(0);
      LayoutChanged();
      break;
    case evUpdateRecord:
      UpdateRecord();
      break;
    case evCheckBrowseMode:
      CheckBrowseMode();
      break;
    case evFocusControl:
      if (info.FocusField != nullptr) FocusControl(*info.FocusField);
      break;
    default:
      break;
  }
}

// ---- TWenDataSource ----------------------------------------------------------------------

TWenDataSource::TWenDataSource(TComponent* owner) : TComponent(owner) {
  data_set_ = new TWenDataSet(this);
}

TWenDataSource::~TWenDataSource() {
  MarkDestroying();
  while (!data_links_.empty()) RemoveDataLink(data_links_.back());
  delete data_set_;
  data_set_ = nullptr;
}

void TWenDataSource::AddDataLink(TWenDataLink* link) {
  data_links_.push_back(link);
  link->data_source_ = this;
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
  link->UpdateState();
}

void TWenDataSource::RemoveDataLink(TWenDataLink* link) {
  link->data_source_ = nullptr;
  auto it = std::find(data_links_.begin(), data_links_.end(), link);
  if (it != data_links_.end()) data_links_.erase(it);
  link->UpdateState();
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
}

TWenDataSetState TWenDataSource::State() const {
  if (data_set_ == nullptr || data_set_->Fields().empty()) return stInactive;
  return data_set_->State();
}

bool TWenDataSource::Next() { return data_set_ != nullptr && data_set_->Next(); }

void TWenDataSource::DataChanged() {
  if (refreshing_ || engine::ErrorCode != 0 || data_set_ == nullptr || Designing() ||
      data_set_->State() == stInactive) {
    return;
  }
  refreshing_ = true;
  try {
    if (!data_set_->ControlsDisabled()) {
      data_set_->Resync(true);
      data_set_->CancelNoEvents();
    }
  } catch (...) {
    refreshing_ = false;
    throw;
  }
  refreshing_ = false;
}

void TWenDataSource::DataEvent(TWenDataEvent event, const TWenDataEventInfo& info) {
  // A handler may detach links: each one still listed when its turn comes is notified.
  const std::vector<TWenDataLink*> links = data_links_;
  if (event == evStateChanged) {
    for (TWenDataLink* link : links) {
      if (Contains(data_links_, link)) link->DataEvent(event, info);
    }
    return;
  }
  if (State() == stInactive) return;
  for (TWenDataLink* link : links) {
    if (Contains(data_links_, link)) link->DataEvent(event, info);
  }
  if (event <= evLayoutChanged) {
    if (OnDataChange) {
      OnDataChange(this,
                   event == evFieldChanged || event == evRecordChanged ? info.Field : nullptr);
    }
  } else if (event == evUpdateRecord) {
    if (OnUpdateData) OnUpdateData(this);
  }
}

int TWenDataSource::GetBookmarkSize() { return 4; }
void TWenDataSource::PutMemo(const std::string&, const std::vector<std::string>&) {}
int TWenDataSource::SetToBookmark(const uint8_t*) { return 0; }
void TWenDataSource::ClearFields() {}
uint8_t TWenDataSource::GetBookmark(uint8_t*) { return bfBOF; }
void TWenDataSource::GetMemo(int32_t, std::vector<std::string>& lines) {
  lines.clear();
  lines.push_back("Not linked");
}
int32_t TWenDataSource::GetRecordCount() { return 0; }
bool TWenDataSource::IsDeleted() { return false; }
bool TWenDataSource::_Delete() { return true; }
bool TWenDataSource::_First() { return true; }
bool TWenDataSource::_Insert() { return true; }
bool TWenDataSource::_Last() { return true; }
bool TWenDataSource::_MoveBy(int32_t) { return true; }
bool TWenDataSource::_Next() { return false; }
bool TWenDataSource::_Post() { return true; }
bool TWenDataSource::_Prior() { return false; }
bool TWenDataSource::_Refresh() { return true; }
bool TWenDataSource::_Restore() { return true; }
bool TWenDataSource::GetCanModify() { return true; }

#define WEN_DS_EVENT(Name, Type)                              \
  Type TWenDataSource::GetDS##Name() const {                  \
    return data_set_ != nullptr ? data_set_->Name : Type();   \
  }                                                           \
  void TWenDataSource::SetDS##Name(Type e) {                  \
    if (data_set_ != nullptr) data_set_->Name = std::move(e); \
  }
WEN_DS_EVENT(BeforeCancel, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(BeforeDelete, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(BeforeRestore, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(BeforeEdit, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(BeforeInsert, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(BeforePost, TWenDataSetNotifyConfirmEvent)
WEN_DS_EVENT(AfterCancel, TWenDataSetNotifyEvent)
WEN_DS_EVENT(AfterDelete, TWenDataSetNotifyEvent)
WEN_DS_EVENT(AfterRestore, TWenDataSetNotifyEvent)
WEN_DS_EVENT(AfterEdit, TWenDataSetNotifyEvent)
WEN_DS_EVENT(AfterInsert, TWenDataSetNotifyEvent)
WEN_DS_EVENT(AfterPost, TWenDataSetNotifyEvent)
#undef WEN_DS_EVENT

// ---- TWenDataSet: fields -----------------------------------------------------------------

TWenDataSet::TWenDataSet(TWenDataSource* data_source)
    : TComponent(data_source), data_source_(data_source) {}

TWenDataSet::~TWenDataSet() {
  MarkDestroying();
  SetActive(false);
  for (TWenField* f : fields_) delete f;
  fields_.clear();
}

TWenField* TWenDataSet::AddField(const std::string& name, char type, int len, int dec,
                                 uint8_t* user_var) {
  // A field name holds at most 10 characters; the checks see the name as it is stored.
  std::string n = LowerStr(engine::AllTrim(name)).substr(0, 10);
  if (n.empty()) RaiseMsg(kMsgFieldNameMissing);
  std::replace(n.begin(), n.end(), ' ', '_');
  if (FindField(n) != nullptr) RaiseMsgFmt(kMsgDuplicateFieldName, {n});
  bool valid = n[0] >= 'a' && n[0] <= 'z';
  for (char c : n) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) valid = false;
  }
  if (!valid) RaiseMsgFmt(kMsgInvalidFieldName, {n});

  const char t = (type >= 'a' && type <= 'z') ? static_cast<char>(type - 32) : type;
  switch (t) {
    case 'C':
      len = std::clamp(len, 1, 255);
      dec = 0;
      break;
    case 'D':
      len = 8, dec = 0;
      break;
    case 'F':
    case 'N':
      len = std::clamp(len, 1, 19);
      if (dec < 0) dec = 0;
      if (dec > len - 2) dec = len < 2 ? 0 : len - 2;
      break;
    case 'L':
      len = 1, dec = 0;
      break;
    case 'M':
      len = 10, dec = 0;
      break;
    default:
      RaiseMsgFmt(kMsgInvalidFieldType, {std::string(1, type), n});
  }
  auto* field = new TWenField(this);
  field->FieldName = n;
  field->FieldType = t;
  field->Len = static_cast<uint8_t>(len);
  field->Dec = static_cast<uint8_t>(dec);
  field->NativeSize = TWenField::NativeSizeOf(t, field->Len, field->Dec);
  field->UserVar = user_var;
  fields_.push_back(field);
  return field;
}

TWenField* TWenDataSet::FindField(const std::string& name) const {
  const std::string key = LowerStr(name);
  for (TWenField* f : fields_) {
    if (LowerStr(f->FieldName) == key) return f;
  }
  return nullptr;
}

TWenField* TWenDataSet::FieldByName(const std::string& name) const {
  TWenField* f = FindField(name);
  if (f == nullptr) RaiseMsgFmt(kMsgFieldNotFound, {name});
  return f;
}

void TWenDataSet::ClearFieldList() {
  // The buffers are laid out for the fields: an open dataset is closed first.
  if (Active()) Close();
  for (TWenField* f : fields_) delete f;
  fields_.clear();
}

uint8_t* TWenDataSet::Buffer(int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= buffers_.size()) return nullptr;
  return buffers_[i].data();
}

uint8_t* TWenDataSet::ActiveBuffer() {
  if (state_ == stInactive || record_count_ == 0) return nullptr;
  return Buffer(active_record_);
}

uint8_t* TWenDataSet::FieldValue(const TWenField* field) {
  uint8_t* buf = ActiveBuffer();
  // A field added after the dataset opened has no place in its buffers.
  if (buf == nullptr || field->Offset < 1 || field->Offset + field->NativeSize > bookmark_offset_)
    return nullptr;
  return buf + field->Offset;
}

// ---- TWenDataSet: events and state -------------------------------------------------------

void TWenDataSet::DataEvent(TWenDataEvent event, const TWenDataEventInfo& info) {
  if (event == evFieldChanged && info.Field != nullptr) {
    if (!info.Field->Calculated) {
      modified_ = true;
      if (calc_field_count_ != 0 && AutoCalcFields) CalculateFields();
    }
    info.Field->Change();
  }
  if (disable_count_ > 0) {
    if ((event == evStateChanged && state_ == stInactive) || event == evLayoutChanged)
      enable_event_ = evLayoutChanged;
    return;
  }
  if (data_source_ != nullptr) data_source_->DataEvent(event, info);
}

void TWenDataSet::CalculateFields() {
  if (OnCalcFields) OnCalcFields(this);
}

void TWenDataSet::NewRecord() {
  if (OnNewRecord) OnNewRecord(this);
}

void TWenDataSet::SendEvent(TWenDataEvent event, const TWenDataEventInfo& info) {
  DataEvent(event, info);
}

void TWenDataSet::SetState(TWenDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  SendEvent(evStateChanged);
}

bool TWenDataSet::Confirm(const TWenDataSetNotifyConfirmEvent& event) {
  bool ok = true;
  if (event) event(this, ok);
  return ok;
}

void TWenDataSet::Fire(const TWenDataSetNotifyEvent& event) {
  if (event) event(this);
}

void TWenDataSet::CheckActive() {
  if (state_ == stInactive) RaiseMsg(kMsgDataSetClosed);
}

void TWenDataSet::CheckCanModify() {
  if (!can_modify_) RaiseMsg(kMsgDataSetReadOnly);
}

void TWenDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disable_state_ = state_;
    enable_event_ = evDataSetChanged;
  }
  ++disable_count_;
}

void TWenDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ != 0) return;
  if (disable_state_ != state_) SendEvent(evStateChanged);
  if (disable_state_ != stInactive && state_ != stInactive && enable_event_ >= 0)
    SendEvent(static_cast<TWenDataEvent>(enable_event_));
}

int32_t TWenDataSet::GetRecordCount() {
  return data_source_ != nullptr ? data_source_->GetRecordCount() : 0;
}

// ---- TWenDataSet: opening and closing ----------------------------------------------------

void TWenDataSet::SetActive(bool active) {
  if (Loading()) {
    streamed_active_ = active;
    return;
  }
  if (active == Active()) return;
  if (active) {
    Fire(BeforeOpen);
    try {
      OpenCursor();
    } catch (...) {
      CloseCursor();
      throw;
    }
    SetState(stBrowse);
    Fire(AfterOpen);
  } else {
    if (!Destroying()) Fire(BeforeClose);
    SetState(stInactive);
    CloseCursor();
    if (!Destroying()) Fire(AfterClose);
  }
}

void TWenDataSet::Loaded() {
  TComponent::Loaded();
  if (streamed_active_) SetActive(true);
}

void TWenDataSet::OpenCursor() {
  can_modify_ = data_source_ != nullptr && data_source_->GetCanModify();
  cursor_open_ = true;
  uint32_t offset = 1;
  for (TWenField* f : fields_) {
    f->Offset = static_cast<uint16_t>(offset);
    offset += f->NativeSize;
  }
  bookmark_size_ =
      static_cast<uint16_t>(data_source_ != nullptr ? data_source_->GetBookmarkSize() : 0);
  bookmark_offset_ = static_cast<uint16_t>(offset);
  record_size_ = static_cast<uint16_t>(offset + 1 + bookmark_size_);
  buffers_.clear();
  buffer_count_ = 0;
  ClearBuffers();
  if (data_source_ != nullptr) data_source_->_First();
  UpdateBufferCount();
  bof_ = true;
}

void TWenDataSet::CloseCursor() {
  buffers_.clear();
  buffer_count_ = 0;
  ClearBuffers();
  can_modify_ = false;
  cursor_open_ = false;
}

// ---- TWenDataSet: the buffer window ------------------------------------------------------

void TWenDataSet::UpdateBufferCount() {
  if (data_source_ == nullptr || !cursor_open_) return;
  int32_t count = 1;
  for (const TWenDataLink* link : data_source_->DataLinks())
    count = std::max(count, link->BufferCount());
  SetBufferCount(count);
}

void TWenDataSet::SetBufferCount(int32_t count) {
  if (buffer_count_ == count) return;
  auto shift_links = [this](int32_t delta) {
    for (TWenDataLink* link : data_source_->DataLinks()) link->first_record_ += delta;
  };
  if (count < buffer_count_ && record_count_ > 0) {
    // Keep the records the links show: drop those in front of the lowest window.
    int32_t delta = active_record_;
    for (const TWenDataLink* link : data_source_->DataLinks())
      delta = std::min(delta, link->FirstRecord());
    delta = std::max(delta, 0);
    for (int32_t i = 0; i < count; ++i) MoveBuffer(i + delta, i);
    active_record_ -= delta;
    if (current_record_ != -1) current_record_ -= delta;
    record_count_ = std::min(record_count_ - delta, count);
    if (current_record_ >= record_count_ || current_record_ < 0) current_record_ = -1;
    shift_links(-delta);
  }
  buffers_.resize(static_cast<size_t>(count) + 1);
  for (auto& b : buffers_) b.resize(record_size_, 0);
  buffer_count_ = count;
  GetNextRecords();
  shift_links(GetPriorRecords());
}

void TWenDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TWenDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

void TWenDataSet::MoveBuffer(int32_t from, int32_t to) {
  if (from == to) return;
  if (from < to) {
    std::rotate(buffers_.begin() + from, buffers_.begin() + from + 1, buffers_.begin() + to + 1);
  } else {
    std::rotate(buffers_.begin() + to, buffers_.begin() + from, buffers_.begin() + from + 1);
  }
}

void TWenDataSet::CopyUserVarsTo(uint8_t* buffer) {
  for (const TWenField* f : fields_) {
    if (f->UserVar != nullptr && f->Offset >= 1 && f->Offset + f->NativeSize <= bookmark_offset_)
      std::memcpy(buffer + f->Offset, f->UserVar, f->NativeSize);
  }
}

bool TWenDataSet::GetRecord(int32_t index, int how) {
  bool ok = false;
  switch (how) {
    case gmCurrent:
      ok = data_source_->_Refresh();
      break;
    case gmNext:
      ok = data_source_->_Next();
      break;
    default:
      ok = data_source_->_Prior();
      break;
  }
  if (!ok) return false;
  uint8_t* buf = buffers_[index].data();
  buf[0] = data_source_->IsDeleted() ? '*' : ' ';
  CopyUserVarsTo(buf);
  if (calc_field_count_ > 0) CalculateFields();
  buf[bookmark_offset_] = data_source_->GetBookmark(buf + bookmark_offset_ + 1);
  return true;
}

bool TWenDataSet::GetNextRecord() {
  if (record_count_ > 0) SetCurrentRecord(record_count_ - 1);
  // The data source's cursor stands on a record, not before it: an empty window starts with
  // the record the cursor is on.
  const bool ok = GetRecord(record_count_, record_count_ == 0 ? gmCurrent : gmNext);
  if (!ok) {
    current_record_ = -1;
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    MoveBuffer(0, record_count_);
  }
  current_record_ = record_count_ - 1;
  return true;
}

bool TWenDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  if (!GetRecord(record_count_, gmPrior)) {
    current_record_ = -1;
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

int32_t TWenDataSet::GetNextRecords() {
  int32_t n = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++n;
  return n;
}

int32_t TWenDataSet::GetPriorRecords() {
  int32_t n = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++n;
  return n;
}

void TWenDataSet::SetCurrentRecord(int32_t index) {
  if (current_record_ == index) return;
  uint8_t* buf = buffers_[index].data();
  switch (buf[bookmark_offset_]) {
    case bfCurrent:
      data_source_->SetToBookmark(buf + bookmark_offset_ + 1);
      break;
    case bfBOF:
      data_source_->_First();
      bof_ = true;
      break;
    default:
      // A buffer flagged EOF stands after the last record, where the next prior read must
      // find the last record itself.
      data_source_->_Last();
      data_source_->_Next();
      eof_ = true;
      break;
  }
  current_record_ = index;
}

void TWenDataSet::Resync(bool exact) {
  CheckActive();
  if (exact) {
    current_record_ = -1;
    if (!GetRecord(record_count_, gmCurrent)) {
      // The current record cannot be read (empty table, or past the end): nothing to show.
      ClearBuffers();
      SendEvent(evDataSetChanged);
      return;
    }
  } else if (!GetRecord(record_count_, gmCurrent) && !GetRecord(record_count_, gmNext) &&
             !GetRecord(record_count_, gmPrior)) {
    ClearBuffers();
    SendEvent(evDataSetChanged);
    return;
  }
  int32_t count = active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  while (count > 0 && GetPriorRecord()) --count;
  GetNextRecords();
  GetPriorRecords();
  if (exact) SetCurrentRecord(active_record_);
  SendEvent(evDataSetChanged);
}

// ---- TWenDataSet: moving and editing -----------------------------------------------------

bool TWenDataSet::BrowseModeReady() {
  CheckActive();
  SendEvent(evCheckBrowseMode);
  if (state_ == stEdit || state_ == stInsert) return Post() && state_ == stBrowse;
  return true;
}

void TWenDataSet::CheckBrowseMode() { BrowseModeReady(); }

bool TWenDataSet::MoveBy(int32_t distance) { return MoveRecords(distance, nullptr); }

bool TWenDataSet::MoveRecords(int32_t distance, bool* blocked) {
  // A record that could not be posted keeps the dataset where it is.
  if (!BrowseModeReady()) {
    if (blocked != nullptr) *blocked = true;
    return false;
  }
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int32_t moved = 0;  // how far the records moved within the window
    while (distance > 0) {
      if (active_record_ < record_count_ - 1) {
        ++active_record_;
      } else {
        const bool full = record_count_ >= buffer_count_;
        if (!GetNextRecord()) {
          eof_ = true;
          break;
        }
        if (full) {
          --moved;
        } else {
          active_record_ = record_count_ - 1;
        }
      }
      --distance;
    }
    while (distance < 0) {
      if (active_record_ > 0) {
        --active_record_;
      } else {
        const bool full = record_count_ >= buffer_count_;
        if (!GetPriorRecord()) {
          bof_ = true;
          break;
        }
        if (full) ++moved;
        active_record_ = 0;
      }
      ++distance;
    }
    TWenDataEventInfo info;
    info.Distance = moved;
    SendEvent(evDataSetScrolled, info);
  }
  if (record_count_ > 0) SetCurrentRecord(active_record_);
  SendEvent(evDataSetChanged);
  return !bof_ && !eof_;
}

bool TWenDataSet::Next() {
  bool blocked = false;
  MoveRecords(1, &blocked);
  return !blocked && !eof_;
}

void TWenDataSet::Edit() {
  if (state_ == stEdit || state_ == stInsert) return;
  CheckActive();
  // Nothing to edit: a new record instead.
  if (GetRecordCount() == 0 || record_count_ == 0) {
    Insert();
    return;
  }
  if (!BrowseModeReady()) return;
  CheckCanModify();
  if (!Confirm(BeforeEdit)) return;
  SetCurrentRecord(active_record_);
  // Start from the record as it is stored now.
  if (data_source_->_Refresh()) {
    uint8_t* buf = ActiveBuffer();
    buf[0] = data_source_->IsDeleted() ? '*' : ' ';
    CopyUserVarsTo(buf);
  }
  if (calc_field_count_ > 0) CalculateFields();
  SetState(stEdit);
  Fire(AfterEdit);
}

void TWenDataSet::InitRecord(uint8_t* buffer) {
  // Everything before the bookmark; the caller sets the bookmark flag.
  std::memset(buffer, 0, bookmark_offset_);
  data_source_->ClearFields();
  CopyUserVarsTo(buffer);
  buffer[0] = ' ';
}

void TWenDataSet::Insert() {
  if (!BrowseModeReady()) return;
  CheckCanModify();
  if (!Confirm(BeforeInsert)) return;
  const bool empty = record_count_ == 0;
  MoveBuffer(record_count_, active_record_);
  uint8_t* buf = buffers_[active_record_].data();
  InitRecord(buf);
  if (empty) {
    buf[bookmark_offset_] = bfBOF;
  } else {
    // The bookmark of the record after it (the buffer that was active).
    const uint8_t* after = buffers_[active_record_ + 1].data();
    std::memcpy(buf + bookmark_offset_, after + bookmark_offset_, 1u + bookmark_size_);
  }
  if (record_count_ < buffer_count_) ++record_count_;
  current_record_ = -1;  // the buffers moved: the cursor's buffer is no longer known
  SetState(stInsert);
  NewRecord();
  modified_ = false;
  SendEvent(evDataSetChanged);
  Fire(AfterInsert);
}

void TWenDataSet::Append() {
  if (!BrowseModeReady()) return;
  CheckCanModify();
  if (!Confirm(BeforeInsert)) return;
  ClearBuffers();
  uint8_t* buf = buffers_[0].data();
  InitRecord(buf);
  buf[bookmark_offset_] = bfEOF;
  record_count_ = 1;
  bof_ = false;
  GetPriorRecords();
  active_record_ = record_count_ - 1;
  SetCurrentRecord(active_record_);
  data_source_->_Next();
  SendEvent(evDataSetChanged);
  InitRecord(ActiveBuffer());
  SetState(stInsert);
  NewRecord();
  modified_ = false;
  SendEvent(evDataSetChanged);
  Fire(AfterInsert);
}

bool TWenDataSet::Post() {
  if (state_ != stEdit && state_ != stInsert) RaiseMsg(kMsgNotEditing);
  SendEvent(evUpdateRecord);
  if (!modified_) {
    CancelNoEvents();
    return true;
  }
  SendEvent(evCheckBrowseMode);
  bool ok = true;
  DisableControls();
  try {
    ok = Confirm(BeforePost);
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  if (!ok) {
    CopyUserVarsTo(ActiveBuffer());
    SendEvent(evDataSetChanged);
    return false;
  }
  const bool written = state_ == stEdit ? data_source_->_Post() : data_source_->_Insert();
  // A failed write leaves the record being edited as the user left it.
  if (!written) return false;
  uint8_t* buf = ActiveBuffer();
  buf[bookmark_offset_] = data_source_->GetBookmark(buf + bookmark_offset_ + 1);
  current_record_ = active_record_;  // the data source stands on the record just written
  SetState(stBrowse);
  Resync(true);
  Fire(AfterPost);
  return true;
}

void TWenDataSet::CancelNoEvents() {
  if (state_ != stEdit && state_ != stInsert) return;
  SetState(stBrowse);
  Resync(false);
}

void TWenDataSet::Cancel() {
  if (state_ != stEdit && state_ != stInsert) return;
  SendEvent(evCheckBrowseMode);
  if (!Confirm(BeforeCancel)) return;
  SetState(stBrowse);
  Resync(false);
  SendEvent(evDataSetChanged);
  Fire(AfterCancel);
}

}  // namespace components
