#include "components/core/wen_dbf.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/index_build.h"
#include "engine/index_driver.h"
#include "engine/index_semaphore.h"
#include "engine/ndx_format.h"
#include "engine/utils.h"
#include "engine/work_area.h"

namespace components {

namespace {

constexpr uint16_t kErrFileNotFound = 2;
constexpr uint16_t kErrBadIndexFile = 222;
constexpr uint16_t kErrKeyMakerIndex = 223;
constexpr size_t kMaxTableFields = 255;
constexpr size_t kMaxKeyExpression = 100;

// The engine's error state, saved and put back around calls that clear it.
struct TErrorState {
  uint16_t Code = engine::ErrorCode;
  std::string Msg = engine::ErrorMsg;
  uint16_t Reported = engine::LastReportedError;
  void Restore() const {
    engine::ErrorCode = Code;
    engine::ErrorMsg = Msg;
    engine::LastReportedError = Reported;
  }
};

// One IndexList entry: order, index file and key expression. A part is taken only when its
// comma is not the first character of what remains.
struct TIndexEntry {
  int Order = 0;
  std::string File;
  std::string Expression;
};

TIndexEntry ParseIndexEntry(const std::string& text) {
  TIndexEntry e;
  std::string rest = text;
  size_t comma = rest.find(',');
  if (comma != std::string::npos && comma > 0) {
    e.Order = engine::TextToInt(rest.substr(0, comma));
    rest.erase(0, comma + 1);
  }
  comma = rest.find(',');
  if (comma != std::string::npos && comma > 0) {
    e.File = engine::AllTrim(rest.substr(0, comma));
    rest.erase(0, comma + 1);
  }
  e.Expression = rest.substr(0, kMaxKeyExpression);
  return e;
}

// Parses one DbfFields line into `def`. False for a line the table cannot be made from: not
// exactly three commas, an unknown type, or a length or decimals out of range. `skip` is set
// for type X, which is left out without complaint.
bool ParseFieldLine(const std::string& line, engine::TFieldDef& def, bool& skip) {
  skip = false;
  if (engine::CountSubStr(",", line) != 3) return false;
  std::vector<std::string> parts;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = line.find(',', start);
    parts.push_back(engine::AllTrim(line.substr(start, comma - start)));
    start = comma + 1;
  }
  parts.push_back(engine::AllTrim(line.substr(start)));

  const char type = parts[1].empty()
                        ? ' '
                        : static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
  if (type == 'X') {
    skip = true;
    return true;
  }
  if (std::string("CDFLMN").find(type) == std::string::npos || type == ' ') return false;
  const int len = engine::TextToInt(parts[2]);
  const int dec = engine::TextToInt(parts[3]);
  if (len < 0 || len > 255 || dec < 0 || dec > 255) return false;
  if (type == 'N' && (len >= 20 || dec >= 16 || (dec > 0 && len - dec < 2))) return false;
  if (type == 'C' && len >= 255) return false;
  def.Name = parts[0].substr(0, 10);
  def.FieldType = type;
  def.Len = static_cast<uint8_t>(len);
  def.Dec = static_cast<uint8_t>(dec);
  return true;
}

}  // namespace

TWenDbf::TWenDbf(TComponent* owner) : TWenODbf(owner) {
  ready_ = !Loading() && (owner == nullptr || !owner->Loading());
  if (WenSession != nullptr) WenSession->AddDataSource(this);
}

TWenDbf::~TWenDbf() {
  MarkDestroying();
  CloseThisArea();
  is_open_ = false;
  if (WenSession != nullptr) WenSession->RemoveDataSource(this);
}

// ---- Properties ------------------------------------------------------------------------------

void TWenDbf::SetName(const std::string& new_name) {
  if (AllTrimStr(new_name).empty()) {
    ShowMsg(kMsgNameEmpty);
    return;
  }
  TWenDataSource* other =
      WenSession != nullptr ? WenSession->FindByName10(new_name, this) : nullptr;
  const std::string old_name = GetName();
  TWenODbf::SetName(new_name);
  if (other != nullptr && LowerStr(new_name) != LowerStr(old_name)) {
    ShowMsg(kMsgNameNotUnique);
    TWenODbf::SetName(old_name);
  }
}

