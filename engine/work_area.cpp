// Work areas: the table of areas, the current area, USE with its command-text parse, Select,
// closing, the share-mode reopen and the exit procedure that closes every area.
//
// Names in a USE text: keywords are found in an upper-cased copy of the text, but the file
// name is cut from the caller's own text at the same positions (Linux names keep their case),
// and the table is kept under the name found on disk, so that every program derives the same
// names of the table's other files.
//
// Closing a shared table: the header's record count and the end-of-file byte are written only
// while this program holds the append lock, with the count read again from the file size under
// it. Without that lock another program may be appending at that moment, and a count or an
// end-of-file byte written from our view of the file would cut off or overwrite its record;
// the program that holds (or gets) the lock writes both when it closes, whenever the header's
// count differs from the records the file holds, whether or not it changed the table itself.
// An exclusive open takes the records the file holds when its header counts fewer.
#include "engine/work_area.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/hooks.h"
#include "engine/utils.h"
#include "platform/core/dos_error.h"
#include "platform/core/halt.h"
#include "platform/core/paths.h"

namespace engine {

std::array<std::unique_ptr<TWorkAreaRec>, kMaxArea + 1> WorkAreas;
uint8_t CurrentArea = 1;
bool SharedAccess = true;
uint16_t DefaultShareMode = 66;
uint16_t OpenModeOverride = 65535;
uint16_t PeekCacheSize = 0;

namespace {

constexpr int kModeExclusiveReadWrite = platform::kShareExclusive | platform::kModeReadWrite;
constexpr uint8_t kEofByte = 0x1A;

int g_exit_proc_id = -1;

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Removes every whole-word occurrence of `word` (which starts with a blank) from `upper` and
// the same characters from `original`. True when one was removed.
bool RemoveWord(const std::string& word, std::string& upper, std::string& original) {
  bool removed = false;
  size_t pos = upper.find(word);
  while (pos != std::string::npos) {
    const size_t end = pos + word.size();
    if (end == upper.size() || !IsWordChar(upper[end])) {
      upper.erase(pos, word.size());
      original.erase(pos, word.size());
      removed = true;
      pos = upper.find(word, pos);
    } else {
      pos = upper.find(word, pos + 1);
    }
  }
  return removed;
}

// The name as given when it exists, else the existing file that matches it regardless of case.
std::string OnDisk(const std::string& name) {
  return platform::PathExists(name) ? name : platform::ResolveCase(name);
}

bool SharedArea(const TWorkAreaRec& wa) { return SharedAccess && !wa.Exclusive; }

// The record count the header on disk holds, in the form the table was opened in; -1 when it
// cannot be read.
int64_t HeaderCountOnDisk(const TDbfFileRec& t) {
  uint8_t h[8] = {};
  size_t got = 0;
  if (t.DataFile.ReadAt(0, h, sizeof h, &got) != 0 || got < sizeof h) return -1;
  return t.DbaseII ? int64_t{GetU16LE(h + 1)} : int64_t{GetU32LE(h + 4)};
}

// Before the close of a shared area: with the append lock held (taken here when it is free),
// brings the count up to date from the file size and writes the header and the end-of-file
// byte when this program changed the table or the header's count differs from the records the
// file holds (another program appended and could not write them, or was killed). Without the
// lock writes neither. Either way CloseDbf has nothing left to write. Closing the file releases
// a lock taken here.
void SettleSharedTable(TWorkAreaRec& wa) {
  TDbfFileRec& t = wa.Dbf;
  const uint8_t state = t.State;
  t.State = kDbfClean;
  if (t.DataFile.IsReadOnly()) return;  // nothing can be written through it
  const bool held =
      wa.LockState == lkAppend || LockRange(false, t.DataFile, int64_t{LockBase} + 1, 1) == 0;
  if (!held) return;
  RefreshRecCount();
  const int64_t on_disk = HeaderCountOnDisk(t);
  const bool stale = on_disk >= 0 && on_disk != t.RecCount;
  if (state != kDbfChanged && state != kDbfAppended && !stale) return;
  WriteDbfHeader(t);
  if (ErrorCode == 0 && (state == kDbfAppended || stale)) {
    const uint8_t eof = kEofByte;
    const int rc = t.DataFile.WriteAt(
        uint64_t{t.HeaderLen} + static_cast<uint64_t>(t.RecCount) * t.RecLen, &eof, 1);
    ErrorCode = static_cast<uint16_t>(rc);
  }
  if (ErrorCode != 0) {
    SetError(ErrorCode, "File:  " + t.FileName + " [CloseDbf(" + t.FileName + ")]");
  }
}

// An exclusive open: a file that holds more whole records than its header counts (a shared
// appender that could not write the count, or was killed) keeps them, so that no append goes
// over one. The header is then brought up to date at the close, unless the file is read-only.
void TakeRecordsOfTheFile(TDbfFileRec& t) {
  uint64_t size = 0;
  if (t.RecLen == 0 || t.DataFile.Size(&size) != 0 || size <= t.HeaderLen) return;
  const uint64_t records =
      std::min<uint64_t>((size - t.HeaderLen) / t.RecLen, static_cast<uint64_t>(kMaxRecCount));
  if (records <= static_cast<uint64_t>(std::max(t.RecCount, 0))) return;
  t.RecCount = static_cast<int32_t>(records);
  if (!t.DataFile.IsReadOnly()) t.State = kDbfAppended;
}

// Closes every area (internal ones first), then area 1 is current.
void CloseEveryArea() {
  for (uint8_t area : {uint8_t{34}, uint8_t{35}}) {
    CurrentArea = area;
    CloseArea();
  }
  CloseAll();
}

// Closes an area left open by an earlier start of the engine without halting on failures.
void CloseLeftovers() {
  bool any = false;
  for (const auto& wa : WorkAreas) any = any || wa != nullptr;
  if (!any) return;
  const bool abort = AbortOnError;
  const ErrorProc user = UserErrorProc;
  AbortOnError = false;
  UserErrorProc = nullptr;
  CloseEveryArea();
  AbortOnError = abort;
  UserErrorProc = user;
  ErrorCode = 0;
  ErrorMsg.clear();
  for (auto& wa : WorkAreas) wa.reset();
}

// Takes the current area's table out of its slot and closes it after a failure, keeping the
// error that was already reported.
void CloseAfterFailure() {
  const uint16_t code = ErrorCode;
  const std::string msg = ErrorMsg;
  CloseArea();
  ErrorCode = code;
  ErrorMsg = msg;
}

}  // namespace

TWorkAreaRec* CurrentWorkArea() {
  if (CurrentArea < 1 || CurrentArea > kMaxArea) return nullptr;
  return WorkAreas[CurrentArea].get();
}

bool CheckArea(const std::string& routine) {
  if (CurrentWorkArea() != nullptr) return false;
  SetError(215, "No database in use [" + routine + "]  WorkArea = " + std::to_string(CurrentArea));
  return true;
}

void USE(const std::string& spec, uint8_t* buffer, uint16_t size) {
  ErrorCode = 0;
  CloseArea();
  ErrorCode = 0;
  const std::string trimmed = AllTrim(spec);
  if (trimmed.empty()) return;

  // The upper-cased copy finds the keywords; `original` keeps the caller's letters at the same
  // positions, for the file name.
  std::string upper = UpperCopy(trimmed) + " ";
  std::string original = trimmed + " ";
  const std::string command = upper;

  if (upper.find("LINKED LIST") != std::string::npos ||
      upper.find("VIRTUAL FILE") != std::string::npos) {
    SetError(1101, "[USE(" + command + ",<@Buffer>,<size>)]");
    return;
  }
  if ((buffer == nullptr) != (size == 0)) {
    SetError(220, "Buffer is NIL or size is zero, attempting to open " + command + " [USE]");
    return;
  }

  bool exclusive = RemoveWord(" EXCLUSIVE", upper, original);

  std::string alias;
  const size_t alias_at = upper.find(" ALIAS ");
  if (alias_at != std::string::npos) {
    // The alias word is the first word after ALIAS, at most 10 characters.
    size_t start = alias_at + 7;
    while (start < upper.size() && upper[start] == ' ') ++start;
    alias = upper.substr(start, 10);
    size_t blank = 0;
    while (blank < alias.size() && static_cast<unsigned char>(alias[blank]) > ' ') ++blank;
    alias.resize(blank);
    upper.resize(alias_at);
    original.resize(alias_at);
  }

  const std::string name = AllTrim(original);
  if (alias.empty()) {
    std::string dir, base, ext;
    FileSplit(name, dir, base, ext);
    alias = UpperCopy(base).substr(0, 10);
  }
  const std::string file_name = OnDisk(AddDefaultExt(FullPath(name), "DBF"));

  for (uint8_t i = 1; i <= kMaxUserArea; ++i) {
    if (i != CurrentArea && WorkAreas[i] && WorkAreas[i]->Dbf.FileName == file_name) {
      SetError(214, "File: " + file_name + " is already in use." + " [" + "USE" + "]");
      return;
    }
  }

  if (DefaultShareMode == kModeExclusiveReadWrite) exclusive = true;
  int mode = exclusive ? kModeExclusiveReadWrite : DefaultShareMode;
  if (!SharedAccess) {
    mode = platform::kModeReadWrite;
    exclusive = true;
  }
  if (OpenModeOverride < 65535) mode = OpenModeOverride & 0xFF;

  TDbfFileRec table;
  table.FileName = file_name;
  const int saved_mode = FileMode;
  FileMode = mode;
  OpenDbfFile(table);
  FileMode = saved_mode;
  if (ErrorCode != 0 || table.State == kDbfClosed) return;

  if (!HeapHas(static_cast<int64_t>(sizeof(TWorkAreaRec)))) {
    CloseDbf(table);
    SetError(217, "[USE(" + trimmed + ",<@Buffer>,<size>)]");
    return;
  }
  auto area = std::make_unique<TWorkAreaRec>();
  area->Dbf = std::move(table);
  area->Alias = alias;
  area->Exclusive = exclusive;
  WorkAreas[CurrentArea] = std::move(area);
  TWorkAreaRec& wa = *WorkAreas[CurrentArea];

  const uint16_t native_size = NativeRecSize(wa.Dbf);
  if (buffer == nullptr) {
    if (!HeapHas(native_size)) {
      CloseArea();
      SetError(217, "[USE(" + trimmed + ",Nil,0)]");
      return;
    }
    wa.OwnedBuf.assign(native_size, 0);
    wa.OwnsUserBuf = true;
    buffer = wa.OwnedBuf.data();
    size = native_size;
  }
  if (size != native_size) {
    const std::string shown = wa.Dbf.FileName;
    CloseArea();
    SetError(266, "Database record/buffer size mismatch: " + shown + " [USE()]" + "\n\r" +
                      "Record Size=" + std::to_string(native_size) +
                      ", Buffer Size=" + std::to_string(size));
    return;
  }
  wa.UserBuf = buffer;
  wa.UserBufSize = size;

  for (uint8_t i = 1; i <= kMaxUserArea; ++i) {
    if (i != CurrentArea && WorkAreas[i] && WorkAreas[i]->Alias == alias) {
      CloseArea();
      SetError(220, "Alias name \"" + alias + "\" already in use." + " [USE]");
      return;
    }
  }

  wa.Dbf.BeforeWriteProc = BeforeWriteDefault;
  wa.Dbf.AfterAccessProc = AfterAccessDefault;

  // A shared table's header count may lag behind records other programs have appended.
  RefreshRecCount();
  if (wa.Exclusive) TakeRecordsOfTheFile(wa.Dbf);
  if (wa.Dbf.RecCount < 1) {
    std::fill(wa.UserBuf, wa.UserBuf + wa.UserBufSize, uint8_t{0});
    ClearRecord();
    wa.Dbf.RecNo = 0;
    wa.Dbf.AtBof = true;
    wa.Dbf.AtEof = true;
  } else {
    GoTop();
    if (ErrorCode != 0) {
      CloseAfterFailure();
      return;
    }
  }

  if (!HeapHas(wa.UserBufSize)) {
    CloseArea();
    SetError(217, "[USE(" + trimmed + ",<@Buffer>," + std::to_string(size) + ")]");
    return;
  }
  wa.SwapBuf.assign(wa.UserBufSize, 0);

  if (wa.Dbf.HasMemo && MemoHooks.OpenMemoFile != nullptr) {
    const int rc = MemoHooks.OpenMemoFile(StripExt(wa.Dbf.FileName));
    if (rc != 0) {
      CloseArea();
      SetError(static_cast<uint16_t>(rc),
               "Problem with memo [USE(" + trimmed + ",<@Buffer>," + std::to_string(size) + ")]");
    }
  }
}

void Select(uint8_t n) {
  ErrorCode = 0;
  if (n >= 1 && n <= kMaxUserArea) {
    CurrentArea = n;
    return;
  }
  if (n == 0) {
    for (uint8_t i = 1; i <= kMaxUserArea; ++i) {
      if (!WorkAreas[i]) {
        CurrentArea = i;
        return;
      }
    }
    SetError(220, "No free workarea available [Select(0)]");
    return;
  }
  SetError(220, "Invalid workarea selected = [Select(" + std::to_string(n) + ")]");
}

uint8_t SelectedArea() { return CurrentArea; }

// True when an index is open in any slot of the current area.
static bool AnyIndexOpen() {
  const TIndexDriverHooks& h = IndexDriverHooks;
  if (h.PrimaryOpen != nullptr && h.PrimaryOpen()) return true;
  if (h.IndexFileName == nullptr) return false;
  for (int slot = 2; slot <= 16; ++slot) {  // an area has 16 index slots
    if (!h.IndexFileName(slot).empty()) return true;
  }
  return false;
}

void CloseArea() {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) return;
  // Any open slot, not only slot 1: indexes left in slots 2..16 would otherwise stay open past
  // the table and carry over to the next table of the area.
  if (IndexDriverHooks.CloseIndexes != nullptr && AnyIndexOpen()) {
    IndexDriverHooks.CloseIndexes();
  }
  RefreshRecCount();
  if (SharedArea(*wa)) SettleSharedTable(*wa);
  Unlock();
  wa->SwapBuf = {};
  if (wa->Dbf.HasMemo && MemoHooks.CloseMemoFile != nullptr) MemoHooks.CloseMemoFile();
  ReleasePeekCache(wa->Alias);
  CloseDbf(wa->Dbf);
  WorkAreas[CurrentArea].reset();
}

