// The memo text device: reads a memo line by line and writes lines as a memo, as a text file
// would. The expression evaluator, the class layer and the output device all read and write
// memos through it.
//
// Usage:
//   TMemoDevice f;
//   if (f.Assign(ref)) {                  // ref: the caller's memo reference variable
//     f.Reset();  while (!f.Eof()) { f.ReadLn(line); ... }  f.Close();
//     f.Rewrite(); f.WriteLn("text"); ... f.Close();        // ref now holds the new memo
//   }
// The caller writes the updated reference into the record's memo field and saves the record.
//
// Every operation returns a run-time I/O code, 0 on success: 8 no memory for the line store,
// 100 the memo could not be read (or, for Append, was too long to be written back whole),
// 101 the memo could not be written, 102 the device is not assigned, 103 not open,
// 104 not open for reading, 105 not open for writing. Each operation works in the area that was
// current at Assign and restores the current area afterwards.
//
// The line store is engine-wide: one device owns it from its open to its close, and two devices
// open at the same time share it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

class TMemoDevice {
 public:
  enum class Mode { kClosed, kInput, kOutput };

  TMemoDevice() = default;
  // An open device is released without writing anything (only Close stores written lines).
  ~TMemoDevice();
  TMemoDevice(const TMemoDevice&) = delete;
  TMemoDevice& operator=(const TMemoDevice&) = delete;

  // Binds the device, closed, to the memo whose reference is held in `ref`, in the current
  // area. `ref` must outlive the device's use. False (nothing changed) when the area cannot use
  // memos (reported by CheckMemoArea with "AssignMemo").
  bool Assign(int32_t& ref);

  // Opens for reading: loads the memo; reading starts at its first line.
  int Reset();
  // Opens for writing: an empty memo; on Close it replaces the memo `ref` held, reusing its
  // blocks when the new text fits them.
  int Rewrite();
  // Opens for writing after the memo's last line.
  int Append();

  // Reads the next line (without its line end) into `line`. At the end of the memo `line` is
  // empty and the result 0.
  int ReadLn(std::string& line);
  // True when a reading device has delivered every line (or is not open for reading).
  bool Eof() const;

  // Writes text to the current line; every CR in it ends the line (an LF after it is dropped,
  // so CR LF is one line end; other LFs are dropped too, and a 0x8D directly before a CR marks
  // a soft break and is dropped).
  int Write(std::string_view text);
  // Write(text) followed by a line end.
  int WriteLn(std::string_view text);
  // Nothing is buffered: 0 while open, else the code of the mode check.
  int Flush();

  // Closes the device. A writing device stores the written lines as the memo and updates the
  // reference (0 for an empty memo); when the memo cannot be written, or an earlier write to
  // the device failed, nothing is stored, the code is 101 and the reference keeps its old
  // value. The line store is freed in every mode.
  int Close();

  Mode mode() const { return mode_; }
  bool assigned() const { return ref_ != nullptr; }

 private:
  int Open(Mode mode, bool load);
  int AddText(std::string_view text);
  void Release();

  int32_t* ref_ = nullptr;
  uint8_t area_ = 0;
  Mode mode_ = Mode::kClosed;
  size_t next_line_ = 0;  // reading: index of the next line to deliver
  int32_t old_ref_ = 0;   // writing: the memo being replaced (0: none)
  std::string pending_;   // writing: text of the line not yet ended
  bool failed_ = false;   // writing: a write failed, so Close stores nothing
};

// Slot 0 of MemoHooks: binds `f` to the memo reference `ref` in the current area.
bool AssignMemo(TMemoDevice& f, int32_t& ref);

}  // namespace engine
