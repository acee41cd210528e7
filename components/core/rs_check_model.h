// The Qt-free half of the check button TrsSuperCheck: its state, the groups it forms with the
// other check buttons of its parent, what a click and the focus do to it, and where its box
// and caption go. The widget derives from TrsCheckModel, supplies its siblings and its font
// metrics, and turns the Changed and Repaint hooks into its OnChange event and a repaint.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace components {

class TrsCheckModel {
 public:
  using TColor = uint32_t;  // $00BBGGRR

  enum TCheckStyle { csSquareX, csSquareCheck, csRound };
  enum TLocator { loNone, loFill };
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };

  static constexpr int kBoxSize = 13;

  // Where the parts of the control go for one paint.
  struct TCheckLayout {
    int Width;  // the control's size, changed by AutoSizeText
    int Height;
    int BoxX;  // the square or circle: BoxSize x BoxSize at (BoxX, BoxY)
    int BoxY;
    int BoxSize;
    int TextLeft;  // the caption's rectangle, vertically centred, single line
    int TextTop;
    int TextRight;
    int TextBottom;
    bool TextRightAligned;  // right-aligned (box at the right) instead of left-aligned
  };

  // The defaults of a new control; the face colour is saved at once, so a control made in
  // code and never loaded still restores its colour after a focus fill.
  TrsCheckModel();
  virtual ~TrsCheckModel() = default;

  TrsCheckModel(const TrsCheckModel&) = delete;
  TrsCheckModel& operator=(const TrsCheckModel&) = delete;

  // Saves ColorFace as the colour the face returns to when the focus leaves.
  void Loaded();

  bool Checked() const { return checked_; }
  // Stores the state. True first unchecks every checked sibling of the same positive GroupID
  // (each reports its own change); the change is reported on every store, changed or not.
  void SetChecked(bool value);

  int16_t GroupID() const { return group_id_; }
  // Stores the group; a checked control re-applies Checked so the rest of its new group clears.
  void SetGroupID(int16_t value);

  // The state part of a click: an unchecked control becomes checked; a checked one becomes
  // unchecked only with GroupCanUnChk. The widget takes the focus before and fires OnClick
  // after.
  void ClickToggle();
  // Focus received (before OnEnter): loFill shows LocColor; AutoCheck checks the control.
  void Enter();
  // Focus lost (after OnExit): loFill brings back the saved face colour.
  void Exit();

  // The layout for a control of width x height whose caption (accelerator markers removed)
  // measures text_width x text_height; has_caption is false for an empty caption.
  TCheckLayout Layout(int width, int height, int text_width, int text_height,
                      bool has_caption) const;

  TLocator Locator() const { return locator_; }
  void SetLocator(TLocator value);
  TColor LocColor() const { return loc_color_; }
  void SetLocColor(TColor value);
  bool AutoSizeText() const { return auto_size_text_; }
  void SetAutoSizeText(bool value);
  bool AutoSizeBox() const { return auto_size_box_; }
  void SetAutoSizeBox(bool value);
  bool AutoCheck() const { return auto_check_; }
  void SetAutoCheck(bool value);
  TCheckStyle CheckStyle() const { return check_style_; }
  void SetCheckStyle(TCheckStyle value);
  bool GroupCanUnChk() const { return group_can_unchk_; }
  void SetGroupCanUnChk(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TColor ColorFace() const { return color_face_; }
  void SetColorFace(TColor value);
  TColor ColorCheck() const { return color_check_; }
  void SetColorCheck(TColor value);
  TColor SavedFace() const { return saved_face_; }

 protected:
  // The other check controls of the same parent (this one may be among them); none without a
  // parent.
  virtual std::vector<TrsCheckModel*> GroupSiblings() = 0;
  // Called on every store of Checked: the widget fires OnChange.
  virtual void Changed() {}
  // Called after every property change.
  virtual void Repaint() {}

 private:
  TLocator locator_ = loNone;
  TColor loc_color_ = 0xFFFF00;
  TColor saved_face_ = 0xFFFFFF;
  bool auto_size_text_ = true;
  bool auto_size_box_ = false;
  bool auto_check_ = false;
  bool checked_ = false;
  TCheckStyle check_style_ = csSquareX;
  int16_t group_id_ = 0;
  bool group_can_unchk_ = true;
  TAlignment alignment_ = taRightJustify;
  TColor color_face_ = 0xFFFFFF;
  TColor color_check_ = 0x000000;
};

// A caption with its accelerator markers removed: each single "&" dropped, "&&" made one "&".
struct TAccelCaption {
  std::string Text;
  int AccelIndex;  // the underlined character in Text; -1 when there is none
};
TAccelCaption StripAccelerator(std::string_view caption);

// Whether ch (either case for letters) is the caption's accelerator character.
bool IsAccel(char ch, std::string_view caption);

}  // namespace components
