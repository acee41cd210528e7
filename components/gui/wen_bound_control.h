// TWenBoundControl: what every data-bound control shares: the field data link it owns and the
// binding properties over it (DataSource, DataField, ReadOnly, the field). The control derives
// from its widget class first and from this class second, so that the link leaves its data
// source while the widget still exists. When the data source is destroyed, the link leaves
// it: DataSource() becomes nullptr and the control shows no field.
#pragma once

#include <string>

#include "components/core/wen_links.h"

class QWidget;

namespace components {

class TWenDataSource;

class TWenBoundControl : private TWenLinkControl {
 public:
  TWenBoundControl(const TWenBoundControl&) = delete;
  TWenBoundControl& operator=(const TWenBoundControl&) = delete;

  TWenDataSource* DataSource() const { return data_link_.DataSource(); }
  // Leaves the old data source, joins the new one and rebinds the field.
  void SetDataSource(TWenDataSource* data_source);
  const std::string& DataField() const { return data_link_.FieldName(); }
  // A different name rebinds; a name the dataset lacks raises 57348.
  void SetDataField(const std::string& name) { data_link_.SetFieldName(name); }
  // The link's ReadOnly. (Not named ReadOnly: the masked edit answers its own widget state
  // under that name.)
  bool GetReadOnly() const { return data_link_.ReadOnly(); }
  void SetReadOnly(bool read_only) { data_link_.SetReadOnly(read_only); }
  // The bound field; nullptr when unbound.
  TWenField* GetField() const { return data_link_.Field(); }
  TWenFieldDataLink& DataLink() { return data_link_; }

 protected:
  // `widget` is the control itself: the link focuses it; nullptr for a control that takes
  // no focus.
  explicit TWenBoundControl(QWidget* widget);
  // Leaves the data source without calling back into the control that is going away.
  ~TWenBoundControl() override;

  // Runs the link's UpdateRecord as the focus leaves the control. When storing the value
  // raises, the message is shown, the focus is taken back and the result is False.
  bool StoreOnExit();

  TWenFieldDataLink data_link_{this};

 private:
  // TWenLinkControl
  bool CanFocus() const override;
  void SetFocus() override;

  QWidget* widget_;
};

}  // namespace components
