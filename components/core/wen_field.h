// TWenField: one field of a TWenDataSet, with typed access to its value in the dataset's
// active record buffer. Buffers hold OEM text; GetText gives ANSI and SetText takes ANSI.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/core/wen_common.h"

namespace components {

class TWenDataSet;
class TWenField;

using TWenFieldNotifyEvent = std::function<void(TWenField* sender)>;

class TWenField : public TComponent {
 public:
  // Created without component owner; the dataset frees its fields.
  explicit TWenField(TWenDataSet* data_set);
  ~TWenField() override;

  // Bytes a value of the type occupies in a record buffer: C len + 1 (length-prefixed text),
  // D 11 (length-prefixed date text), F/N 6 (6-byte real) with decimals and 4 (32-bit integer)
  // without, L 1, M 4 (memo block number); 0 for any other type.
  static uint16_t NativeSizeOf(char type, uint8_t len, uint8_t dec);

  // The display text of the value in the active buffer (ANSI).
  std::string GetText() const;
  // Parses value (ANSI) by type into the active buffer, copies it to UserVar and sends the
  // dataset the field-change event (not in the calculated-fields state).
  void SetText(const std::string& value);

  // Type L only; other types raise 57347.
  bool GetAsBoolean() const;
  void SetAsBoolean(bool value);

  // Type M only; other types raise 57347 (GetLines clears the lines first). GetLines asks the
  // data source for the memo and returns the lines in ANSI. SetLines stores the given lines
  // (ANSI, converted to OEM on a copy; the caller's list is left as it is) as this field's
  // memo through the data source.
  const std::vector<std::string>& GetLines();
  void SetLines(const std::vector<std::string>& lines);

  bool IsBlob() const;       // M with a negative block number
  int DisplayWidth() const;  // L: longest logical text; M: 5; others: Len
  bool IsValidChar(char key) const;

  // Fires OnChange when assigned.
  virtual void Change();

  // The value's bytes in the dataset's active record buffer (nullptr without a buffer).
  uint8_t* ActiveValue() const;

  TWenDataSet* DataSet = nullptr;
  std::string FieldName;  // at most 10 characters
  char FieldType = 'C';   // C, D, F, L, M or N
  uint8_t Len = 0;
  uint16_t NativeSize = 0;
  uint8_t Dec = 0;
  uint8_t* UserVar = nullptr;  // outside copy of the value (the engine's native buffer slot)
  uint16_t Offset = 0;         // position of the value in each record buffer
  bool Calculated = false;
  TWenFieldNotifyEvent OnChange;

 private:
  // Copies the value to UserVar and notifies the dataset.
  void ValueWritten(uint8_t* value);
  bool CheckDate(const std::string& value) const;
  // The active value for a write; raises 57354 (open, no record) or 57355 (closed) without.
  uint8_t* WritableValue() const;

  std::vector<std::string> lines_;
};

}  // namespace components
