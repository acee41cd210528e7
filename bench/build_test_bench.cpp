// The start of a test in the study program, in process under QT_QPA_PLATFORM=offscreen
// (default): a bank of 100,000 questions over 30 objectives (and a last record, which is never
// drawn) made at run time, the start and objective windows shown, then Start Test pressed with
// 100 questions: the walk filing every record under its objective through the question
// window's bound objective edit, the draw, and the build recording each drawn question's
// correct answers through the controller's bound check boxes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/app_context.h"
#include "app/objective_window.h"
#include "app/question_selector.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "components/core/wen_common.h"
#include "engine/engine.h"
#include "engine/work_area.h"
#include "platform/core/paths.h"
#include "platform/gui/activation.h"
#include "platform/gui/application.h"
#include "samples/demo_maker.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kObjectives = 30;

// Runs the event loop until the window's activation (queued after its first expose) has run.
void WaitForActivation(QWidget* window) {
  while (platform::gui::ActivationPending(window)) QCoreApplication::processEvents();
}

void WriteBank(const std::string& dir) {
  std::string ini =
      "[TestInfo]\r\nTest Name=Bench\r\nNumber of Questions=100\r\nTime Limit=90\r\n"
      "Passing Score=700\r\n[Menu Options]\r\nShow Chapter=1\r\nShow Links=1\r\n"
      "Write Scores=0\r\n[BookFormat]\r\nFormat=Acrobat\r\n[Objectives]\r\n";
  ini += "ObjectiveCount=" + std::to_string(kObjectives) + "\r\n";
  for (int k = 0; k < kObjectives; ++k) {
    ini += "Objective" + std::to_string(k) + "=Objective number " + std::to_string(k + 1) + "\r\n";
  }
  std::ofstream(dir + "/bank.ini", std::ios::binary) << ini;
  std::vector<samples::QuestionRecord> rows(kRecords + 1);
  for (int i = 0; i <= kRecords; ++i) {
    rows[i].texts["OBJECTIVE"] = "Objective number " + std::to_string(i % kObjectives + 1);
    for (const char* flag : {"CHECKA", "CHECKB", "CHECKC", "CHECKD", "CHECKE"})
      rows[i].flags[flag] = (i + flag[5]) % 3 == 0;
  }
  samples::WriteQuestionTable(rows, dir + "/bank.dbf");
}

// Start Test with 100 questions; the windows are made and shown outside the timing.
void BM_StartTest100From100k(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto context = std::make_unique<app::TAppContext>();
    context->CreateWindows();
    context->StartUp->show();
    WaitForActivation(context->StartUp);
    context->StartUp->NextBtnClick();
    WaitForActivation(context->Disclaimer);
    context->ObjectiveWindow()->NumberOfQuestions->setText("100");
    state.ResumeTiming();
    context->ObjectiveWindow()->NextBtnClick();
    state.PauseTiming();
    if (context->Test.QuestionCount != 100 || context->ControlForm->RecordNo.Count() != 101) {
      state.SkipWithError("the test was not built");
    }
    context.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine::ResetEngine();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartTest100From100k)->Unit(benchmark::kMillisecond)->Iterations(5);

// The walk alone (LoadQuestions), and the same number of moves of the table component with
// nothing read: what the filing adds to the moves.
void BM_Walk(benchmark::State& state) {
  app::TAppContext context;
  context.CreateWindows();
  context.StartUp->show();
  WaitForActivation(context.StartUp);
  context.StartUp->NextBtnClick();
  WaitForActivation(context.Disclaimer);
  const bool walk = state.range(0) == 1;
  for (auto _ : state) {
    if (walk) {
      context.QSelector->LoadQuestions();
    } else {
      components::TWenDbf& table = *context.Questions->WenDbf1;
      table.GoTop();
      for (int32_t i = table.RecCount() - 1; i > 0; --i) table.Next();
    }
  }
  if (walk && context.QSelector->TotalAvailable != kRecords) state.SkipWithError("wrong pools");
}
BENCHMARK(BM_Walk)->Arg(1)->Arg(0)->ArgName("filing")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/build_test_bench.XXXXXX";
  if (!mkdtemp(dir.data())) return 1;
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  platform::SetProgramPath(dir + "/Velkorin");
  if (::chdir(dir.c_str()) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  engine::StartEngine();
  components::InitClassLayer();
  WriteBank(dir);
  app::SetStartSettings();
  {
    platform::gui::Application application(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    engine::ResetEngine();
  }
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
