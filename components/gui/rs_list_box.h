// TrsListBox: a list box of fixed-height lines drawn by the list itself, each line with a check
// flag (a check box in front of it in check-box style), "~" style codes and "^" glyph markers
// written into its text, tab stops, column clipping and a horizontal extent that fits the
// widest line. TrsListHeader is its column header, drawn with the same markup and tab stops,
// reporting clicks on its sections.
//
// The decisions (markup, tabs, flags, extent, clicks) are TrsListModel's (rs_list_model.h); this
// file draws what TrsListModel::LayoutLine computes and turns mouse and keys into the model's
// operations. Line texts are ANSI bytes; they become QString only when drawn or measured.
//
// Lines are changed through the list's own operations (AddItem, InsertItem, DeleteItem,
// ClearItems, SetItems), never through QListWidget's item functions, which the list uses to
// hold one placeholder row per line.
#pragma once

#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/core/rs_list_model.h"
#include "components/gui/control_input.h"

class QPainter;

namespace components {

class TrsListBox;

enum TBorderStyle { bsNone, bsSingle };

// The colour in which a glyph bitmap is transparent: its bottom-left pixel, $008080 (olive)
// for a bitmap without pixels.
TColor GlyphTransparentColor(const QImage& bitmap);

// Draws bitmap at (x, y) at its own size, its transparent colour replaced by background.
void DrawGlyph(QPainter& painter, int x, int y, const QImage& bitmap, const QColor& background);

// Nine glyph bitmaps, Glyph1 ... Glyph9. A slot's bitmap is made (empty) on first use; setting
// a slot copies the bitmap into it. Glyphs are set slot by slot: the list cannot be copied.
class TGlyphList {
 public:
  static constexpr int kSlots = 9;

  TGlyphList() = default;
  TGlyphList(const TGlyphList&) = delete;
  TGlyphList& operator=(const TGlyphList&) = delete;

  // The bitmap of slot (1 ... 9), made empty on first use; requires 1 <= slot <= 9.
  QImage& Glyph(int slot);
  void SetGlyph(int slot, const QImage& bitmap);
  // The bitmap of slot when it exists and has pixels; nullptr otherwise (or for a slot outside
  // 1 ... 9). Does not make the slot.
  const QImage* Drawable(int slot) const;
  // Whether the slot's bitmap exists and has pixels (what would be stored with a form).
  bool Stored(int slot) const { return Drawable(slot) != nullptr; }

 private:
  std::array<std::optional<QImage>, kSlots> slots_;
};

// A graphic control that draws itself: the base of list headers.
class TrsCustomHeader : public QWidget {
 public:
  explicit TrsCustomHeader(QWidget* parent = nullptr);
};

class TrsListHeader : public TrsCustomHeader {
 public:
  using TOnClickSection = std::function<void(TrsListHeader* Sender, int Section)>;
  using TNotifyEvent = std::function<void(TrsListHeader* Sender)>;

  // 121 x 19, opaque, colour clBtnFace, spVert separators, 3-D frame, no border.
  explicit TrsListHeader(QWidget* parent = nullptr);

  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl_3d_; }
  void SetCtl3D(bool value);
  // Stored and kept; the grooves stand at the tab positions whatever it holds.
  TrsListModel::TSepStyle Separators() const { return separators_; }
  void SetSeparators(TrsListModel::TSepStyle value);
  // ANSI text with the list's markup.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);

  // The section pressed now (1 + the index of the tab it lies left of), -1 when none.
  int PressedSection() const { return pressed_section_; }
  // The list box that drives the header; nullptr when none (or once it is gone).
  TrsListBox* ListBox() const { return list_box_; }

  TOnClickSection OnClickSection;
  TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  friend class TrsListBox;
  void SetListBox(TrsListBox* list_box);

