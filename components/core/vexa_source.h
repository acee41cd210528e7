// The INI source and the Qt-free half of the INI-bound controls.
//
// A TVexaSource stands for one INI file and offers typed reads and writes of its keys through
// the profile engine (platform/core/profile.h); nothing is cached, every call goes to the file.
// A control bound to it holds one TVexaLink (source, section, key name). TVexaControl is the
// part every INI-bound control shares; TVexaTextControl and TVexaListControl carry the read and
// write logic for a single text and for a list with its selection, over a small abstract
// interface that the widgets implement.
//
// A stored list occupies the keys Item + "Count", Item + "0" ... Item + (Count - 1) and
// Item + "Sel" of one section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace components {

// A text of at most 40 bytes: every store keeps the first 40 and drops the rest.
class TString40 {
 public:
  static constexpr size_t kMaxLength = 40;

  TString40() = default;
  TString40(std::string_view text) : text_(text.substr(0, kMaxLength)) {}  // NOLINT: implicit
  TString40(const char* text) : TString40(std::string_view(text)) {}       // NOLINT: implicit

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }  // NOLINT: implicit
  bool empty() const { return text_.empty(); }
  size_t size() const { return text_.size(); }
  friend bool operator==(const TString40& a, const TString40& b) { return a.text_ == b.text_; }

 private:
  std::string text_;
};

// The notification message of an INI-bound control: a code and a parameter.
struct TVexaMessage {
  uint16_t Msg = 0;
  uint16_t WParam = 0;
};
inline constexpr uint16_t kVexaNotify = 100;       // code of an INI notification
inline constexpr uint16_t kVexaNotifyWrite = 101;  // parameter that asks for WriteINI

class TVexaSource;
class TVexaControl;

// The binding of one control to a key of a source. Owned by its control. The source does not
// own its links; a link leaves its source when it is destroyed, and a source being destroyed
// clears the Source of every link still bound to it.
class TVexaLink {
 public:
  using NotifyProc = std::function<void(TVexaMessage&)>;

  TVexaLink(TVexaControl* control, NotifyProc notify);
  ~TVexaLink();
  TVexaLink(const TVexaLink&) = delete;
  TVexaLink& operator=(const TVexaLink&) = delete;

  TVexaControl* Control() const { return control_; }
  const NotifyProc& Notify() const { return notify_; }

  TVexaSource* Source() const { return source_; }
  // Leaves the old source (RemoveLink), stores `source` and, when not null, joins it (AddLink).
  void SetSource(TVexaSource* source);

  const TString40& Section() const { return section_; }
  void SetSection(std::string_view section) { section_ = section; }
  const TString40& Item() const { return item_; }
  void SetItem(std::string_view item) { item_ = item; }

 private:
  friend class TVexaSource;

  TVexaControl* control_;
  NotifyProc notify_;
  TVexaSource* source_ = nullptr;
  TString40 section_;
  TString40 item_;
};

// One INI file with typed reads and writes. Non-copyable: links point at it.
class TVexaSource {
 public:
  using TNotifyEvent = std::function<void(TVexaSource* sender)>;

  TVexaSource() = default;
  // Clears the Source of every link still bound (their controls then read a null INISource).
  ~TVexaSource();
  TVexaSource(const TVexaSource&) = delete;
  TVexaSource& operator=(const TVexaSource&) = delete;

  // The file used: with UseAppDir, the program's folder followed by the name part of the
  // stored name (after its last "/", "\" or drive colon); otherwise the stored name unchanged,
  // which the profile engine keeps in the profile folder when it has no folder.
  std::string FileName() const;
  // Stores the name unchanged.
  void SetFileName(const std::string& name) { file_name_ = name; }
  const std::string& StoredFileName() const { return file_name_; }

  bool UseAppDir() const { return use_app_dir_; }
  void SetUseAppDir(bool on) { use_app_dir_ = on; }

  // Stored with the component; no operation of the source fires them.
  TNotifyEvent OnBeforeUpdateFile;
  TNotifyEvent OnBeforeUpdateControls;
  TNotifyEvent OnAfterUpdateFile;
  TNotifyEvent OnAfterUpdateControls;

  // Removes the whole section. Erasing a section that is not there (or a file that does not
  // exist) succeeds. Throws engine::EWendalError naming the file when the file cannot be
  // written.
  void EraseSection(const std::string& section);

