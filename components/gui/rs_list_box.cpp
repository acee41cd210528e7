#include "components/gui/rs_list_box.h"

#include <QAbstractItemDelegate>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <stdexcept>

#include "components/gui/paint_helpers.h"
#include "platform/gui/guarded.h"
#include "platform/gui/text.h"

namespace components {

namespace {

using platform::gui::AnsiToQString;
using platform::gui::ColorFromBgr;

constexpr TColor kClWindow = 0x80000005;
constexpr TColor kClWindowText = 0x80000008;
constexpr TColor kClHighlight = 0x8000000D;
constexpr TColor kClHighlightText = 0x8000000E;
constexpr TColor kClBtnFace = 0x8000000F;
constexpr TColor kClBtnShadow = 0x80000010;
constexpr TColor kClBtnHighlight = 0x80000014;
constexpr TColor kClGray = 0x808080;
constexpr TColor kOlive = 0x008080;

// An outline of r, one pixel wide.
void FrameRect(QPainter& p, const QRect& r, const QColor& color) {
  Row(p, r.left(), r.right(), r.top(), color);
  Row(p, r.left(), r.right(), r.bottom(), color);
  Column(p, r.left(), r.top(), r.bottom(), color);
  Column(p, r.right(), r.top(), r.bottom(), color);
}

void RunGuarded(const std::function<void()>& fn) {
  if (fn) platform::gui::RunGuarded(fn);
}

int CheckedSlot(int slot) {
  if (slot < 1 || slot > TGlyphList::kSlots) throw std::out_of_range("glyph slot outside 1 ... 9");
  return slot - 1;
}

}  // namespace

// ---- glyphs ----

TColor GlyphTransparentColor(const QImage& bitmap) {
  if (bitmap.isNull() || bitmap.width() < 1 || bitmap.height() < 1) return kOlive;
  const QRgb pixel = bitmap.pixel(0, bitmap.height() - 1);
  return static_cast<TColor>(qRed(pixel)) | static_cast<TColor>(qGreen(pixel)) << 8 |
         static_cast<TColor>(qBlue(pixel)) << 16;
}

void DrawGlyph(QPainter& painter, int x, int y, const QImage& bitmap, const QColor& background) {
  if (bitmap.isNull()) return;
  const QColor transparent = ColorFromBgr(GlyphTransparentColor(bitmap));
  const QRgb key = transparent.rgb() & 0xFFFFFF;
  QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
  const QRgb fill = background.rgb();
  for (int row = 0; row < image.height(); ++row) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (int col = 0; col < image.width(); ++col) {
      if ((line[col] & 0xFFFFFF) == key) line[col] = fill;
    }
  }
  painter.drawImage(x, y, image);
}

QImage& TGlyphList::Glyph(int slot) {
  std::optional<QImage>& s = slots_[static_cast<std::size_t>(CheckedSlot(slot))];
  if (!s) s.emplace();
  return *s;
}

void TGlyphList::SetGlyph(int slot, const QImage& bitmap) { Glyph(slot) = bitmap.copy(); }

const QImage* TGlyphList::Drawable(int slot) const {
  if (slot < 1 || slot > kSlots) return nullptr;
  const std::optional<QImage>& s = slots_[static_cast<std::size_t>(slot - 1)];
  if (!s || s->isNull() || s->width() < 1 || s->height() < 1) return nullptr;
  return &*s;
}

// ---- header ----

