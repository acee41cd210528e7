// The caption label a control can carry beside it: found among the window's labels by the
// control's name + "Caption" or created on the control's parent, sized to its text and placed
// by PlaceCaption (caption_place.h) whenever its text, its position or the control's bounds
// change. It follows the control by itself: a rename renames the label, a move or resize of
// the control re-places it.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include "components/core/caption_place.h"

namespace components {

// Places `label` beside `control` by `pos`, sizing the label to its text first. Nothing
// happens when either is missing or the position is cpDetached.
void PlaceCaption(QLabel* label, TWenCaptionPosType pos, QWidget* control);

class TCaptionLabel : public QObject {
 public:
  // Watches `control` (its name, moves and resizes) for as long as this object lives.
  explicit TCaptionLabel(QWidget* control);
  // A label without a parent goes with the control; a label on a parent belongs to it.
  ~TCaptionLabel() override;
  TCaptionLabel(const TCaptionLabel&) = delete;
  TCaptionLabel& operator=(const TCaptionLabel&) = delete;

  // The label's text; empty without a label.
  QString Caption() const;
  // A non-empty text finds the label named after the control or creates one on the control's
  // parent (a new label turns cpDetached into cpLeft), sets its text and places it; an empty
  // text frees the label.
  void SetCaption(const QString& text);
  TWenCaptionPosType Pos() const { return pos_; }
  // Stores the position and re-places the label.
  void SetPos(TWenCaptionPosType pos);
  // Re-places the label (after the control's bounds changed); unless detached, the label
  // moves onto the control's parent first.
  void Place();
  QLabel* Label() const { return label_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The control was renamed: the label takes the new name + "Caption".
  void Rename();
  QString LabelName() const { return control_->objectName() + QStringLiteral("Caption"); }

  QWidget* control_;
  QPointer<QLabel> label_;  // cleared when the label is destroyed elsewhere
  TWenCaptionPosType pos_ = cpDetached;
};

}  // namespace components