  // The key's value (at most 1023 bytes), or `def` when the file, section or key is missing.
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& def) const;
  // Writes the key. Returns false when the file cannot be written (nothing is changed then).
  bool WriteString(const std::string& section, const std::string& ident, const std::string& value);

  // The key's value as a 32-bit integer: decimal with an optional sign, or hexadecimal after
  // "$" or "0x" (any letter case); `def` for a missing, empty or unconvertible text.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
  // Writes the decimal text of `value`. Returns false on failure.
  bool WriteInteger(const std::string& section, const std::string& ident, int32_t value);

  // Replaces the whole section (every key of it, not only this list's) with Item + "Count"
  // and Item + "0" ... in one atomic write. Throws engine::EWendalError naming the file when
  // the file cannot be written.
  void WriteStrings(const std::string& section, const std::string& item,
                    const std::vector<std::string>& strings);
  // Loads a stored list into `strings`. A count of 0, or a missing or unconvertible count,
  // leaves `strings` alone and returns false. Otherwise `strings` is cleared and gets the
  // non-empty lines 0 ... Count - 1 in order (missing and empty lines are skipped; a negative
  // count leaves it empty), and the result is true. Reads the file once.
  bool ReadStrings(const std::string& section, const std::string& item,
                   std::vector<std::string>& strings) const;

  // Appends the link unless it is in the list already.
  void AddLink(TVexaLink* link);
  // Removes the link if it is in the list.
  void RemoveLink(TVexaLink* link);
  const std::vector<TVexaLink*>& Links() const { return links_; }

 private:
  std::string file_name_;
  bool use_app_dir_ = false;
  std::vector<TVexaLink*> links_;
};

// Converts an INI integer text as ReadInteger does; `def` when it does not convert.
int32_t IniTextToInt(const std::string& text, int32_t def);

// What every INI-bound control shares: its link, the INISource / INISection / INIItem
// properties and the dispatch of ININotify. The widgets derive from it (beside their Qt base)
// and implement ReadINI and WriteINI through TVexaTextControl or TVexaListControl.
class TVexaControl {
 public:
  TVexaControl();
  virtual ~TVexaControl() = default;
  TVexaControl(const TVexaControl&) = delete;
  TVexaControl& operator=(const TVexaControl&) = delete;

  TVexaSource* INISource() const { return link_.Source(); }
  void SetINISource(TVexaSource* source) { link_.SetSource(source); }
  const TString40& INISection() const { return link_.Section(); }
  // Keeps the first 40 bytes.
  void SetINISection(std::string_view section) { link_.SetSection(section); }
  const TString40& INIItem() const { return link_.Item(); }
  // Keeps the first 40 bytes.
  void SetINIItem(std::string_view item) { link_.SetItem(item); }

  TVexaLink& Link() { return link_; }
  const TVexaLink& Link() const { return link_; }

  // Loads the control's value from its key. Does nothing unless bound (INIBound).
  virtual void ReadINI() = 0;
  // Stores the control's value under its key. Does nothing unless bound.
  virtual void WriteINI() = 0;
  // Code kVexaNotify runs WriteINI with parameter kVexaNotifyWrite and ReadINI with any other
  // parameter; other codes are ignored.
  virtual void ININotify(TVexaMessage& message);

 protected:
  // True when INISource is set and INISection and INIItem are both non-empty.
  bool INIBound() const;

 private:
  TVexaLink link_;
};

// A control whose value is one text (an edit's Text, a label's Caption).
class TVexaTextControl : public TVexaControl {
 public:
  // Text becomes the key's value; a missing key leaves it as it is.
  void ReadINI() override;
  // Writes the text (a failed write is not reported, as for every control write).
  void WriteINI() override;

 protected:
  virtual std::string INIText() const = 0;
  virtual void SetINIText(const std::string& text) = 0;
};

// A list control: its lines and its selected index (-1 for none).
class TVexaListControl : public TVexaControl {
 public:
  // Also store and load the lines, not only the selection. Default false.
  bool INISaveItems() const { return save_items_; }
  void SetINISaveItems(bool on) { save_items_ = on; }

  // With INISaveItems, loads the stored lines (ReadStrings: a missing count leaves the lines);
  // then the selection becomes the Item + "Sel" key, the current one when it is missing.
  void ReadINI() override;
  // With INISaveItems, stores the lines (WriteStrings, which throws when the file cannot be
  // written); then writes the selection under Item + "Sel".
  void WriteINI() override;

 protected:
  virtual std::vector<std::string> INIItems() const = 0;
  virtual void SetINIItems(const std::vector<std::string>& items) = 0;
  virtual int INIItemIndex() const = 0;
  virtual void SetINIItemIndex(int index) = 0;

 private:
  bool save_items_ = false;
};

}  // namespace components
