#include "components/gui/caption_label.h"

#include <QEvent>

namespace components {

void PlaceCaption(QLabel* label, TWenCaptionPosType pos, QWidget* control) {
  if (!label || !control || pos == cpDetached) return;
  label->adjustSize();
  const QRect r = control->geometry();
  const auto place = PlaceCaption(TCaptionRect{r.x(), r.y(), r.width(), r.height()}, label->width(),
                                  label->height(), pos);
  if (!place) return;
  label->move(place->Left, place->Top);
  label->setAlignment(
      (place->Alignment == TCaptionAlignment::Right ? Qt::AlignRight : Qt::AlignLeft) |
      Qt::AlignTop);
}

TCaptionLabel::TCaptionLabel(QWidget* control) : control_(control) {
  control_->installEventFilter(this);
  connect(control_, &QObject::objectNameChanged, this, [this] { Rename(); });
}

TCaptionLabel::~TCaptionLabel() {
  if (label_ && !label_->parent()) delete label_.data();
}

QString TCaptionLabel::Caption() const { return label_ ? label_->text() : QString(); }

void TCaptionLabel::SetCaption(const QString& text) {
  if (text.isEmpty()) {
    delete label_.data();
    return;
  }
  if (!label_) {
    QWidget* parent = control_->parentWidget();
    QWidget* owner = parent ? parent->window() : nullptr;
    if (owner) label_ = owner->findChild<QLabel*>(LabelName());
    if (!label_) {
      label_ = new QLabel(parent);
      label_->setObjectName(LabelName());
      label_->setTextFormat(Qt::PlainText);
      if (parent) label_->show();
      if (pos_ == cpDetached) pos_ = cpLeft;
    }
  }
  label_->setText(text);
  Place();
}

void TCaptionLabel::SetPos(TWenCaptionPosType pos) {
  pos_ = pos;
  Place();
}

void TCaptionLabel::Place() {
  if (!label_ || pos_ == cpDetached) return;
  // A placed label stands on the control's parent, where the control's coordinates hold.
  QWidget* parent = control_->parentWidget();
  if (parent && label_->parentWidget() != parent) {
    label_->setParent(parent);
    label_->show();
  }
  PlaceCaption(label_, pos_, control_);
}

bool TCaptionLabel::eventFilter(QObject* watched, QEvent* event) {
  // The control's geometry is already the new one when these events arrive.
  if (watched == control_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    Place();
  }
  return false;
}

void TCaptionLabel::Rename() {
  if (label_) label_->setObjectName(LabelName());
}

}  // namespace components
