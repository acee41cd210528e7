// TrsSuperCheck: a check box that draws itself and doubles as a radio button. Controls of the
// same parent that share a positive GroupID form a group in which at most one is checked. It
// draws a square box with a cross or a tick, or a round box with a dot, in colours of its own;
// it can size itself to its caption, fill its box while it has the focus (Locator), and check
// itself when it gets the focus (AutoCheck).
//
// The state, the groups and the layout are TrsCheckModel's (rs_check_model.h); this widget
// supplies its siblings and its font metrics, paints, and turns mouse, keys, the accelerator
// and the focus into the model's operations. The caption is ANSI text with "&" accelerator
// markers.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "components/core/rs_check_model.h"

namespace components {

class TrsSuperCheck : public QWidget, public TrsCheckModel {
 public:
  using TNotifyEvent = std::function<void(TrsSuperCheck* Sender)>;
  using TKeyPressEvent = std::function<void(TrsSuperCheck* Sender, char& Key)>;

  // 97 x 15, unchecked, csSquareX, taRightJustify, a tab stop, colour clBtnFace; the face
  // colour is saved at once (see TrsCheckModel).
  explicit TrsSuperCheck(QWidget* parent = nullptr);
  ~TrsSuperCheck() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TColor FontColor() const { return font_color_; }
  void SetFontColor(TColor value);
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool value);

  // Takes the focus when the control does not have it, applies the click to the state (an
  // unchecked control becomes checked, a checked one unchecked only with GroupCanUnChk), then
  // fires OnClick. The mouse and Space click through here.
  void Click();

  // The caption's size with its accelerator markers removed, in the control's font.
  QSize CaptionSize() const;

  TNotifyEvent OnChange;
  TNotifyEvent OnClick;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  // Gets every key press the control does not consume (Space included, Enter not).
  TKeyPressEvent OnKeyPress;

 protected:
  std::vector<TrsCheckModel*> GroupSiblings() override;
  void Changed() override;
  void Repaint() override;

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The layout for the current size, font and caption; with AutoSizeText the control takes
  // the size the layout gives.
  TCheckLayout CurrentLayout();
  void ApplyAutoSize();
  void Fire(const TNotifyEvent& event);
  void GrabAccelerator();

  std::string caption_;
  TColor color_;
  TColor font_color_;
  bool pressed_ = false;
  int shortcut_id_ = 0;
};

}  // namespace components
