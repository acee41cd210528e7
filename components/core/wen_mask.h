// The masked edit's model: the edit mask in its two languages, the edit text it formats, the
// caret and selection over it, and every way the user changes the text (typing, deleting,
// pasting, cutting, the multiple-choice steps), with no toolkit behind it. The Qt control
// (wen_mask_edit.h) mirrors the model's text and selection and feeds it the user's input.
//
// Texts are ANSI bytes, one byte per character position. A mask is a picture, optionally
// followed by fields in its last four characters: picture;save;blank. Positions of the edit
// text are literal (shown as they stand; '/', ':' and '.' as the locale's date, time and
// decimal separators) or editable (required or optional, accepting the characters their
// picture character allows).
#pragma once

#include <algorithm>
#include <bitset>
#include <string>
#include <vector>

namespace components {

enum TWenMaskStyle { MorvelStyle, dBaseStyle };

// The dBASE "@" function codes.
enum TWenMaskFunction : int {
  kFnNone = 0,
  kFnUpper = 1,        // @!
  kFnLower = 2,        // @C
  kFnAlphaUpper = 3,   // @A
  kFnAlpha = 4,        // @a
  kFnAlphaUpper2 = 5,  // @c
  kFnCaretEnd = 6,     // @E
  kFnCaretHome = 7,    // @H
  kFnK = 8,            // @K
  kFnChoice = 9,       // @M
  kFnDate = 10,        // @D
  kFnTime = 11,        // @T
  kFnRequired = 12,    // @R
  kFnZero = 13,        // @Z
};

enum class TMaskCharType {
  None,
  Literal,
  IntlLiteral,
  Directive,
  Required,
  Optional,
  FieldSeparator,
  Field,
};

// What the model asks of the control it sits in.
class TWenMaskHost {
 public:
  virtual ~TWenMaskHost() = default;
  virtual bool ReadOnly() const = 0;
  // Asked right before the user's input changes the text; false refuses the change.
  virtual bool EditCanModify() = 0;
  virtual bool Focused() const = 0;
  virtual void Beep() = 0;
};

// The keys the model handles itself.
enum class TMaskKey { Left, Right, Up, Down, Home, End, Delete, Backspace, Space, Other };

class TWenMask {
 public:
  // `host` may be null: then the text is writable, the control unfocused, and beeps are lost.
  explicit TWenMask(TWenMaskHost* host = nullptr) : host_(host) {}
  TWenMask(const TWenMask&) = delete;
  TWenMask& operator=(const TWenMask&) = delete;

  // ---- The mask ----
  const std::string& EditMask() const { return edit_mask_; }
  // Writing a different mask applies it: the current value is formatted into the new mask.
  void SetEditMask(const std::string& mask);
  TWenMaskStyle EditMaskStyle() const { return style_; }
  // A different style clears the mask first.
  void SetEditMaskStyle(TWenMaskStyle style);
  // The characters allowed at "^" positions of a dBASE picture, in ascending code order.
  std::string EditMaskUserSet() const;
  void SetEditMaskUserSet(const std::string& chars);
  int MaxLength() const { return max_length_; }
  // Re-applies a dBASE function mask without template with the new length; any other mask
  // keeps the mask length; without a mask the length is stored.
  void SetMaxLength(int length);

  bool IsMasked() const { return masked_; }
  char MaskBlank() const { return blank_; }
  int MaskLength() const { return mask_length_; }
  bool MaskSave() const { return save_; }
  int FunctionCode() const { return function_; }
  const std::vector<std::string>& Choices() const { return choices_; }
  int ChoiceIndex() const { return choice_index_; }
  bool Numeric() const { return numeric_; }
  bool DecimalFlag() const { return decimal_; }
  // The right-aligning '!' directive of the class library's language is in the mask.
  bool Reverse() const { return reverse_; }
  // The type of the text position `pos` (None beyond the mask).
  TMaskCharType PositionType(int pos) const;
  bool IsLiteral(int pos) const;

  // ---- Text ----
  // The edit text as shown, literals and blanks included.
  const std::string& EditText() const { return text_; }
  // Sets the edit text as it stands (when it differs), then re-places the caret.
  void SetEditText(const std::string& text);
  // The value: without a mask the edit text; with one, the literal positions removed (unless
  // literals are saved), blanks at the free end trimmed and the others turned into spaces.
  std::string GetText() const;
  // Text written from outside: formatted through the mask, the old value taken from it, the
  // modified flag cleared and the caret moved off a literal.
  void SetText(const std::string& value);
  // Mirrors the text of an unmasked edit, which the control edits itself.
  void SetPlainText(const std::string& text) { text_ = text; }

  // `value` (without literals) formatted into the mask, `blank` filling missing positions.
  std::string FormatValue(const std::string& value, char blank) const;
  // `value` (holding its literals) fitted to the mask: each run between literals padded or
  // cut to its positions.
  std::string PadLiterals(const std::string& value, char blank) const;

