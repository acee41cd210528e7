// Shared by the table-component tests: a small table made with the engine, and a fixture that
// starts the class layer afresh and records the message boxes it shows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "components/core/wen_common.h"
#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "platform/core/halt.h"
#include "tests/support/engine_fixture.h"

namespace components {

using Lines = std::vector<std::string>;

// Creates `path` with the field NAME (C 10), one record per name, and with `with_number` the
// field NUM (N 5) holding the record's position; the table is closed again and the current
// area restored.
inline void MakeTable(const std::string& path, const Lines& names, bool with_number = false) {
  std::vector<engine::TFieldDef> defs = {{"NAME", 'C', 10, 0, 0}};
  if (with_number) defs.push_back({"NUM", 'N', 5, 0, 0});
  engine::TDbfFileRec table;
  engine::CreateDBF(table, path, static_cast<uint8_t>(defs.size()), defs);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  const uint8_t saved = engine::SelectedArea();
  engine::Select(0);
  engine::USE(path + " EXCLUSIVE", nullptr, 0);
  ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  for (size_t i = 0; i < names.size(); ++i) {
    engine::ClearRecord();
    uint8_t* name = engine::FieldAddress(1);
    name[0] = static_cast<uint8_t>(names[i].size());
    std::memcpy(name + 1, names[i].data(), names[i].size());
    if (with_number) engine::PutI32LE(engine::FieldAddress(2), static_cast<int32_t>(i + 1));
    engine::Append();
  }
  engine::USE("", nullptr, 0);
  engine::Select(saved);
}

class ClassLayerTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ResetClassLayer();
    InitClassLayer();
    platform::SetMessageHook([this](const std::string& text, const std::string&,
                                    platform::MessageIcon, platform::MessageButtons) {
      messages_.push_back(text);
      return platform::kResultOk;
    });
  }
  void TearDown() override {
    platform::SetMessageHook(nullptr);
    ResetClassLayer();
    EngineTest::TearDown();
  }

  Lines messages_;  // the texts of the boxes shown, in order
};

}  // namespace components