void TWenDbf::SetDbfFileName(const std::string& name) {
  std::string value = engine::AllTrim(name);
  if (!value.empty() && value.back() != '.') value = engine::AddDefaultExt(value, "DBF");
  dbf_file_name_ = value;
  if (value.empty()) {
    SetActive(false);
  } else if (is_open_) {
    SetActive(false);
    SetActive(true);
  }
}

void TWenDbf::SetExclusive(bool exclusive) {
  if (exclusive == exclusive_) return;
  exclusive_ = exclusive;
  if (is_open_) {
    SetActive(false);
    SetActive(true);
  }
}

std::string TWenDbf::OpenCommand() const {
  return dbf_file_name_ + (exclusive_ ? " EXCLUSIVE" : "") + " ALIAS " + GetName().substr(0, 10);
}

// ---- Opening and closing -----------------------------------------------------------------

void TWenDbf::SetActive(bool active) {
  if (Loading()) {
    if (active) streamed_active_ = true;
    active_value_ = active;
    return;
  }
  active_value_ = active;
  if (!ready_) return;
  if ((active && dbf_file_name_.empty()) || active == is_open_) return;
  if (active) {
    is_open_ = Open();
    DataSet()->ClearFieldList();
    if (is_open_) {
      try {
        const uint8_t count = FieldCount();
        for (uint8_t n = 1; n <= count; ++n) {
          DataSet()->AddField(LowerStr(Field(n)), FieldType(n), FieldLen(n), FieldDec(n),
                              FieldAddress(n));
        }
      } catch (...) {
        DataSet()->ClearFieldList();
        CloseThisArea();
        is_open_ = false;
        throw;
      }
    }
  } else {
    // Closes the dataset before the table (see CloseThisArea).
    CloseThisArea();
    is_open_ = false;
  }
  DataSet()->SetActive(is_open_);
}

void TWenDbf::Loaded() {
  TWenODbf::Loaded();
  ready_ = true;
  if (streamed_active_) active_value_ = true;
  SetActive(active_value_);
  if (DataSet()->Active() != is_open_) DataSet()->SetActive(is_open_);
}

bool TWenDbf::Open() {
  if (!dbf_file_name_.empty() && CreateIfNotFound && !engine::FileFound(dbf_file_name_)) {
    if (!CreateTable()) ShowMsgFmt(kMsgCouldNotCreate, {dbf_file_name_});
  }
  const std::string command = OpenCommand();
  // Tables are opened in the engine's own version bytes only.
  TScopedValue<uint8_t> signature1(engine::DbfSignature1, 0);
  TScopedValue<uint8_t> signature2(engine::DbfSignature2, 0);
  bool ok = false;
  {
    // In message mode 1 a failing USE leaves its error for the caller instead of halting.
    TScopedValue<bool> halt(engine::AbortOnError,
                            MessageMode(0) == 1 ? false : engine::AbortOnError);
    ok = TWenODbf::Open(command);
  }
  if (ok && !OpenIndexes()) {
    CloseAfterFailure();
    ok = false;
  }
  return ok;
}

void TWenDbf::CloseAfterFailure() {
  const TErrorState error;
  CloseThisArea();
  error.Restore();
}

bool TWenDbf::CreateTable() {
  if (DbfFields.empty()) {
    ShowMsg(kMsgFieldListEmpty);
    return false;
  }
  std::vector<engine::TFieldDef> defs;
  for (const std::string& line : DbfFields) {
    engine::TFieldDef def;
    bool skip = false;
    if (!ParseFieldLine(line, def, skip)) return false;
    if (skip) continue;
    if (defs.size() == kMaxTableFields) return false;
    defs.push_back(def);
  }
  THaltSuspension halt;
  engine::TDbfFileRec table;
  engine::CreateDBF(table, dbf_file_name_, static_cast<uint8_t>(defs.size()), defs);
  return engine::ErrorCode == 0;
}