TrsCustomHeader::TrsCustomHeader(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TrsListHeader::TrsListHeader(QWidget* parent) : TrsCustomHeader(parent), color_(kClBtnFace) {
  resize(121, 19);
}

void TrsListHeader::SetBorderStyle(TBorderStyle value) {
  border_style_ = value;
  update();
}

void TrsListHeader::SetCtl3D(bool value) {
  ctl_3d_ = value;
  update();
}

void TrsListHeader::SetSeparators(TrsListModel::TSepStyle value) {
  separators_ = value;
  update();
}

void TrsListHeader::SetCaption(const std::string& value) {
  caption_ = value;
  update();
}

void TrsListHeader::SetColor(TColor value) {
  color_ = value;
  update();
}

void TrsListHeader::SetListBox(TrsListBox* list_box) { list_box_ = list_box; }

void TrsListHeader::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = rect();
  const QColor background = C(color_);
  p.fillRect(r, background);
  if (border_style_ == bsSingle) {
    FrameRect(p, r, Qt::black);
    r.adjust(1, 1, -1, -1);
  }
  if (ctl_3d_) FrameRing(p, r, C(kClBtnHighlight), C(kClBtnShadow));

  const TrsListBox* list = list_box_;
  const QFont base = list ? list->font() : font();
  const int text_top = (height() - QFontMetrics(base).height()) / 2;
  if (!list) {
    p.setFont(base);
    p.setPen(C(kClWindowText));
    p.drawText(QPoint(2, text_top + QFontMetrics(base).ascent()), AnsiToQString(caption_));
    return;
  }
  const TrsListModel& model = list->model_;
  const int x0 = 2 + (model.ListStyle() != TrsListModel::lsStandard ? model.CheckMargin() : 0);
  const TrsListModel::TLineLayout layout = model.LayoutLine(caption_, x0);
  const QFont styled = list->StyledFont(layout.Style);
  p.setFont(styled);
  p.setPen(C(layout.Style.Color.value_or(list->FontColor())));
  const int baseline = text_top + QFontMetrics(styled).ascent();
  for (const TrsListModel::TTextRun& run : layout.Runs) {
    p.drawText(QPoint(run.X, baseline), AnsiToQString(run.Text));
  }
  for (const TrsListModel::TGlyphPlace& glyph : layout.Glyphs) {
    if (const QImage* bitmap = list->Glyphs().Drawable(glyph.Slot)) {
      DrawGlyph(p, glyph.X, r.top(), *bitmap, background);
    }
  }
  const std::vector<int> positions = model.SeparatorPositions();
  const int bottom = height() - 1;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const int x = positions[i];
    Column(p, x - 3, 1, bottom, C(kClBtnShadow));
    Column(p, x - 2, 0, bottom, Qt::black);
    const bool pressed = pressed_section_ == static_cast<int>(i);
    Column(p, x - 1, 0, bottom, C(pressed ? kClBtnShadow : kClBtnHighlight));
  }
}

void TrsListHeader::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int x = event->position().toPoint().x();
  // Without a list there are no tab positions: the whole header is section 1.
  pressed_section_ = list_box_ ? list_box_->model_.HeaderSectionAt(x) : 1;
  const int section = pressed_section_;
  if (OnClickSection) RunGuarded([&] { OnClickSection(this, section); });
  update();
}

void TrsListHeader::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_section_ = -1;
  update();
  if (OnClick && rect().contains(event->position().toPoint())) {
    RunGuarded([&] { OnClick(this); });
  }
}

// ---- list box ----

// Draws each row by the list's DrawItem at the list's fixed line height; a row is as wide as
// the horizontal extent (and at least as wide as the view).
class TrsListBox::Delegate : public QAbstractItemDelegate {
 public:
  explicit Delegate(TrsListBox* list) : QAbstractItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int row = index.row();
    if (row < 0 || row >= list_->Count()) return;
    painter->save();
    QRect rect = option.rect;
    rect.setRight(std::max(rect.right(), list_->viewport()->width() - 1));
    painter->setClipRect(rect);
    list_->DrawItem(*painter, row, rect, (option.state & QStyle::State_Selected) != 0);
    if ((option.state & QStyle::State_HasFocus) && list_->hasFocus()) {
      QStyleOptionFocusRect focus;
      focus.rect = rect;
      focus.state = option.state;
      focus.backgroundColor = C(kClHighlight);
      list_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, list_);
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(std::max(list_->model_.HorzExtent(), 1), std::max(list_->ItemHeight(), 1));
  }

  void RowsChanged() { emit sizeHintChanged(QModelIndex()); }

 private:
  TrsListBox* list_;
};

TrsListBox::TrsListBox(QWidget* parent)
    : QListWidget(parent),
      model_([this](std::string_view text, const TLineStyle& style) {
        return MeasureText(text, style);
      }),
      color_(kClWindow),
      font_color_(kClWindowText),
      delegate_(new Delegate(this)) {
  setItemDelegate(delegate_);
  viewport()->setMouseTracking(true);  // moves without a button reach OnMouseMove
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSpacing(0);
  SetBorderStyle(bsSingle);
  SetColor(color_);
  model_.SetWidth(width());
}

TrsListBox::~TrsListBox() {
  if (header_ && header_->list_box_ == this) header_->SetListBox(nullptr);
}

