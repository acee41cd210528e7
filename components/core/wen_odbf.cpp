#include "components/core/wen_odbf.h"

#include <cstdint>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/index_driver.h"
#include "engine/memo_device.h"
#include "engine/work_area.h"
#include "platform/core/file.h"
#include "platform/core/halt.h"

namespace components {

namespace {

constexpr uint16_t kErrBadField = 220;

}  // namespace

TWenODbf::TWenODbf(TComponent* owner) : TWenDataSource(owner) {}

TWenODbf::~TWenODbf() {
  MarkDestroying();
  CloseThisArea();
}

void TWenODbf::SelectArea(const std::string& operation) {
  if (area_ == 0) {
    engine::SetError(kErrDatabaseNotOpen, LoadMsg(kMsgDatabaseNotOpen) + " [" + operation + "]");
    // The program stops whatever the halt switch says; with it on, SetError has shown the box.
    if (!engine::AbortOnError) engine::ReportError();
    platform::Halt(kErrDatabaseNotOpen);
  }
  if (engine::SelectedArea() != area_) engine::Select(area_);
  engine::HideDeleted = HideDeletedRecs;
}

// ---- Opening and closing -------------------------------------------------------------------

bool TWenODbf::Open(const std::string& spec) {
  const uint8_t saved_area = engine::SelectedArea();
  engine::Select(area_);  // 0 chooses a free area
  if (engine::ErrorCode != 0) {
    // Selecting the old area again clears the error state, which belongs to the caller.
    const uint16_t code = engine::ErrorCode;
    const std::string msg = engine::ErrorMsg;
    engine::Select(saved_area);
    engine::ErrorCode = code;
    engine::ErrorMsg = msg;
    return false;
  }
  {
    TScopedValue<bool> fix(engine::AutoFixCount, AutoFixRecCount);
    engine::USE(spec, nullptr, 0);
  }
  if (engine::ErrorCode != 0) {
    // USE has closed whatever the area held before.
    area_ = 0;
    opened_ = false;
    user_buffer_ = nullptr;
    user_buffer_size_ = 0;
    return false;
  }
  area_ = engine::SelectedArea();
  opened_ = true;
  const engine::TWorkAreaRec* wa = engine::CurrentWorkArea();
  user_buffer_ = wa->UserBuf;
  user_buffer_size_ = wa->UserBufSize;
  return true;
}

void TWenODbf::CloseThisArea() {
  if (area_ != 0) {
    // The fields' outside copies point into the native buffer that goes with the table.
    if (TWenDataSet* ds = DataSet(); ds != nullptr) {
      if (!Destroying() && ds->Active()) ds->Close();
      for (TWenField* f : ds->Fields()) {
        if (f->UserVar >= user_buffer_ && f->UserVar < user_buffer_ + user_buffer_size_) {
          f->UserVar = nullptr;
        }
      }
    }
    SelectArea("CloseThisArea");
    engine::USE("", nullptr, 0);
    area_ = 0;
  }
  opened_ = false;
  user_buffer_ = nullptr;
  user_buffer_size_ = 0;
}

// ---- Record operations ---------------------------------------------------------------------

int TWenODbf::GetBookmarkSize() { return 4; }

int TWenODbf::SetToBookmark(const uint8_t* bookmark) {
  SelectArea("SetToBookmark");
  engine::ErrorCode = 0;
  {
    THaltSuspension halt;
    engine::GO(engine::GetI32LE(bookmark));
  }
  return engine::ErrorCode;
}

void TWenODbf::ClearFields() {
  SelectArea("ClearFields");
  engine::ClearRecord();
}

uint8_t TWenODbf::GetBookmark(uint8_t* bookmark) {
  SelectArea("GetBookmark");
  uint8_t flag = bfCurrent;
  if (engine::dBOF()) flag = bfBOF;
  if (engine::dEOF()) flag = bfEOF;
  engine::PutI32LE(bookmark, engine::RecNo());
  return flag;
}

void TWenODbf::GetMemo(int32_t block, std::vector<std::string>& lines) {
  SelectArea("GetMemo");
  lines.clear();
  if (block == 0) return;
  int32_t ref = block;
  engine::TMemoDevice memo;
  if (!engine::AssignMemo(memo, ref)) return;
  int rc = memo.Reset();
  std::string line;
  while (rc == 0 && !memo.Eof()) {
    rc = memo.ReadLn(line);
    if (rc == 0) lines.push_back(line);
  }
  memo.Close();
  if (rc != 0) {
    engine::SetError(static_cast<uint16_t>(rc),
                     "Error reading memo block " + std::to_string(block) + " [GetMemo]");
  }
}

void TWenODbf::PutMemo(const std::string& field_name, const std::vector<std::string>& lines) {
  SelectArea("GetMField");
  const uint8_t n = CheckFieldDef("GetMField", field_name, 'M');
  if (n == 0) return;
  uint8_t* slot = engine::FieldAddress(n);
  if (slot == nullptr) return;
  int32_t ref = engine::GetI32LE(slot);
  engine::TMemoDevice memo;
  if (!engine::AssignMemo(memo, ref)) return;
  int rc = memo.Rewrite();
  for (size_t i = 0; rc == 0 && i < lines.size(); ++i) {
    rc = i + 1 < lines.size() ? memo.WriteLn(lines[i]) : memo.Write(lines[i]);
  }
  // Close stores nothing after a failed write, and the reference keeps its old value.
  const int close_rc = memo.Close();
  if (rc == 0) rc = close_rc;
  if (rc != 0) {
    engine::SetError(static_cast<uint16_t>(rc),
                     "Error writing memo of field " + field_name + " [PutMemo]");
    return;
  }
  engine::PutI32LE(slot, ref);
}

int32_t TWenODbf::GetRecordCount() {
  SelectArea("GetRecordCount");
  return engine::RecCount();
}

bool TWenODbf::IsDeleted() {
  SelectArea("Deleted");
  return engine::Deleted();
}

bool TWenODbf::LockedWrite(bool file_lock, void (*write)(), const TWenLockFailedEvent& on_failed,
                           const char* operation) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Selected on every attempt: the handler may have worked on other tables meanwhile.
    SelectArea(operation);
    if (file_lock ? engine::ALock() : engine::RLock()) {
      engine::ErrorCode = 0;
      write();
      const uint16_t code = engine::ErrorCode;
      engine::Unlock();
      if (code != 0) {
        // The write's failure is the one the caller sees.
        engine::ErrorCode = code;
        return false;
      }
      return true;
    }
    if (!on_failed) {
      ShowMsgFmt(kMsgLockFailed, {operation});
      return false;
    }
    // The handler is asked once; a second failed lock is the write's failure.
    if (attempt > 0) return false;
    bool resolved = true;
    on_failed(this, resolved);
    if (!resolved) return false;
  }
  return false;
}

