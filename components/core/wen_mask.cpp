#include "components/core/wen_mask.h"

#include <cctype>
#include <charconv>

#include "components/core/date_text.h"
#include "platform/core/code_pages.h"
#include "platform/core/locale_settings.h"

namespace components {

namespace {

// ---- ANSI letters and case, in the process's ANSI code page ----

platform::CodePage AnsiPage() { return platform::AnsiCodePage(); }

bool IsLetter16(char16_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;  // Latin-1 and Latin Extended
  return c >= 0x400 && c <= 0x4FF;                             // Cyrillic
}

char16_t Upper16(char16_t c) { return static_cast<char16_t>(platform::UpperCaseLetter(c)); }

char16_t Lower16(char16_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  switch (c) {
    case 0x178:
      return 0xFF;
    case 0x152:
      return 0x153;
    case 0x160:
      return 0x161;
    case 0x17D:
      return 0x17E;
    case 0x490:
      return 0x491;
    default:
      return c;
  }
}

bool IsLetter(char c) {
  return IsLetter16(platform::CodePageChar(AnsiPage(), static_cast<unsigned char>(c)));
}

char MapCase(char c, char16_t (*map)(char16_t)) {
  const platform::CodePage page = AnsiPage();
  const auto b = platform::CodePageByte(page, map(platform::CodePageChar(page, c)));
  return b ? static_cast<char>(*b) : c;
}

char UpperChar(char c) { return MapCase(c, Upper16); }
char LowerChar(char c) { return MapCase(c, Lower16); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int FunctionOf(char code) {
  switch (code) {
    case '!':
      return kFnUpper;
    case 'C':
      return kFnLower;
    case 'A':
      return kFnAlphaUpper;
    case 'a':
      return kFnAlpha;
    case 'c':
      return kFnAlphaUpper2;
    case 'E':
      return kFnCaretEnd;
    case 'H':
      return kFnCaretHome;
    case 'K':
      return kFnK;
    case 'M':
      return kFnChoice;
    case 'D':
      return kFnDate;
    case 'T':
      return kFnTime;
    case 'R':
      return kFnRequired;
    case 'Z':
      return kFnZero;
    default:
      return kFnNone;
  }
}

std::string TrimBlanks(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

// ---- The mask ----

void TWenMask::SetEditMask(const std::string& mask) {
  if (mask != edit_mask_) ApplyMask(mask, max_length_);
}

void TWenMask::SetEditMaskStyle(TWenMaskStyle style) {
  if (style == style_) return;
  SetEditMask(std::string());
  style_ = style;
  function_ = kFnNone;
}

std::string TWenMask::EditMaskUserSet() const {
  std::string chars;
  for (int c = 1; c < 256; ++c) {
    if (user_set_[c]) chars += static_cast<char>(c);
  }
  return chars;
}

void TWenMask::SetEditMaskUserSet(const std::string& chars) {
  user_set_.reset();
  for (char c : chars) {
    if (c != 0) user_set_.set(static_cast<unsigned char>(c));
  }
  // "^" turns between literal and editable: lay the value out again.
  if (masked_) ApplyMask(edit_mask_, max_length_);
}

void TWenMask::SetMaxLength(int length) {
  if (length < 0) length = 0;
  if (masked_ && no_template_) {
    ApplyMask(edit_mask_, length);
  } else if (!masked_) {
    max_length_ = length;
  }
}

void TWenMask::ApplyMask(const std::string& mask, int max_length) {
  const std::string value = GetText();
  edit_mask_ = mask;
  picture_ = mask;
  has_code_ = false;
  no_template_ = false;
  function_ = kFnNone;
  choices_.clear();
  choice_index_ = 0;
  if (style_ == dBaseStyle && mask.size() >= 2 && mask[0] == '@') {
    has_code_ = true;
    function_ = FunctionOf(mask[1]);
    size_t k = 2;
    while (k < picture_.size() && picture_[k] == ' ') ++k;
    picture_.erase(2, k - 2);
  }
  const std::string cleaned = picture_;
  const bool without_template = has_code_ && (picture_.size() == 2 || picture_[2] == ';');
  if (function_ != kFnNone) {
    max_length_ = max_length;
    if (function_ == kFnDate && without_template) {
      picture_.insert(2, "99/99/99");
    } else if (function_ == kFnTime && without_template) {
      picture_.insert(2, "99:99:99");
    } else if (function_ == kFnChoice) {
      std::string rest = TrimBlanks(mask).substr(2);
      if (rest.empty() || rest == ";") {
        function_ = kFnNone;
      } else {
        if (rest.back() != ';') rest += ';';
        size_t start = 0;
        for (size_t semi = rest.find(';'); semi != std::string::npos;
             start = semi + 1, semi = rest.find(';', start)) {
          choices_.push_back(rest.substr(start, semi - start));
        }
        max_length_ = 0;
        for (const std::string& choice : choices_) {
          max_length_ = std::max(max_length_, static_cast<int>(choice.size()));
        }
      }
    } else if (without_template) {
      no_template_ = true;
      if (max_length_ < 1 || max_length_ > 255) max_length_ = 0;
      picture_.insert(2, std::string(max_length_ ? max_length_ : 255, 'X'));
    }
  }

  masked_ = !mask.empty();
  positions_.clear();
  reverse_ = false;
  if (function_ == kFnChoice) {
    mask_length_ = max_length_;
    save_ = false;
    blank_ = '_';
    positions_.assign(mask_length_, TPosition{'X', TMaskCharType::Optional, false, false});
    for (size_t i = 0; i < choices_.size(); ++i) {
      if (choices_[i] == value) {
        choice_index_ = static_cast<int>(i);
        break;
      }
    }
    SetTextFromOutside(choices_[choice_index_]);
  } else {
    if (masked_) BuildPositions();
    mask_length_ = static_cast<int>(positions_.size());
    save_ = PictureSave();
    blank_ = PictureBlank();
    SetTextFromOutside(Formatted(value));
  }
  max_length_ = masked_ && mask_length_ >= 1 ? mask_length_ : 0;
  if (masked_ && host_ && host_->Focused()) SetCursor(0);

  // A numeric picture: only '#', '.', '0' and '9' up to the first ';', at most one '.', at
  // least two other characters.
  numeric_ = decimal_ = false;
  if (masked_ && (function_ == kFnNone || function_ == kFnZero)) {
    std::string pic = function_ == kFnZero ? cleaned.substr(2) : cleaned;
    pic = pic.substr(0, pic.find(';'));
    int dots = 0, others = 0;
    bool only_numeric = true;
    for (char c : pic) {
      if (c == '.') {
        ++dots;
      } else if (c == '#' || c == '0' || c == '9') {
        ++others;
      } else {
        only_numeric = false;
      }
    }
    if (only_numeric && dots <= 1 && others >= 2) {
      numeric_ = true;
      decimal_ = dots == 1;
    }
  }
}

TMaskCharType TWenMask::TypeAt(int i) const {
  const std::string& m = picture_;
  const int n = static_cast<int>(m.size());
  if (i < 0 || i >= n) return TMaskCharType::None;
  if (has_code_ && i < 2) return TMaskCharType::Directive;
  const int lo = has_code_ ? 2 : 0;
  const char c = m[i];
  const bool escaped = i - 1 >= lo && m[i - 1] == '\\' && !(i - 2 >= lo && m[i - 2] == '\\');
  if (escaped) return TMaskCharType::Literal;
  if (n >= 4 && i >= n - 4) {
    if (c == ';') return TMaskCharType::FieldSeparator;
    if (i - 1 >= n - 4 && m[i - 1] == ';' && !(i - 2 >= lo && m[i - 2] == '\\')) {
      return TMaskCharType::Field;
    }
  }
  if (c == '/' || c == ':' || c == '.') return TMaskCharType::IntlLiteral;
  if (style_ == MorvelStyle) {
    switch (c) {
      case '!':
      case '>':
      case '<':
      case '\\':
        return TMaskCharType::Directive;
      case 'L':
      case 'A':
      case 'C':
      case '0':
        return TMaskCharType::Required;
      case 'l':
      case 'a':
      case 'c':
      case '9':
      case '#':
        return TMaskCharType::Optional;
      default:
        return TMaskCharType::Literal;
    }
  }
  switch (c) {
    case '\\':
      return TMaskCharType::Directive;
    case '0':
      return TMaskCharType::Required;
    case '9':
    case '#':
    case 'A':
    case 'a':
    case 'C':
    case 'c':
    case 'L':
    case 'Y':
    case 'X':
    case 'x':
    case '!':
      return TMaskCharType::Optional;
    case '^':
      return user_set_.any() ? TMaskCharType::Optional : TMaskCharType::Literal;
    default:
      return TMaskCharType::Literal;
  }
}

void TWenMask::BuildPositions() {
  bool upper = false, lower = false;
  for (int i = 0; i < static_cast<int>(picture_.size()); ++i) {
    const TMaskCharType type = TypeAt(i);
    const char c = picture_[i];
    switch (type) {
      case TMaskCharType::Directive:
        if (style_ != MorvelStyle) break;
        if (c == '!') reverse_ = true;
        if (c == '>') {
          lower = false;
          upper = !(i > 0 && picture_[i - 1] == '<' && TypeAt(i - 1) == TMaskCharType::Directive);
        } else if (c == '<') {
          upper = false;
          lower = true;
        }
        break;
      case TMaskCharType::Literal:
      case TMaskCharType::IntlLiteral:
      case TMaskCharType::Required:
      case TMaskCharType::Optional:
        positions_.push_back({c, type, upper, lower});
        break;
      default:
        break;
    }
  }
}

bool TWenMask::PictureSave() const {
  const int n = static_cast<int>(picture_.size());
  if (n < 4) return true;
  int sep1 = -1, sep2 = -1;
  for (int i = n - 1; i >= n - 4 && sep2 < 0; --i) {
    if (TypeAt(i) != TMaskCharType::FieldSeparator) continue;
    (sep1 < 0 ? sep1 : sep2) = i;
  }
  if (sep2 < 0) sep2 = sep1;
  if (sep2 >= 0 && sep2 != n - 1) return picture_[sep2 + 1] != '0';
  return true;
}

char TWenMask::PictureBlank() const {
  const int n = static_cast<int>(picture_.size());
  if (n >= 4 && TypeAt(n - 2) == TMaskCharType::FieldSeparator &&
      (TypeAt(n - 3) == TMaskCharType::FieldSeparator ||
       TypeAt(n - 4) == TMaskCharType::FieldSeparator)) {
    return picture_[n - 1];
  }
  return '_';
}

TMaskCharType TWenMask::PositionType(int pos) const {
  if (pos < 0 || pos >= static_cast<int>(positions_.size())) return TMaskCharType::None;
  return positions_[pos].Type;
}

bool TWenMask::IsLiteral(int pos) const {
  const TMaskCharType type = PositionType(pos);
  return type == TMaskCharType::Literal || type == TMaskCharType::IntlLiteral;
}

bool TWenMask::Editable(int pos) const {
  const TMaskCharType type = PositionType(pos);
  return type == TMaskCharType::Required || type == TMaskCharType::Optional;
}

char TWenMask::LiteralAt(int pos) const {
  const TPosition& p = positions_[pos];
  if (p.Type != TMaskCharType::IntlLiteral) return p.MaskChar;
  const platform::LocaleSettings& locale = platform::Locale();
  switch (p.MaskChar) {
    case '/':
      return locale.DateSeparator;
    case ':':
      return locale.TimeSeparator;
    default:
      return locale.DecimalSeparator;
  }
}

// ---- Formatting ----

std::string TWenMask::FormatValue(const std::string& value, char blank) const {
  std::string result = value;
  const int count = static_cast<int>(positions_.size());
  if (!reverse_) {
    size_t at = 0;
    for (int pos = 0; pos < count; ++pos) {
      if (IsLiteral(pos)) {
        result.insert(at, 1, LiteralAt(pos));
      } else if (at >= result.size()) {
        result += blank;
      }
      ++at;
    }
  } else {
    size_t at = result.size();  // the characters still to be placed lie before `at`
    for (int pos = count - 1; pos >= 0; --pos) {
      if (IsLiteral(pos)) {
        result.insert(at, 1, LiteralAt(pos));
      } else if (at == 0) {
        result.insert(result.begin(), blank);
      } else {
        --at;
      }
    }
  }
  return result;
}

std::string TWenMask::PadLiterals(const std::string& value, char blank) const {
  std::string result;
  size_t from = 0;
  size_t run_positions = 0;
  auto emit_run = [&](std::string run) {
    if (run.size() < run_positions) {
      run.insert(reverse_ ? 0 : run.size(), run_positions - run.size(), blank);
    } else if (run.size() > run_positions) {
      run.erase(reverse_ ? 0 : run_positions, run.size() - run_positions);
    }
    result += run;
    run_positions = 0;
  };
  for (int pos = 0; pos < static_cast<int>(positions_.size()); ++pos) {
    if (!IsLiteral(pos)) {
      ++run_positions;
      continue;
    }
    const char literal = LiteralAt(pos);
    const size_t found = value.find(literal, from);
    if (found == std::string::npos) {
      emit_run(value.substr(std::min(from, value.size())));
      from = value.size();
    } else {
      emit_run(value.substr(from, found - from));
      from = found + 1;
    }
    result += literal;
  }
  emit_run(value.substr(std::min(from, value.size())));
  return result;
}

std::string TWenMask::Formatted(const std::string& value) {
  if (!masked_) return value;
  if (function_ == kFnChoice) {
    for (size_t i = 0; i < choices_.size(); ++i) {
      if (choices_[i] == value) choice_index_ = static_cast<int>(i);
    }
    return value;
  }
  if (!save_) return FormatValue(value, blank_);
  std::string text = PadLiterals(value, blank_);
  for (int pos = 0; pos < static_cast<int>(text.size()); ++pos) {
    if (text[pos] == ' ' && Editable(pos)) text[pos] = blank_;
  }
  return text;
}

// ---- Text ----

void TWenMask::SetEditText(const std::string& text) {
  if (text != text_) {
    text_ = text;
    SetSelection(anchor_, caret_);
  }
  CheckCursor();
}

std::string TWenMask::GetText() const {
  if (!masked_ || function_ == kFnChoice) return text_;
  std::string value;
  for (int i = 0; i < static_cast<int>(text_.size()); ++i) {
    if (!IsLiteral(i)) value += text_[i];
  }
  if (reverse_) {
    size_t first = 0;
    while (first < value.size() && IsBlankChar(value[first])) ++first;
    value.erase(0, first);
  } else {
    size_t end = value.size();
    while (end > 0 && IsBlankChar(value[end - 1])) --end;
    value.erase(end);
  }
  if (blank_ != ' ') {
    for (char& c : value) {
      if (c == blank_) c = ' ';
    }
  }
  if (save_) value = FormatValue(value, ' ');
  return value;
}

void TWenMask::SetText(const std::string& value) { SetTextFromOutside(Formatted(value)); }

void TWenMask::SetTextFromOutside(const std::string& text) {
  text_ = text;
  old_value_ = text;
  modified_ = false;
  anchor_ = caret_ = 0;
  if (masked_) {
    const int next = NextEditPos(0);
    if (next != 0) SetCursor(next);
  }
}

// ---- Caret and selection ----

std::string TWenMask::SelectedText() const { return text_.substr(SelStart(), SelLength()); }

void TWenMask::SetSelection(int anchor, int caret) {
  const int size = static_cast<int>(text_.size());
  anchor_ = std::clamp(anchor, 0, size);
  caret_ = std::clamp(caret, 0, size);
}

void TWenMask::SetCursor(int pos) {
  const int end = std::min(mask_length_, static_cast<int>(text_.size()));
  pos = std::clamp(pos, 0, std::max(end, 0));
  caret_ = pos;
  anchor_ = pos < end ? pos + 1 : pos;
}

void TWenMask::CheckCursor() {
  if (masked_ && anchor_ == caret_) SetCursor(caret_);
}

int TWenMask::NextEditPos(int pos) const {
  while (pos < mask_length_ && IsLiteral(pos)) ++pos;
  return pos;
}

int TWenMask::PriorEditPos(int pos) const {
  while (pos >= 0 && IsLiteral(pos)) --pos;
  return pos < 0 ? NextEditPos(0) : pos;
}

void TWenMask::CursorInc(int pos) {
  int next = NextEditPos(pos + 1);
  if (IsLiteral(next)) next = pos;
  SetCursor(next);
}

void TWenMask::CursorDec(int pos) { SetCursor(PriorEditPos(pos - 1)); }

int TWenMask::EndPos() const {
  for (int i = std::min(mask_length_, static_cast<int>(text_.size())) - 1; i >= 0; --i) {
    if (Editable(i) && !IsBlankChar(text_[i])) return i + 1;
  }
  return 0;
}

// ---- Input ----

bool TWenMask::CanModify() {
  if (host_ && host_->ReadOnly()) return false;
  return !host_ || host_->EditCanModify();
}

bool TWenMask::FunctionRule(char* ch) const {
  switch (function_) {
    case kFnUpper:
      *ch = UpperChar(*ch);
      return true;
    case kFnLower:
      *ch = LowerChar(*ch);
      return true;
    case kFnAlphaUpper:
    case kFnAlphaUpper2:
      if (*ch != ' ' && !IsLetter(*ch)) return false;
      *ch = UpperChar(*ch);
      return true;
    case kFnAlpha:
      return *ch == ' ' || IsLetter(*ch);
    default:
      return true;
  }
}

bool TWenMask::CheckChar(char* ch, int pos) const {
  if (pos < 0 || pos >= static_cast<int>(positions_.size())) return false;
  const TPosition& p = positions_[pos];
  if (IsLiteral(pos)) {
    *ch = LiteralAt(pos);
    return true;
  }
  const unsigned char byte = static_cast<unsigned char>(*ch);
  if (byte < 32 || byte == 127) return false;
  if (style_ == MorvelStyle) {
    auto by_directive = [&] {
      if (IsLetter(*ch)) *ch = p.Upper ? UpperChar(*ch) : p.Lower ? LowerChar(*ch) : *ch;
    };
    switch (p.MaskChar) {
      case '0':
      case '9':
        return IsDigit(*ch);
      case '#':
        return IsDigit(*ch) || *ch == ' ' || *ch == '+' || *ch == '-';
      case 'L':
      case 'l':
        if (!IsLetter(*ch)) return false;
        by_directive();
        return true;
      case 'A':
      case 'a':
        if (!IsLetter(*ch) && !IsDigit(*ch)) return false;
        by_directive();
        return true;
      case 'C':
      case 'c':
        by_directive();
        return true;
      default:
        return false;
    }
  }
  if (!FunctionRule(ch)) return false;
  const char c = *ch;
  switch (p.MaskChar) {
    case '9':
      return IsDigit(c) || c == ' ';
    case '#':
      return IsDigit(c) || c == ' ' || c == '+' || c == '-' ||
             (c == platform::Locale().DecimalSeparator && !(numeric_ && decimal_));
    case '0':
      return IsDigit(c);
    case 'A':
      if (c != ' ' && !IsLetter(c)) return false;
      *ch = UpperChar(c);
      return true;
    case 'a':
      return c == ' ' || IsLetter(c);
    case 'C':
    case '!':
      *ch = UpperChar(c);
      return true;
    case 'c':
      if (c != ' ' && !IsLetter(c)) return false;
      *ch = LowerChar(c);
      return true;
    case 'L':
      return c == 'F' || c == 'N' || c == 'T' || c == 'Y' || c == 'f' || c == 'n' || c == 't' ||
             c == 'y';
    case 'Y':
      return c == 'Y' || c == 'N' || c == 'y' || c == 'n';
    case 'X':
    case 'x':
      return true;
    case '^':
      return user_set_[byte];
    default:
      return false;
  }
}

bool TWenMask::KeyPress(int ch) {
  if (!masked_ || function_ == kFnChoice) return false;
  if (!CanModify()) return false;
  const std::string before = text_;
  if (SelLength() > 1) {
    const int start = SelStart();
    BlankRange(start, SelEnd());
    modified_ = true;
    SetCursor(start);
  }
  int pos = SelStart();
  if (IsLiteral(pos)) {
    pos = NextEditPos(pos);
    SetCursor(pos);
  }
  char c = static_cast<char>(ch);
  if (ch >= 0 && pos < static_cast<int>(text_.size()) && CheckChar(&c, pos)) {
    text_[pos] = c;
    modified_ = true;
    CursorInc(pos);
    return true;
  }
  if (ch >= 0 && Editable(pos)) {
    // A character that is the next literal moves the caret onto it.
    for (int q = pos + 1; q < mask_length_; ++q) {
      if (!IsLiteral(q)) continue;
      if (LiteralAt(q) == c) {
        SetCursor(q);
        return text_ != before;
      }
      break;
    }
  }
  Beep();
  return text_ != before;
}

bool TWenMask::KeyDown(TMaskKey key, bool shift, bool ctrl) {
  if (!masked_) return false;
  if (function_ == kFnChoice) {
    switch (key) {
      case TMaskKey::Space:
        if (!choices_.empty() && CanModify()) {
          choice_index_ = (choice_index_ + 1) % static_cast<int>(choices_.size());
          text_ = choices_[choice_index_];
          modified_ = true;
          SetCursor(0);
        }
        return true;
      case TMaskKey::Delete:
      case TMaskKey::Backspace:
        return true;
      default:
        break;
    }
  }
  switch (key) {
    case TMaskKey::Left:
    case TMaskKey::Right:
      if (ctrl) return false;
      ArrowKey(key, shift);
      return true;
    case TMaskKey::Up:
    case TMaskKey::Down:
      return true;
    case TMaskKey::Home:
    case TMaskKey::End:
      HomeEndKey(key, shift);
      return true;
    case TMaskKey::Delete:
      if (shift || ctrl) return false;
      if (CanModify()) DeleteKeys(key);
      return true;
    case TMaskKey::Backspace:
      if (CanModify()) DeleteKeys(key);
      return true;
    default:
      return false;
  }
}

void TWenMask::ArrowKey(TMaskKey key, bool shift) {
  const int size = static_cast<int>(text_.size());
  if (shift) {
    if (anchor_ == caret_ + 1) {
      // From the one-character caret selection: grow it by one in the key's direction.
      if (key == TMaskKey::Right) {
        anchor_ = caret_;
        caret_ = std::min(caret_ + 2, size);
      } else {
        caret_ = std::max(caret_ - 1, 0);
      }
    } else {
      caret_ = std::clamp(caret_ + (key == TMaskKey::Right ? 1 : -1), 0, size);
    }
    return;
  }
  const int start = SelStart(), end = SelEnd();
  if (end - start > 1) {
    SetCursor(caret_ == end ? end - 1 : start);
  } else if (key == TMaskKey::Left) {
    CursorDec(start);
  } else if (end == start) {
    SetCursor(start);
  } else {
    CursorInc(start);
  }
}

void TWenMask::HomeEndKey(TMaskKey key, bool shift) {
  const int target = key == TMaskKey::Home ? 0 : EndPos();
  if (!shift) {
    SetCursor(target);
    return;
  }
  if (key == TMaskKey::End && anchor_ == caret_ + 1) anchor_ = caret_;
  caret_ = std::clamp(target, 0, static_cast<int>(text_.size()));
}

void TWenMask::BlankRange(int start, int end) {
  const int count = static_cast<int>(positions_.size());
  for (int i = start; i < end && i < count && i < static_cast<int>(text_.size()); ++i) {
    text_[i] = IsLiteral(i) ? LiteralAt(i) : blank_;
  }
  // Characters beyond the mask (a longer text set by code) are removed.
  if (end > count && count < static_cast<int>(text_.size())) {
    const int from = std::max(start, count);
    text_.erase(from, std::min(end, static_cast<int>(text_.size())) - from);
    SetSelection(anchor_, caret_);
  }
}

bool TWenMask::DeleteKeys(TMaskKey key) {
  int start = SelStart(), end = SelEnd();
  if (end - start <= 1 && key == TMaskKey::Backspace) {
    CursorDec(start);
    if (SelStart() == start) return false;
    start = SelStart();
    end = SelEnd();
  }
  if (end == start) {
    if (start >= std::min(mask_length_, static_cast<int>(text_.size()))) return false;
    end = start + 1;  // Delete with a bare caret takes the character after it
  }
  const std::string before = text_;
  BlankRange(start, end);
  modified_ = true;
  SetCursor(end - start == 1 ? start : NextEditPos(start));
  return text_ != before;
}

bool TWenMask::DeleteSelection() {
  if (!masked_ || function_ == kFnChoice || !CanModify()) return false;
  if (SelLength() == 0) return false;
  return DeleteKeys(TMaskKey::Delete);
}

bool TWenMask::Escape() {
  if (!masked_ || !modified_) return false;
  text_ = old_value_;
  modified_ = false;
  SetCursor(NextEditPos(0));
  return true;
}

bool TWenMask::Paste(const std::string& clip) {
  if (!masked_ || function_ == kFnChoice || !CanModify()) return false;
  const std::string before = text_;
  const int start = SelStart();
  BlankRange(start, SelEnd());
  int pos = start;
  const int end = std::min(mask_length_, static_cast<int>(text_.size()));
  for (size_t k = 0; k < clip.size() && pos < end; ++k, ++pos) {
    char c = clip[k];
    if (!CheckChar(&c, pos)) c = blank_;
    text_[pos] = c;
  }
  modified_ = true;
  SetCursor(NextEditPos(pos));
  return text_ != before;
}

void TWenMask::Enter() {
  if (masked_ && !re_enter_) {
    old_value_ = text_;
    switch (function_) {
      case kFnCaretEnd:
        SetCursor(EndPos());
        break;
      case kFnCaretHome:
        SetCursor(0);
        break;
      case kFnChoice:
        if (std::find(choices_.begin(), choices_.end(), text_) == choices_.end()) {
          SetTextFromOutside(choices_[choice_index_]);
        }
        SetCursor(0);
        break;
      case kFnZero:
        if (NumericValue(text_) == 0) SetTextFromOutside(Formatted(std::string()));
        break;
      default:
        break;
    }
  }
  re_enter_ = false;
  CheckCursor();
}

// ---- Validation ----

TWenMask::TValidation TWenMask::Validate() const {
  if (!masked_ || function_ == kFnChoice) return {};
  const int count = static_cast<int>(positions_.size());
  for (int i = 0; i < count; ++i) {
    if (positions_[i].Type != TMaskCharType::Required) continue;
    const char c = i < static_cast<int>(text_.size()) ? text_[i] : blank_;
    if (c == blank_ || (c == ' ' && positions_[i].MaskChar != 'C')) return {false, i};
  }
  if (function_ == kFnRequired) {
    int first = -1;
    bool all_blank = true;
    for (int i = 0; i < count; ++i) {
      if (!Editable(i)) continue;
      if (first < 0) first = i;
      if (i < static_cast<int>(text_.size()) && !IsBlankChar(text_[i])) all_blank = false;
    }
    if (first >= 0 && all_blank) return {false, first};
  }
  if (function_ == kFnDate || function_ == kFnTime) {
    std::string text = text_;
    if (std::none_of(text.begin(), text.end(), IsDigit)) {
      // An empty date or time passes.
      for (char& c : text) {
        if (IsBlankChar(c)) c = '1';
      }
    }
    const bool ok = function_ == kFnDate ? TextToDate(text, platform::Locale(), nullptr)
                                         : TextToTime(text, platform::Locale(), nullptr);
    if (!ok) return {false, NextEditPos(0)};
  }
  return {};
}

double TWenMask::NumericValue(const std::string& text) const {
  const char point = platform::Locale().DecimalSeparator;
  std::string s;
  for (char c : text) {
    if (c == blank_) c = ' ';
    if (c != ' ' && c != '+' && c != '-' && c != point && !IsDigit(c)) return 1;
    s += c;
  }
  s = TrimBlanks(s);
  if (s.empty()) return 0;
  size_t i = s[0] == '+' || s[0] == '-' ? 1 : 0;
  int points = 0;
  bool digits = false;
  for (size_t j = i; j < s.size(); ++j) {
    if (IsDigit(s[j])) {
      digits = true;
    } else if (s[j] == point && points == 0) {
      ++points;
      s[j] = '.';
    } else {
      return 1;  // a second sign or separator, or a blank inside
    }
  }
  if (!digits) return 1;
  if (s[0] == '+') s.erase(0, 1);
  double value = 1;
  std::from_chars(s.data(), s.data() + s.size(), value);
  return value;
}

}  // namespace components