void TrsListBox::Loaded() {
  if (!model_.Loading()) return;
  model_.SetWidth(width());
  model_.Loaded();
  UpdateExtent();
  Invalidate();
}

int TrsListBox::MeasureText(std::string_view text, const TLineStyle& style) const {
  return QFontMetrics(StyledFont(style)).horizontalAdvance(AnsiToQString(std::string(text)));
}

QFont TrsListBox::StyledFont(const TLineStyle& style) const {
  QFont f = font();
  if (style.Bold) f.setBold(true);
  if (style.Italic) f.setItalic(true);
  if (style.Underline) f.setUnderline(true);
  if (style.StrikeOut) f.setStrikeOut(true);
  return f;
}

// ---- lines ----

namespace {
// The row that stands for line index: the line's text as drawn, for search and accessibility.
QListWidgetItem* Placeholder(const TrsListModel& model, int index) {
  return new QListWidgetItem(AnsiToQString(model.VisibleLine(index)));
}
}  // namespace

int TrsListBox::AddItem(const std::string& text, std::size_t markup_end) {
  const int pos = model_.AddString(text, markup_end);
  insertItem(pos, Placeholder(model_, pos));
  UpdateExtent();
  return pos;
}

int TrsListBox::InsertItem(int index, const std::string& text, std::size_t markup_end) {
  const int pos = model_.InsertString(index, text, markup_end);
  if (pos < 0) return -1;
  insertItem(pos, Placeholder(model_, pos));
  UpdateExtent();
  return pos;
}

bool TrsListBox::DeleteItem(int index) {
  if (!model_.DeleteString(index)) return false;
  delete takeItem(index);
  UpdateExtent();
  return true;
}

void TrsListBox::ClearItems() {
  model_.ResetContent();
  clear();
  UpdateExtent();
}

void TrsListBox::SetItems(const std::vector<std::string>& lines) {
  model_.SetLines(lines);
  SyncRows();
}

void TrsListBox::SetSorted(bool value) {
  if (value == model_.Sorted()) return;
  model_.SetSorted(value);
  SyncRows();
}

void TrsListBox::SyncRows() {
  clear();
  for (int i = 0; i < model_.Count(); ++i) addItem(Placeholder(model_, i));
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) {
    selectionModel()->clear();
  } else {
    setCurrentRow(index);
  }
}

int TrsListBox::TopIndex() const {
  const QModelIndex top = indexAt(QPoint(0, 0));
  return top.isValid() ? top.row() : 0;
}

void TrsListBox::SetTopIndex(int index) {
  if (index < 0 || index >= Count()) return;
  scrollTo(model()->index(index, 0), QAbstractItemView::PositionAtTop);
}

void TrsListBox::SetMultiSelect(bool value) {
  setSelectionMode(value ? QAbstractItemView::ExtendedSelection
                         : QAbstractItemView::SingleSelection);
}

// ---- flags ----

void TrsListBox::SetChecked(int index, bool value) {
  model_.SetChecked(index, value);
  Invalidate();
}

void TrsListBox::CheckAll() {
  model_.CheckAll();
  Invalidate();
}

void TrsListBox::UncheckAll() {
  model_.UncheckAll();
  Invalidate();
}

void TrsListBox::ToggleCurrent() {
  if (model_.ToggleLine(currentRow())) Invalidate();
}

// ---- properties ----

void TrsListBox::SetHorzScrollBar(bool value) {
  model_.SetHorzScrollBar(value);
  UpdateExtent();
}