bool TWenODbf::_Delete() {
  return LockedWrite(false, &engine::DeleteRec, OnRLockFailedOnDelete, "_Delete");
}

bool TWenODbf::_First() {
  SelectArea("_First");
  engine::GoTop();
  return true;
}

bool TWenODbf::_Insert() {
  return LockedWrite(true, &engine::Append, OnALockFailedOnInsert, "_Insert");
}

bool TWenODbf::_Last() {
  SelectArea("_Last");
  engine::GoBottom();
  return true;
}

bool TWenODbf::_MoveBy(int32_t distance) {
  SelectArea("_MoveBy");
  engine::SKIP(distance);
  return true;
}

bool TWenODbf::_Next() {
  SelectArea("_Next");
  if (engine::dEOF()) return false;
  engine::SKIP(1);
  return !engine::dEOF();
}

bool TWenODbf::_Post() {
  return LockedWrite(false, &engine::Replace, OnRLockFailedOnPost, "_Post");
}

bool TWenODbf::_Prior() {
  SelectArea("_Prior");
  if (engine::dBOF()) return false;
  engine::SKIP(-1);
  return !engine::dBOF();
}

bool TWenODbf::_Refresh() {
  SelectArea("_Refresh");
  if (engine::RecCount() == 0) return false;
  engine::SKIP(0);
  return !engine::dEOF();
}

bool TWenODbf::_Restore() {
  return LockedWrite(false, &engine::RecallRec, OnRLockFailedOnRestore, "_Restore");
}

bool TWenODbf::GetCanModify() {
  if (area_ == 0) return false;
  SelectArea("GetCanModify");
  const engine::TWorkAreaRec* wa = engine::CurrentWorkArea();
  return wa != nullptr && (wa->Dbf.OpenMode & 0x07) != platform::kModeRead;
}

// ---- Direct methods --------------------------------------------------------------------------

void TWenODbf::Go(int32_t rec_no) {
  SelectArea("Go");
  engine::GO(rec_no);
  DataChanged();
}