  const std::string& OldValue() const { return old_value_; }
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  bool ReEnter() const { return re_enter_; }
  void SetReEnter(bool re_enter) { re_enter_ = re_enter; }
  bool DataBound() const { return data_bound_; }
  void SetDataBound() { data_bound_ = true; }

  // ---- Caret and selection (positions 0 .. text length) ----
  int Anchor() const { return anchor_; }
  int Caret() const { return caret_; }
  int SelStart() const { return std::min(anchor_, caret_); }
  int SelEnd() const { return std::max(anchor_, caret_); }
  int SelLength() const { return SelEnd() - SelStart(); }
  std::string SelectedText() const;
  // Takes a selection made by the control (mouse, word moves); clamped to the text.
  void SetSelection(int anchor, int caret);
  // The caret goes to `pos` (clamped to 0 .. mask length); unless that is the end, the
  // character there is selected with the caret at its start, so that typing replaces it.
  void SetCursor(int pos);
  // With a mask and nothing selected, re-places the caret by SetCursor.
  void CheckCursor();

  // ---- The user's input ----
  // A typed character (an ANSI byte 32..255; -1 for a character ANSI cannot hold). Returns
  // true when the text changed.
  bool KeyPress(int ch);
  // A key with its own meaning: true when the model handled it (the control then does nothing
  // more), false when the control's default handling should follow (then CheckCursor).
  bool KeyDown(TMaskKey key, bool shift, bool ctrl);
  // Escape: with a modified text, restores the old value and clears the modified flag; true
  // when it did.
  bool Escape();
  // The clipboard text replaces the selection, character by character from its start; an
  // invalid character leaves a blank. True when the text changed.
  bool Paste(const std::string& clip);
  // Deletes the selection as the Delete key does (blanks; literals kept). True when the text
  // changed. The control copies the selection first.
  bool DeleteSelection();
  // The control gained the focus.
  void Enter();

  // ---- Validation ----
  struct TValidation {
    bool Ok = true;
    int Pos = 0;  // the first failing position
  };
  // Checks the edit text against the mask (required positions, @R, @D and @T dates and times
  // under the locale); the caller checks only masked, modified texts.
  TValidation Validate() const;

  // The numeric value @Z tests for zero: blanks stand for the mask blank; only blanks, signs,
  // digits and the decimal separator are allowed, one sign first, one separator, no blank
  // inside; an empty value is 0; a value without digits or with any other character is 1.
  double NumericValue(const std::string& text) const;

 private:
  struct TPosition {
    char MaskChar;
    TMaskCharType Type;
    bool Upper, Lower;  // case by directive (class library's language)
  };

  void ApplyMask(const std::string& mask, int max_length);
  void BuildPositions();
  TMaskCharType TypeAt(int i) const;  // of picture_[i]
  bool PictureSave() const;
  char PictureBlank() const;
  // A value as the text write lays it into the mask.
  std::string Formatted(const std::string& value);
  char LiteralAt(int pos) const;
  bool Editable(int pos) const;
  bool IsBlankChar(char c) const { return c == blank_ || c == ' '; }
  // Checks `ch` for position `pos`, converting its case; literal positions take their literal.
  bool CheckChar(char* ch, int pos) const;
  bool FunctionRule(char* ch) const;
  int NextEditPos(int pos) const;
  int PriorEditPos(int pos) const;
  void CursorInc(int pos);
  void CursorDec(int pos);
  int EndPos() const;  // just after the last editable position holding a non-blank
  void ArrowKey(TMaskKey key, bool shift);
  void HomeEndKey(TMaskKey key, bool shift);
  bool DeleteKeys(TMaskKey key);
  void BlankRange(int start, int end);
  bool CanModify();
  void Beep() {
    if (host_) host_->Beep();
  }
  void SetTextFromOutside(const std::string& text);

  TWenMaskHost* host_;
  std::string edit_mask_;  // as written
  std::string picture_;    // as applied: blanks after the code removed, default templates
  TWenMaskStyle style_ = MorvelStyle;
  std::bitset<256> user_set_;
  int max_length_ = 0;
  bool masked_ = false;
  bool has_code_ = false;     // the picture starts with "@" and a code character
  bool no_template_ = false;  // a function without template: MaxLength positions
  int function_ = kFnNone;
  std::vector<std::string> choices_;
  int choice_index_ = 0;
  char blank_ = '_';
  int mask_length_ = 0;
  bool save_ = true;
  bool reverse_ = false;
  bool numeric_ = false;
  bool decimal_ = false;
  std::vector<TPosition> positions_;

  std::string text_;
  std::string old_value_;
  bool modified_ = false;
  bool re_enter_ = false;
  bool data_bound_ = false;
  int anchor_ = 0;
  int caret_ = 0;
};

}  // namespace components
