#include "components/core/rs_check_model.h"

namespace components {

TrsCheckModel::TrsCheckModel() { saved_face_ = color_face_; }

void TrsCheckModel::Loaded() { saved_face_ = color_face_; }

void TrsCheckModel::SetChecked(bool value) {
  if (value && group_id_ > 0) {
    for (TrsCheckModel* other : GroupSiblings()) {
      if (other != this && other != nullptr && other->group_id_ == group_id_ && other->checked_) {
        other->SetChecked(false);
      }
    }
  }
  checked_ = value;
  Changed();
  Repaint();
}

void TrsCheckModel::SetGroupID(int16_t value) {
  group_id_ = value;
  if (checked_) SetChecked(true);
  Repaint();
}

void TrsCheckModel::ClickToggle() {
  if (!checked_) {
    SetChecked(true);
  } else if (group_can_unchk_) {
    SetChecked(false);
  }
}

void TrsCheckModel::Enter() {
  if (locator_ == loFill) color_face_ = loc_color_;
  if (auto_check_) SetChecked(true);
  Repaint();
}

void TrsCheckModel::Exit() {
  if (locator_ == loFill) color_face_ = saved_face_;
  Repaint();
}

TrsCheckModel::TCheckLayout TrsCheckModel::Layout(int width, int height, int text_width,
                                                  int text_height, bool has_caption) const {
  TCheckLayout l{};
  if (auto_size_text_ && has_caption) {
    height = text_height + 2;
    width = text_width + text_height + 6;
  }
  l.Width = width;
  l.Height = height;
  const int b = auto_size_box_ ? height - 2 : kBoxSize;
  l.TextRightAligned = alignment_ != taRightJustify;
  l.TextLeft = l.TextRightAligned ? 0 : b + 4;
  l.TextRight = l.TextRightAligned ? width - b - 4 : width;
  l.TextTop = 1;
  l.TextBottom = 1 + text_height;
  if (auto_size_box_) {
    l.BoxSize = height;
    l.BoxY = check_style_ == csRound ? 1 : 0;
  } else {
    l.BoxSize = kBoxSize;
    l.BoxY = (height - kBoxSize) / 2;
  }
  l.BoxX = l.TextRightAligned ? width - l.BoxSize : 0;
  return l;
}

void TrsCheckModel::SetLocator(TLocator value) {
  locator_ = value;
  Repaint();
}
void TrsCheckModel::SetLocColor(TColor value) {
  loc_color_ = value;
  Repaint();
}
void TrsCheckModel::SetAutoSizeText(bool value) {
  auto_size_text_ = value;
  Repaint();
}
void TrsCheckModel::SetAutoSizeBox(bool value) {
  auto_size_box_ = value;
  Repaint();
}
void TrsCheckModel::SetAutoCheck(bool value) {
  auto_check_ = value;
  Repaint();
}
void TrsCheckModel::SetCheckStyle(TCheckStyle value) {
  check_style_ = value;
  Repaint();
}
void TrsCheckModel::SetGroupCanUnChk(bool value) {
  group_can_unchk_ = value;
  Repaint();
}
void TrsCheckModel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Repaint();
}
void TrsCheckModel::SetColorFace(TColor value) {
  color_face_ = value;
  Repaint();
}
void TrsCheckModel::SetColorCheck(TColor value) {
  color_check_ = value;
  Repaint();
}

TAccelCaption StripAccelerator(std::string_view caption) {
  TAccelCaption out{{}, -1};
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      out.Text += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
      out.Text += '&';
      ++i;
    } else if (i + 1 < caption.size() && out.AccelIndex < 0) {
      out.AccelIndex = static_cast<int>(out.Text.size());
    }
  }
  return out;
}

bool IsAccel(char ch, std::string_view caption) {
  const TAccelCaption c = StripAccelerator(caption);
  if (c.AccelIndex < 0) return false;
  auto upper = [](char x) { return x >= 'a' && x <= 'z' ? static_cast<char>(x - 32) : x; };
  return upper(c.Text[static_cast<std::size_t>(c.AccelIndex)]) == upper(ch);
}

}  // namespace components