// ---- Index files -----------------------------------------------------------------------------

void TWenDbf::RemoveSemaphoreFile() {
  const std::string name = engine::SemaphoreFileName(engine::CurrentDbfName());
  if (engine::FileFound(name)) {
    // The table's lock byte is held while the file is tested and deleted, as a login holds
    // it, so that no other program logs in between.
    const bool shared = engine::SharedAccess;
    const bool locked = engine::LockBaseByte();
    if (locked && !engine::SemaphoreFileInUse(name)) engine::EraseFiles(name);
    if (locked && shared) engine::UnlockBaseByte();
  }
  if ((CreateIndex == ciAlways || CreateIndex == ciVerifyHeader) && engine::FileFound(name)) {
    CreateIndex = ciNotFound;
  }
}

void TWenDbf::OpenIndexFile(const std::string& file_name, int slot) {
  try {
    engine::Set_Index_ToLFN(file_name, slot);
  } catch (const EWendalError&) {
    if (engine::ErrorCode == 0) engine::ErrorCode = kErrBadIndexFile;
  }
}

bool TWenDbf::FailIndexes(bool halt_was_on, bool close_indexes) {
  const TErrorState error;
  if (close_indexes) engine::Close_Indexes();
  if (halt_was_on) ResumeHalt();
  // With halting on this shows the engine's message and stops the program.
  engine::SetError(error.Code, error.Msg);
  return false;
}

bool TWenDbf::OpenIndexes() {
  SelectArea("OpenIndexes");
  const THaltSuspension halt;
  RemoveSemaphoreFile();

  engine::ErrorCode = 0;
  std::vector<TIndexEntry> entries;
  for (const std::string& text : IndexList) entries.push_back(ParseIndexEntry(text));

  // First pass: every index file can be opened, or is built now.
  for (const TIndexEntry& e : entries) {
    SelectArea("OpenIndexes");
    switch (CreateIndex) {
      case ciNotFound:
      case ciNever:
        OpenIndexFile(e.File, 1);
        break;
      case ciAlways:
        engine::ErrorCode = kErrFileNotFound;
        break;
      case ciVerifyHeader: {
        engine::TIndexOptions options;
        const std::string file = engine::StripIndexOptions(e.File, options);
        if (RecCount() == engine::IndexHeaderRecCount(file)) {
          OpenIndexFile(e.File, 1);
        } else {
          engine::ErrorCode = kErrFileNotFound;
        }
        break;
      }
    }
    const uint16_t code = engine::ErrorCode;
    if (CreateIndex != ciNever &&
        (code == kErrFileNotFound || code == kErrBadIndexFile || code == kErrKeyMakerIndex)) {
      engine::ErrorCode = 0;
      bool can_make = true;
      if (OnBeforeMakeIndex) OnBeforeMakeIndex(this, e.File, can_make);
      if (can_make) {
        SelectArea("OpenIndexes");  // the handler may have worked on other tables
        try {
          engine::MakeExprIndex(e.Expression, e.File);
        } catch (const EWendalError&) {
          if (engine::ErrorCode == 0) engine::ErrorCode = kErrBadIndexFile;
        }
        if (OnAfterMakeIndex) {
          const TErrorState error;
          OnAfterMakeIndex(this, e.File);
          SelectArea("OpenIndexes");
          error.Restore();
        }
        if (engine::ErrorCode == 0) OpenIndexFile(e.File, 1);
      }
    }
    if (engine::ErrorCode != 0) return FailIndexes(halt.WasOn(), false);
    engine::Close_Indexes();
    if (engine::ErrorCode != 0) return FailIndexes(halt.WasOn(), false);
  }

  // Second pass: each index into the slot of its order.
  for (const TIndexEntry& e : entries) {
    OpenIndexFile(e.File, e.Order);
    if (engine::ErrorCode != 0) return FailIndexes(halt.WasOn(), true);
  }
  return true;
}

}  // namespace components