void TrsListBox::SetTabStops(bool value) {
  if (value == model_.TabStops()) return;
  model_.SetTabStops(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetTabList(const std::vector<std::string>& lines) {
  model_.SetTabList(lines);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetCheck3D(bool value) {
  if (value == model_.Check3D()) return;
  model_.SetCheck3D(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetListStyle(TListStyle value) {
  if (value == model_.ListStyle()) return;
  model_.SetListStyle(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetCheckStyle(TCheckStyle value) {
  if (value == model_.CheckStyle()) return;
  model_.SetCheckStyle(value);
  Invalidate();
}

void TrsListBox::SetCheckMargin(int value) {
  if (value == model_.CheckMargin()) return;
  model_.SetCheckMargin(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetAutoClip(bool value) {
  model_.SetAutoClip(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetGlyphIdent(char value) {
  model_.SetGlyphIdent(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetStyleIdent(char value) {
  model_.SetStyleIdent(value);
  UpdateExtent();
  Invalidate();
}

void TrsListBox::SetSeparators(TSepStyle value) {
  if (value == model_.Separators()) return;
  model_.SetSeparators(value);
  Invalidate();
}

void TrsListBox::SetItemHeight(int value) {
  if (value == model_.ItemHeight()) return;
  model_.SetItemHeight(value);
  delegate_->RowsChanged();
  Invalidate();
}

void TrsListBox::SetBorderStyle(TBorderStyle value) {
  border_style_ = value;
  if (value == bsSingle) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
}

void TrsListBox::SetColor(TColor value) {
  color_ = value;
  QPalette p = palette();
  p.setColor(QPalette::Base, C(value));
  setPalette(p);
  Invalidate();
}

void TrsListBox::SetFontColor(TColor value) {
  font_color_ = value;
  Invalidate();
}

void TrsListBox::SetRealListHeader(TrsListHeader* header) {
  if (header == header_) return;
  header_ = header;
  if (!header) return;
  header->SetListBox(this);
  header->SetBorderStyle(border_style_);
  header->update();
}

void TrsListBox::Invalidate() {
  viewport()->update();
  if (header_) header_->update();
}

void TrsListBox::UpdateExtent() {
  const bool shown = model_.HorzScrollBar() && model_.HorzScrollBarShown();
  setHorizontalScrollBarPolicy(shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  delegate_->RowsChanged();
}

// ---- drawing ----

void TrsListBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) {
  if (index < 0 || index >= Count()) return;
  const TrsListModel::TLineLayout layout = model_.LayoutLine(index);
  const QColor background = C(selected ? kClHighlight : color_);

  // Text.
  painter.fillRect(rect, background);
  const QFont styled = StyledFont(layout.Style);
  painter.setFont(styled);
  painter.setPen(C(layout.Style.Color.value_or(selected ? kClHighlightText : font_color_)));
  const int baseline = rect.top() + QFontMetrics(styled).ascent();
  for (const TrsListModel::TTextRun& run : layout.Runs) {
    painter.drawText(QPoint(rect.left() + run.X, baseline), AnsiToQString(run.Text));
  }

  // Check box.
  if (model_.ListStyle() == TrsListModel::lsCheckbox) {
    const int h = model_.ItemHeight();
    QRect box(rect.left(), rect.top(), h, h);
    if (model_.Check3D()) {
      painter.fillRect(box, Qt::white);
      box.adjust(1, 1, -1, -1);
      painter.fillRect(box, C(kClBtnHighlight));
      QRect ring = box;
      FrameRing(painter, ring, C(kClBtnShadow), C(kClBtnHighlight));
      FrameRing(painter, ring, Qt::black, C(kClBtnFace));
    } else {
      painter.fillRect(box, background);
      box.adjust(1, 1, -1, -1);
      painter.fillRect(box, C(kClBtnHighlight));
      FrameRect(painter, box, Qt::black);
    }
    if (model_.GetChecked(index)) {
      painter.setRenderHint(QPainter::Antialiasing, false);
      QRect mark = box.adjusted(2, 2, -2, -2);
      painter.setPen(QPen(Qt::black, 1));
      if (model_.CheckStyle() == TrsListModel::csThinX) {
        painter.drawLine(mark.topLeft(), mark.bottomRight());
        painter.drawLine(mark.bottomLeft(), mark.topRight());
      }
      painter.setPen(QPen(Qt::black, 2));
      mark.adjust(2, 2, -2, -2);
      if (model_.CheckStyle() == TrsListModel::csSquareX) {
        painter.drawLine(mark.topLeft(), mark.bottomRight());
        painter.drawLine(mark.bottomLeft(), mark.topRight());
      } else if (model_.CheckStyle() == TrsListModel::csSquareCheck) {
        const QPoint middle_left(mark.left(), (mark.top() + mark.bottom()) / 2);
        painter.drawLine(middle_left, mark.bottomLeft());
        painter.drawLine(mark.bottomLeft(), mark.topRight());
      }
      painter.setPen(QPen(Qt::black, 1));
    }
  }

  // Glyphs: they take no room of their own and cover the text where they stand.
  for (const TrsListModel::TGlyphPlace& glyph : layout.Glyphs) {
    const QImage* bitmap = glyphs_.Drawable(glyph.Slot);
    if (!bitmap) continue;
    const int y = rect.top() + (model_.ItemHeight() - bitmap->height()) / 2;
    DrawGlyph(painter, rect.left() + glyph.X, y, *bitmap, background);
  }

  // Separators.
  const TSepStyle separators = model_.Separators();
  if (separators != TrsListModel::spNone && !model_.TabList().empty()) {
    const QColor gray = C(kClGray);
    const int bottom = rect.top() + model_.ItemHeight() - 1;
    if (separators == TrsListModel::spVert || separators == TrsListModel::spBoth) {
      for (const int x : model_.SeparatorPositions()) {
        Column(painter, rect.left() + x - 3, rect.top(), bottom, gray);
      }
    }
    if (separators == TrsListModel::spHorz || separators == TrsListModel::spBoth) {
      Row(painter, rect.left(), rect.right(), bottom, gray);
    }
  }
}

// ---- input ----

void TrsListBox::Fire(const TNotifyEvent& event) {
  if (event) RunGuarded([&] { event(this); });
}

void TrsListBox::FireMouse(const TMouseEvent& handler, QMouseEvent* event, TShiftState extra) {
  TMouseButton button;
  if (!handler || !MouseButtonOf(event->button(), &button)) return;
  const QPoint pos = event->position().toPoint();
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons()) | extra;
  RunGuarded([&] { handler(this, button, shift, pos.x(), pos.y()); });
}

void TrsListBox::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);  // the selection first
  FireMouse(OnMouseDown, event);
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  if (!indexAt(pos).isValid()) return;
  if (model_.ClickToggles(pos.x())) ToggleCurrent();
  Fire(OnClick);
}

void TrsListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  FireMouse(OnMouseUp, event);
}

void TrsListBox::mouseMoveEvent(QMouseEvent* event) {
  QListWidget::mouseMoveEvent(event);
  if (!OnMouseMove) return;
  const QPoint pos = event->position().toPoint();
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
  RunGuarded([&] { OnMouseMove(this, shift, pos.x(), pos.y()); });
}

void TrsListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  FireMouse(OnMouseDown, event, ssDouble);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
    Fire(OnDblClick);
  }
}

void TrsListBox::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  if (OnKeyDown) {
    const TShiftState shift = ShiftStateOf(event->modifiers());
    RunGuarded([&] { OnKeyDown(this, key, shift); });
    if (key == 0) {
      event->accept();
      return;
    }
  }
  // The character the key types, as OnKeyPress may change it (0: none, or swallowed).
  const QString text = event->text();
  char ch = '\0';
  if (text.size() == 1) {
    const std::string ansi = platform::gui::QStringToAnsi(text);
    ch = ansi.empty() ? '\0' : ansi[0];
  }
  const char typed = ch;
  if (typed != '\0' && OnKeyPress) {
    RunGuarded([&] { OnKeyPress(this, ch); });
    if (ch == '\0') {
      event->accept();
      return;
    }
  }
  const int before = currentRow();
  if (ch == typed) {
    QListWidget::keyPressEvent(event);
  } else {
    // The handler typed another character: the list handles that one.
    const QString changed = AnsiToQString(std::string(1, ch));
    const int changed_key = changed.toUpper().at(0).unicode();  // Qt's key codes of characters
    QKeyEvent replaced(QEvent::KeyPress, changed_key, event->modifiers(), changed,
                       event->isAutoRepeat());
    QListWidget::keyPressEvent(&replaced);
  }
  // A Space toggles the line that is current after the list's own handling.
  if (ch == ' ') {
    event->accept();
    if (currentRow() >= 0) ToggleCurrent();
  }
  if (currentRow() != before) Fire(OnClick);
}

void TrsListBox::keyReleaseEvent(QKeyEvent* event) {
  int key = event->key();
  if (OnKeyUp) {
    const TShiftState shift = ShiftStateOf(event->modifiers());
    RunGuarded([&] { OnKeyUp(this, key, shift); });
    if (key == 0) {
      event->accept();
      return;
    }
  }
  QListWidget::keyReleaseEvent(event);
}

void TrsListBox::showEvent(QShowEvent* event) {
  QListWidget::showEvent(event);
  Loaded();  // a list made in code, whose maker never ended its loading
}

void TrsListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  model_.SetWidth(width());
  UpdateExtent();
  Invalidate();
}

void TrsListBox::changeEvent(QEvent* event) {
  QListWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    model_.FontChanged();
    UpdateExtent();
    Invalidate();
  }
}

}  // namespace components
