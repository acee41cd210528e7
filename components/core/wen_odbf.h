// TWenODbf: the table component over one work area of the table engine. It serves the record
// operations of TWenDataSource with the engine's procedural routines, locks around every write,
// and offers direct navigation, field information and the index routines. Before every engine
// call it makes its own work area the engine's current one, so several components can be used
// alternately; an operation on a component without an open table stops the program with
// error 1103.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "engine/ndx_format.h"

namespace components {

// Called when a write could not take its lock; `resolved` (true on entry) set to true asks
// for one more attempt.
using TWenLockFailedEvent = std::function<void(TComponent* sender, bool& resolved)>;

// The error code of an operation on a component whose table is not open.
inline constexpr uint16_t kErrDatabaseNotOpen = 1103;

class TWenODbf : public TWenDataSource {
 public:
  explicit TWenODbf(TComponent* owner = nullptr);
  ~TWenODbf() override;  // closes the area

  // ---- Record operations of the dataset ----
  int GetBookmarkSize() override;  // 4: the record number
  // Stores the lines (OEM) as the memo of the named memo field and puts the memo's new block
  // number into the native record buffer. A missing or non-memo field is error 220.
  void PutMemo(const std::string& field_name, const std::vector<std::string>& lines) override;
  // GO to the record number in the bookmark with halting suspended; returns the error code
  // (left set for the caller).
  int SetToBookmark(const uint8_t* bookmark) override;
  void ClearFields() override;                      // blank native buffer
  uint8_t GetBookmark(uint8_t* bookmark) override;  // RecNo; bfBOF / bfEOF at the ends
  // The memo of block `block` (0: none) read line by line into `lines` (OEM).
  void GetMemo(int32_t block, std::vector<std::string>& lines) override;
  int32_t GetRecordCount() override;
  bool IsDeleted() override;
  bool _Delete() override;  // DeleteRec under the record lock
  bool _First() override;   // GoTop
  bool _Insert() override;  // Append under the file lock
  bool _Last() override;    // GoBottom
  bool _MoveBy(int32_t distance) override;
  bool _Next() override;     // false at EOF; else SKIP 1 and not EOF
  bool _Post() override;     // Replace under the record lock
  bool _Prior() override;    // false at BOF; else SKIP -1 and not BOF
  bool _Refresh() override;  // false without records; else SKIP 0 and not EOF
  bool _Restore() override;  // RecallRec under the record lock
  // True when the table was opened for writing (not read-only).
  bool GetCanModify() override;

  // ---- Direct navigation and field information (no notification unless stated) ----
  void Go(int32_t rec_no);  // GO, then DataChanged
  void GoTop();             // GoTop, then DataChanged
  bool Deleted();
  std::string Field(uint8_t n);      // the field's name (upper case, at most 10 characters)
  uint8_t* FieldAddress(uint8_t n);  // the field's slot in the native record buffer
  uint8_t FieldCount();
  uint8_t FieldDec(uint8_t n);
  uint8_t FieldLen(uint8_t n);
  char FieldType(uint8_t n);
  int32_t RecCount();
  int32_t RecNo();

  // ---- Index routines of the engine on this area, each followed by DataChanged ----
  virtual void SetIndexTo(const std::string& file_list);
  virtual void SetIndexToCB(engine::TKeyMaker key_maker, const std::string& file_spec, int slot);
  virtual void SetIndexToLFN(const std::string& file_spec, int slot);
  virtual void IndexOn(const std::string& expression, const std::string& file_spec);
  virtual void IndexOnCB(engine::TKeyMaker key_maker, const std::string& file_spec);

  // Opens the table of the USE command text `spec` (the engine allocates the native buffer)
  // in this component's area, or in a free one when it has none. False when USE fails; the
  // engine's error code and message stay set for the caller.
  bool Open(const std::string& spec);
  // Closes the table when one is open.
  void CloseThisArea();

  uint8_t Area() const { return area_; }  // 0: no table open
  bool Opened() const { return opened_; }
  uint8_t* UserBuffer() const { return user_buffer_; }
  uint16_t UserBufferSize() const { return user_buffer_size_; }

  bool AutoFixRecCount = false;  // engine::AutoFixCount while a table is opened
  bool HideDeletedRecs = false;  // engine::HideDeleted at every area selection
  TWenLockFailedEvent OnALockFailedOnInsert;
  TWenLockFailedEvent OnRLockFailedOnDelete;
  TWenLockFailedEvent OnRLockFailedOnPost;
  TWenLockFailedEvent OnRLockFailedOnRestore;

 protected:
  // Makes the area current and loads HideDeletedRecs into the engine. Without a table: error
  // 1103 "Database is not open [<operation>]" and the program stops.
  void SelectArea(const std::string& operation);

  // The number of field `field_name` when it exists and matches the expected type code (C, D,
  // L, M; N numeric without and R with decimals; E never; any other code every field).
  // Otherwise error 220 with the reason, and 0.
  uint8_t CheckFieldDef(const std::string& operation, const std::string& field_name, char expected);

 private:
  // Takes the lock, runs the write and unlocks. A failed lock goes to the handler (a resolved
  // failure is tried once more) or shows 57620. True when the write was made.
  bool LockedWrite(bool file_lock, void (*write)(), const TWenLockFailedEvent& on_failed,
                   const char* operation);

  uint8_t area_ = 0;
  bool opened_ = false;
  uint8_t* user_buffer_ = nullptr;
  uint16_t user_buffer_size_ = 0;
};

}  // namespace components