void TWenODbf::GoTop() {
  SelectArea("GoTop");
  engine::GoTop();
  DataChanged();
}

bool TWenODbf::Deleted() {
  SelectArea("Deleted");
  return engine::Deleted();
}

std::string TWenODbf::Field(uint8_t n) {
  SelectArea("Field");
  return engine::Field(n);
}

uint8_t* TWenODbf::FieldAddress(uint8_t n) {
  SelectArea("FieldAddress");
  return engine::FieldAddress(n);
}

uint8_t TWenODbf::FieldCount() {
  SelectArea("FieldCount");
  return engine::FieldCount();
}

uint8_t TWenODbf::FieldDec(uint8_t n) {
  SelectArea("FieldDec");
  return engine::FieldDec(n);
}

uint8_t TWenODbf::FieldLen(uint8_t n) {
  SelectArea("FieldLen");
  return engine::FieldLen(n);
}

char TWenODbf::FieldType(uint8_t n) {
  SelectArea("FieldType");
  return engine::FieldType(n);
}

int32_t TWenODbf::RecCount() {
  SelectArea("RecCount");
  return engine::RecCount();
}

int32_t TWenODbf::RecNo() {
  SelectArea("RecNo");
  return engine::RecNo();
}

// ---- Index routines --------------------------------------------------------------------------

void TWenODbf::SetIndexTo(const std::string& file_list) {
  SelectArea("SetIndexTo");
  engine::Set_Index_To(file_list);
  DataChanged();
}

void TWenODbf::SetIndexToCB(engine::TKeyMaker key_maker, const std::string& file_spec, int slot) {
  SelectArea("SetIndexToCB");
  engine::Set_Index_ToCB(key_maker, file_spec, slot);
  DataChanged();
}

void TWenODbf::SetIndexToLFN(const std::string& file_spec, int slot) {
  SelectArea("SetIndexToLFN");
  engine::Set_Index_ToLFN(file_spec, slot);
  DataChanged();
}

void TWenODbf::IndexOn(const std::string& expression, const std::string& file_spec) {
  SelectArea("IndexOn");
  engine::Index_On(expression, file_spec);
  DataChanged();
}

void TWenODbf::IndexOnCB(engine::TKeyMaker key_maker, const std::string& file_spec) {
  SelectArea("IndexOnCB");
  engine::Index_OnCB(key_maker, file_spec);
  DataChanged();
}

// ---- Field definition test -------------------------------------------------------------------

uint8_t TWenODbf::CheckFieldDef(const std::string& operation, const std::string& field_name,
                                char expected) {
  SelectArea(operation);
  const uint8_t n = engine::FieldNo(field_name);
  if (n == 0) {
    engine::SetError(kErrBadField,
                     FmtLoadMsg(kMsgFieldNotIn, {field_name, engine::CurrentDbfName()}) + " [" +
                         operation + "]");
    return 0;
  }
  const char type = engine::FieldType(n);
  const uint8_t len = engine::FieldLen(n);
  const uint8_t dec = engine::FieldDec(n);
  const bool numeric = type == 'N' || type == 'F';
  std::string wanted;
  bool match = false;
  switch (expected) {
    case 'C':
      wanted = "character";
      match = type == 'C';
      break;
    case 'D':
      wanted = "date";
      match = type == 'D';
      break;
    case 'L':
      wanted = "logical";
      match = type == 'L';
      break;
    case 'M':
      wanted = "memo";
      match = type == 'M';
      break;
    case 'N':
      wanted = "numeric, without decimals";
      match = numeric && dec == 0;
      break;
    case 'R':
      wanted = "numeric, with decimals";
      match = numeric && dec > 0;
      break;
    case 'E':
      wanted = "numeric, width > 255";
      break;
    default:
      return n;
  }
  if (match) return n;
  std::string actual;
  switch (type) {
    case 'C':
      actual = "Character";
      break;
    case 'D':
      actual = "Date";
      break;
    case 'L':
      actual = "Logical";
      break;
    case 'M':
      actual = "Memo";
      break;
    default:
      actual = "Numeric, width: " + std::to_string(len) + " decimals: " + std::to_string(dec);
      break;
  }
  engine::SetError(kErrBadField, FmtLoadMsg(kMsgFieldTypeExpected,
                                            {operation, field_name, wanted, field_name, actual}));
  return 0;
}

}  // namespace components
