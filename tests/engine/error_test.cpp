#include "engine/error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/core/halt.h"
#include "tests/support/engine_fixture.h"

namespace {

using ErrorTest = testing_support::EngineTest;
using ErrorDeathTest = testing_support::EngineTest;

struct TextCase {
  uint16_t code;
  const char* text;
  const char* name;
};

TEST_F(ErrorTest, ErrorTextNamesTheCode) {
  const TextCase cases[] = {
      {0, "", "no_error_is_empty"},
      {7, "Error # 7 (Undefined error)", "gap_in_the_table"},
      {215, "Error # 215 (No database in use)", "engine_code"},
      {227, "Error # 227 (Insufficient disk space )", "trailing_blank_kept"},
      {1202 + 1, "Error # 1203 (Network Error)", "network_range_start"},
      {1250, "Error # 1250 (Network Error)", "network_range"},
      {1299, "Error # 1299 (Network Error)", "network_range_end"},
      {1300, "Error # 1300 (File format not supported)", "last_listed"},
      {1301, "Error # 1301 (Undefined error)", "above_the_table"},
      {65535, "Error # 65535 (Undefined error)", "five_digits"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(engine::ErrorText(c.code), c.text) << c.name;
}

TEST_F(ErrorTest, SetErrorWithoutHaltingKeepsTheStateAndGetErrorMsgTakesTheMessageOnce) {
  engine::SetError(5, "Failure to open \x82t\x82.dbf [USE]");
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::LastReportedError, 5);
  // The message comes back in the ANSI set: OEM 0x82 is e-acute, ANSI 0xE9.
  EXPECT_EQ(engine::GetErrorMsg(), "Failure to open \xE9t\xE9.dbf [USE]");
  EXPECT_EQ(engine::LastReportedError, 0);
  EXPECT_EQ(engine::ErrorCode, 5);
  EXPECT_EQ(engine::GetErrorMsg(), "");
  EXPECT_EQ(engine::ErrorCode, 5);
}

int g_proc_calls = 0;
uint16_t g_seen_code = 0;
std::string g_seen_msg;

void RecordingProc() {
  ++g_proc_calls;
  g_seen_code = engine::ErrorCode;
  g_seen_msg = engine::ErrorMsg;
}

TEST_F(ErrorTest, UserErrorProcIsCalledOnceInsteadOfHalting) {
  g_proc_calls = 0;
  engine::AbortOnError = true;
  engine::UserErrorProc = &RecordingProc;
  engine::SetError(215, "No database in use [GO]  WorkArea = 1");
  EXPECT_EQ(g_proc_calls, 1);
  EXPECT_EQ(g_seen_code, 215);
  EXPECT_EQ(g_seen_msg, "No database in use [GO]  WorkArea = 1");
  EXPECT_EQ(engine::ErrorCode, 215);
  EXPECT_EQ(engine::ErrorMsg, "No database in use [GO]  WorkArea = 1");
  EXPECT_EQ(engine::LastReportedError, 215);
}

TEST_F(ErrorTest, ReportErrorWithoutAnErrorDoesNothing) {
  engine::AbortOnError = true;
  engine::ErrorCode = 0;
  engine::ReportError();  // returns: no box, no halt
  SUCCEED();
}

// Writes the box to stderr as "[caption][text]" and its text length, so a death test can
// match exactly what the halt showed.
void InstallStderrBox() {
  platform::SetMessageHook([](const std::string& text, const std::string& caption,
                              platform::MessageIcon, platform::MessageButtons) {
    std::fprintf(stderr, "[%s][%s] len=%zu\n", caption.c_str(), text.c_str(), text.size());
    return static_cast<int>(platform::kResultOk);
  });
}

void HaltWith(uint16_t code, const std::string& msg) {
  InstallStderrBox();
  platform::AddExitProc([] { std::fprintf(stderr, "exit proc ran\n"); });
  engine::AbortOnError = true;
  engine::SetError(code, msg);
  std::fprintf(stderr, "returned from SetError\n");
  std::_Exit(0);
}

TEST_F(ErrorDeathTest, HaltShowsTheBoxRunsExitProcsOnceAndExitsWithTheCode) {
  EXPECT_EXIT(HaltWith(215, "m"), ::testing::ExitedWithCode(215),
              "^\\[Program halted\\.\\]\\[Error # 215 \\(No database in use\\)\r\nm\\] len=35\n"
              "exit proc ran\n$");
}

TEST_F(ErrorDeathTest, CodesAbove255ExitWith255) {
  EXPECT_EXIT(HaltWith(1103, "x"), ::testing::ExitedWithCode(255),
              "Error # 1103 \\(Invalid Operation \\)");
}

TEST_F(ErrorDeathTest, BoxTextIsCutTo255Characters) {
  EXPECT_EXIT(HaltWith(215, std::string(400, 'x')), ::testing::ExitedWithCode(215),
              "\r\nx+\\] len=255\n");
}

}  // namespace
