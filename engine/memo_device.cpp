// The memo text device over the engine-wide line store: reading delivers the stored lines,
// writing collects lines in the store and Close writes them as the memo.
#include "engine/memo_device.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "engine/dbf_file.h"
#include "engine/memo_file.h"
#include "engine/utils.h"
#include "engine/work_area.h"

namespace engine {

namespace {

constexpr int kIoNoMemory = 8;
constexpr int kIoRead = 100;
constexpr int kIoWrite = 101;
constexpr int kIoNotAssigned = 102;
constexpr int kIoNotOpen = 103;
constexpr int kIoNotInput = 104;
constexpr int kIoNotOutput = 105;

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kSoftCR = static_cast<char>(0x8D);

// Makes the device's area current for one operation.
class AreaScope {
 public:
  explicit AreaScope(uint8_t area) : saved_(CurrentArea) { CurrentArea = area; }
  ~AreaScope() { CurrentArea = saved_; }
  AreaScope(const AreaScope&) = delete;
  AreaScope& operator=(const AreaScope&) = delete;

 private:
  uint8_t saved_;
};

}  // namespace

TMemoDevice::~TMemoDevice() {
  if (mode_ != Mode::kClosed) Release();
}

bool TMemoDevice::Assign(int32_t& ref) {
  if (CheckMemoArea("AssignMemo")) return false;
  if (mode_ != Mode::kClosed) Release();
  ref_ = &ref;
  area_ = CurrentArea;
  return true;
}

void TMemoDevice::Release() {
  FreeMemoLines(true);
  MemoLineEnds.reset();
  pending_.clear();
  next_line_ = 0;
  old_ref_ = 0;
  failed_ = false;
  mode_ = Mode::kClosed;
}

int TMemoDevice::Open(Mode mode, bool load) {
  if (ref_ == nullptr) return kIoNotAssigned;
  if (mode_ != Mode::kClosed) Close();  // reopening closes first, as a text file does
  AreaScope scope(area_);
  if (!AllocMemoLines()) return kIoNoMemory;
  pending_.clear();
  next_line_ = 0;
  old_ref_ = 0;
  failed_ = false;
  if (load) {
    if (!GetMemo(*ref_, 0)) {
      Release();
      return kIoRead;
    }
  } else {
    FreeMemoLines(false);
    MemoLineCount = 0;
  }
  mode_ = mode;
  return 0;
}

int TMemoDevice::Reset() { return Open(Mode::kInput, true); }

int TMemoDevice::Rewrite() {
  const int code = Open(Mode::kOutput, false);
  if (code == 0) old_ref_ = *ref_ > 0 ? *ref_ : 0;  // a binary memo is replaced by a new one
  return code;
}

int TMemoDevice::Append() {
  if (ref_ != nullptr && *ref_ < 0) return kIoRead;  // a binary memo cannot take text
  const int code = Open(Mode::kOutput, true);
  if (code != 0) return code;
  if (MemoLinesCut) {
    // Only the first MaxMemoLines lines were loaded: writing them back would lose the rest.
    Release();
    return kIoRead;
  }
  old_ref_ = *ref_;
  MemoLineCount = static_cast<int32_t>(MemoLines->size());
  return 0;
}

int TMemoDevice::ReadLn(std::string& line) {
  line.clear();
  if (ref_ == nullptr) return kIoNotAssigned;
  if (mode_ != Mode::kInput || !MemoLines) return kIoNotInput;
  if (next_line_ < MemoLines->size()) line = (*MemoLines)[next_line_++];
  return 0;
}

bool TMemoDevice::Eof() const {
  return mode_ != Mode::kInput || !MemoLines || next_line_ >= MemoLines->size();
}

int TMemoDevice::AddText(std::string_view text) {
  if (ref_ == nullptr) return kIoNotAssigned;
  if (mode_ == Mode::kClosed) return kIoNotOpen;
  if (mode_ != Mode::kOutput) return kIoNotOutput;
  if (!MemoLines) {  // the store was taken by another device
    failed_ = true;
    return kIoWrite;
  }
  for (const char c : text) {
    if (c == kLF) continue;
    if (c != kCR) {
      pending_.push_back(c);
      continue;
    }
    uint8_t mark = 13;
    if (!pending_.empty() && pending_.back() == kSoftCR) {
      pending_.pop_back();
      mark = 141;
    }
    const size_t index = MemoLines->size() + 1;
    if (index > MaxMemoLines || !HeapHas(1000)) {
      failed_ = true;
      return kIoWrite;
    }
    MemoLines->push_back(std::move(pending_));
    pending_.clear();
    if (MemoLineEnds && index < MemoLineEnds->size()) (*MemoLineEnds)[index] = mark;
    MemoLineCount = static_cast<int32_t>(MemoLines->size());
  }
  return 0;
}

int TMemoDevice::Write(std::string_view text) { return AddText(text); }

int TMemoDevice::WriteLn(std::string_view text) {
  const int code = AddText(text);
  if (code != 0) return code;
  return AddText("\r\n");
}

int TMemoDevice::Flush() {
  if (ref_ == nullptr) return kIoNotAssigned;
  if (mode_ == Mode::kClosed) return kIoNotOpen;
  return 0;
}

int TMemoDevice::Close() {
  if (ref_ == nullptr) return kIoNotAssigned;
  if (mode_ == Mode::kClosed) return kIoNotOpen;
  AreaScope scope(area_);
  int code = 0;
  if (mode_ == Mode::kOutput) {
    int32_t new_ref = 0;
    if (!failed_ && MemoLines && WriteMemo(old_ref_, pending_, &new_ref)) {
      *ref_ = new_ref;
    } else {
      code = kIoWrite;
    }
  }
  if (code == 0 && FlushMemoOnClose) {
    TMemoFileRec* m = CurrentMemoFile();
    if (m != nullptr) FlushFile(m->MemoFile);
  }
  Release();
  return code;
}

bool AssignMemo(TMemoDevice& f, int32_t& ref) { return f.Assign(ref); }

}  // namespace engine