void CloseAll() {
  ErrorCode = 0;
  for (uint8_t i = 1; i <= kMaxUserArea; ++i) {
    CurrentArea = i;
    CloseArea();
  }
  CurrentArea = 1;
}

std::string Alias() {
  const TWorkAreaRec* wa = CurrentWorkArea();
  return wa ? wa->Alias : std::string();
}

std::string CurrentDbfName() {
  const TWorkAreaRec* wa = CurrentWorkArea();
  return wa ? wa->Dbf.FileName : std::string();
}

void RefreshRecCount() {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr || wa->Exclusive || wa->Dbf.RecLen == 0) return;
  uint64_t file_size = 0;
  if (wa->Dbf.DataFile.Size(&file_size) != 0) return;
  const uint64_t records =
      file_size > wa->Dbf.HeaderLen ? (file_size - wa->Dbf.HeaderLen) / wa->Dbf.RecLen : 0;
  wa->Dbf.RecCount =
      static_cast<int32_t>(std::min<uint64_t>(records, static_cast<uint64_t>(kMaxRecCount)));
}

int ReopenDbf(bool want_exclusive) {
  TWorkAreaRec* wa = CurrentWorkArea();
  if (wa == nullptr) return platform::kDosInvalidHandle;
  if (wa->Exclusive && !wa->LastReopenExclusive) return platform::kDosAccessDenied;
  TDbfFileRec& t = wa->Dbf;
  // Only the share mode changes: the access stays the one the table was opened with (a table
  // opened read-only stays read-only). The share lock is converted in place on the open file,
  // which keeps the area's locks and never leaves the area without its file.
  const int share = want_exclusive ? platform::kShareExclusive : DefaultShareMode & 0x70;
  const int mode = share | (t.OpenMode & 7);
  const int rc = t.DataFile.ChangeShareMode(mode);
  if (rc != 0) return rc;
  t.OpenMode = static_cast<uint16_t>(mode);
  wa->Exclusive = want_exclusive;
  wa->LastReopenExclusive = want_exclusive;
  return 0;
}

bool IsExclusive() {
  const TWorkAreaRec* wa = CurrentWorkArea();
  return wa == nullptr || wa->Exclusive;
}

void InitWorkAreas() {
  CloseLeftovers();
  CurrentArea = 1;
  SharedAccess = true;
  DefaultShareMode = 66;
  OpenModeOverride = 65535;
  PeekCacheSize = 0;
  ReleasePeekCache({});
  EngineServiceHooks.CurrentDbfName = &CurrentDbfName;
  EngineServiceHooks.ReopenDbf = &ReopenDbf;
  EngineServiceHooks.IsExclusive = &IsExclusive;
  EngineServiceHooks.LockBaseByte = &LockBaseByte;
  EngineServiceHooks.UnlockBaseByte = &UnlockBaseByte;
  // One exit procedure however often the engine starts: the one of an earlier start goes.
  if (g_exit_proc_id >= 0) platform::RemoveExitProc(g_exit_proc_id);
  g_exit_proc_id = platform::AddExitProc(&CloseEveryArea);
}

}  // namespace engine
