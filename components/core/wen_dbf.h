// TWenDbf: the table component a window holds. It names a table file, opens it when Active
// becomes true (creating the table from DbfFields when it is missing, and opening or building
// the index files of IndexList), gives the dataset one field per table field, and registers
// with WenSession so that its work-area alias (the first 10 characters of its name) is unique.
//
// DbfFields lines: "name, type, length, decimals" (exactly three commas, parts trimmed).
// IndexList entries: "order,index file,key expression".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/core/wen_odbf.h"

namespace components {

// When the index files of IndexList are built afresh.
enum TCreateIndexType : uint8_t {
  ciNotFound = 0,      // only those that are missing or unusable
  ciAlways = 1,        // every one, at every open
  ciVerifyHeader = 2,  // also those whose header's record count differs from the table's
  ciNever = 3,         // never: a missing index fails the open
};

// Before an index file is built; setting can_make to false skips the build.
using TBeforeMakeIndexEvent =
    std::function<void(TComponent* sender, const std::string& name, bool& can_make)>;
// After an index file was built (or its build failed).
using TAfterMakeIndexEvent = std::function<void(TComponent* sender, const std::string& name)>;

class TWenDbf : public TWenODbf {
 public:
  explicit TWenDbf(TComponent* owner = nullptr);  // registers with WenSession
  ~TWenDbf() override;                            // closes the table, leaves WenSession

  // Refuses an empty name (57602) and a name whose first 10 characters another registered
  // data source already has (57603); the old name stays.
  void SetName(const std::string& new_name) override;
  // Ends loading and opens or closes the table as Active was set meanwhile.
  void Loaded() override;

  // Once the component is ready: whether the table is open; before, the value last set.
  bool Active() const { return ready_ ? is_open_ : active_value_; }
  // Opens the table (and the dataset) or closes it. Opening does nothing without a file name.
  // A failed open leaves Active false: with halting on the engine has stopped the program,
  // with halting off its error code and message stay set.
  void SetActive(bool active);

  const std::string& DbfFileName() const { return dbf_file_name_; }
  // Trimmed; a name without an extension gets ".DBF" (a name ending in "." is kept). An open
  // table is reopened under the new name; an empty name closes it.
  void SetDbfFileName(const std::string& name);

  bool Exclusive() const { return exclusive_; }
  // A change reopens an open table.
  void SetExclusive(bool exclusive);

  // The USE command text the table is opened with.
  std::string OpenCommand() const;

  std::vector<std::string> DbfFields;  // field definitions for creating the table
  std::vector<std::string> IndexList;  // index entries
  TCreateIndexType CreateIndex = ciNotFound;
  bool CreateIfNotFound = true;
  TBeforeMakeIndexEvent OnBeforeMakeIndex;
  TAfterMakeIndexEvent OnAfterMakeIndex;

  using TWenODbf::Open;

 protected:
  // Creates the table when it is missing, opens it and its indexes. True when all are open.
  bool Open();
  // Opens (building where CreateIndex asks) the index files of IndexList into their slots.
  bool OpenIndexes();
  // Creates DbfFileName from DbfFields; true when the table was created.
  bool CreateTable();

 private:
  // Deletes the table's semaphore file when no program holds it; while another one does,
  // indexes are not rebuilt wholesale (CreateIndex falls back to ciNotFound).
  void RemoveSemaphoreFile();
  // Set_Index_ToLFN into the slot; a raised failure is caught and left in the error state.
  void OpenIndexFile(const std::string& file_name, int slot);
  // Re-raises the pending engine error after halting is restored; false.
  bool FailIndexes(bool halt_was_on, bool close_indexes);
  // Closes the table after a failed open, keeping the error state for the caller.
  void CloseAfterFailure();

  bool exclusive_ = false;
  std::string dbf_file_name_;
  bool streamed_active_ = false;
  bool active_value_ = false;
  bool is_open_ = false;
  bool ready_ = false;
};

}  // namespace components