  TBorderStyle border_style_ = bsNone;
  bool ctl_3d_ = true;
  TrsListModel::TSepStyle separators_ = TrsListModel::spVert;
  std::string caption_;
  TColor color_;
  int pressed_section_ = -1;
  QPointer<TrsListBox> list_box_;
};

class TrsListBox : public QListWidget {
 public:
  using TListStyle = TrsListModel::TListStyle;
  using TCheckStyle = TrsListModel::TCheckStyle;
  using TSepStyle = TrsListModel::TSepStyle;
  using TNotifyEvent = std::function<void(TrsListBox* Sender)>;
  // Key: the toolkit's key code (Qt::Key); a handler that sets it to 0 swallows the key.
  using TKeyEvent = std::function<void(TrsListBox* Sender, int& Key, TShiftState Shift)>;
  // Key: the ANSI character typed; a handler may change it, and 0 swallows it.
  using TKeyPressEvent = std::function<void(TrsListBox* Sender, char& Key)>;
  // X and Y in the list's client area (its viewport).
  using TMouseEvent =
      std::function<void(TrsListBox* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
  using TMouseMoveEvent = std::function<void(TrsListBox* Sender, TShiftState Shift, int X, int Y)>;

  // A list still loading: the window that makes it sets its properties and lines, then calls
  // Loaded, or leaves that to the list's first showing. Defaults: lsStandard, csSquareX,
  // Check3D, CheckMargin 20, MultiCheck, ItemHeight 16, single selection, colour clWindow, a
  // single border.
  explicit TrsListBox(QWidget* parent = nullptr);
  ~TrsListBox() override;

  // Loading is over: applies the tab stops, measures every line, clears every flag and
  // records the width as the design width (for AutosizeTabs). Runs once: a list still loading
  // when it is first shown ends loading there, and later calls do nothing.
  void Loaded();
  bool Loading() const { return model_.Loading(); }

  // ---- lines (ANSI) ----
  int Count() const { return model_.Count(); }
  const std::vector<std::string>& Items() const { return model_.Lines(); }
  // The line at index; requires 0 <= index < Count().
  const std::string& Item(int index) const { return model_.Line(index); }
  // The markers of a line count only before its markup end (the whole line by default); the
  // rest of the line is drawn as it stands.
  // Adds a line at the end (its sorted place when Sorted); returns its index.
  int AddItem(const std::string& text, std::size_t markup_end = kWholeLine);
  // Inserts a line at index (-1 or Count() appends); returns its index, -1 when index is
  // outside -1 ... Count() (nothing changes).
  int InsertItem(int index, const std::string& text, std::size_t markup_end = kWholeLine);
  // The markup end of the line at index; requires 0 <= index < Count().
  std::size_t MarkupEnd(int index) const { return model_.MarkupEnd(index); }
  // Removes the line at index; false when there is none.
  bool DeleteItem(int index);
  void ClearItems();
  // Replaces every line; every flag ends unchecked.
  void SetItems(const std::vector<std::string>& lines);
  bool Sorted() const { return model_.Sorted(); }
  void SetSorted(bool value);

  // The current line, -1 for none. Setting -1 (or an index with no line) selects none.
  int ItemIndex() const { return currentRow(); }
  void SetItemIndex(int index);
  int TopIndex() const;
  void SetTopIndex(int index);
  bool MultiSelect() const { return selectionMode() != QAbstractItemView::SingleSelection; }
  void SetMultiSelect(bool value);

  // ---- check flags ----
  // False for an index outside the flags.
  bool Checked(int index) const { return model_.GetChecked(index); }
  // Stores the flag when index is inside the flags; repaints in every case.
  void SetChecked(int index, bool value);
  void CheckAll();
  void UncheckAll();

  // ---- properties ----
  bool HorzScrollBar() const { return model_.HorzScrollBar(); }
  void SetHorzScrollBar(bool value);
  bool TabStops() const { return model_.TabStops(); }
  void SetTabStops(bool value);
  const std::vector<std::string>& TabList() const { return model_.TabList(); }
  void SetTabList(const std::vector<std::string>& lines);
  bool Check3D() const { return model_.Check3D(); }
  void SetCheck3D(bool value);
  TListStyle ListStyle() const { return model_.ListStyle(); }
  void SetListStyle(TListStyle value);
  TCheckStyle CheckStyle() const { return model_.CheckStyle(); }
  void SetCheckStyle(TCheckStyle value);
  int CheckMargin() const { return model_.CheckMargin(); }
  void SetCheckMargin(int value);
  bool MultiCheck() const { return model_.MultiCheck(); }
  void SetMultiCheck(bool value) { model_.SetMultiCheck(value); }
  bool AutoCheck() const { return model_.AutoCheck(); }
  void SetAutoCheck(bool value) { model_.SetAutoCheck(value); }
  bool AutoClip() const { return model_.AutoClip(); }
  void SetAutoClip(bool value);
  bool AutosizeTabs() const { return model_.AutosizeTabs(); }
  void SetAutosizeTabs(bool value) { model_.SetAutosizeTabs(value); }
  char GlyphIdent() const { return model_.GlyphIdent(); }
  void SetGlyphIdent(char value);
  char StyleIdent() const { return model_.StyleIdent(); }
  void SetStyleIdent(char value);
  TSepStyle Separators() const { return model_.Separators(); }
  void SetSeparators(TSepStyle value);
  int ItemHeight() const { return model_.ItemHeight(); }
  void SetItemHeight(int value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TColor FontColor() const { return font_color_; }
  void SetFontColor(TColor value);

  TGlyphList& Glyphs() { return glyphs_; }
  const TGlyphList& Glyphs() const { return glyphs_; }
  // Repaints after glyphs were changed.
  void GlyphsChanged() { Invalidate(); }

  TrsListHeader* RealListHeader() const { return header_; }
  // Makes header the list's companion: it is told that this list drives it, takes the list's
  // BorderStyle and repaints. nullptr only drops the reference. The list does not own it.
  void SetRealListHeader(TrsListHeader* header);

  // The model behind the list (tab positions, extent, layout), for reading.
  const TrsListModel& Model() const { return model_; }

  // Repaints the list and its header.
  void Invalidate();

  // Draws line index into rect (the line's rectangle, its left edge moved by the horizontal
  // scroll): the text, the check box in check-box style, the glyphs, the separators.
  virtual void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected);

  // Runs with the current line after a press (the selection made, the toggle done) and after
  // the current line changed by keys.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  // A key goes first to OnKeyDown, then, when it types a character, to OnKeyPress, then to the
  // list's own handling (moving the current line, Space's selection and search), and a Space
  // then toggles the current line. OnKeyUp runs when the key is released.
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  // A press runs the list's own handling (selection), then OnMouseDown (the second press of a
  // double click with ssDouble), then the toggle and OnClick.
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  // Every move over the list, with or without a button down.
  TMouseMoveEvent OnMouseMove;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  class Delegate;
  friend class TrsListHeader;

  int MeasureText(std::string_view text, const TLineStyle& style) const;
  // The list's font with a line's style codes applied.
  QFont StyledFont(const TLineStyle& style) const;
  void DrawCheckBox(QPainter& painter, int index, const QRect& rect);
  // Toggles the current line (a click or Space) and redraws it.
  void ToggleCurrent();
  void Fire(const TNotifyEvent& event);
  void FireMouse(const TMouseEvent& handler, QMouseEvent* event, TShiftState extra = 0);
  // Puts the placeholder rows in step with the model's lines.
  void SyncRows();
  // Shows or hides the horizontal scroll bar by the model's extent and lays the rows out.
  void UpdateExtent();

  TrsListModel model_;
  TGlyphList glyphs_;
  QPointer<TrsListHeader> header_;
  TBorderStyle border_style_ = bsSingle;
  TColor color_;
  TColor font_color_;
  Delegate* delegate_;
};

}  // namespace components
