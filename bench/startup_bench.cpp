// Start-up of the study program on the demo test, in process under QT_QPA_PLATFORM=offscreen
// (default): from the start of main to the splash shown (the application object, the engine,
// the thirteen windows), and from the splash timer to the start window shown (the activation:
// the test definition read, the question table opened).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app_context.h"
#include "app/splash.h"
#include "app/start_window.h"
#include "components/core/wen_common.h"
#include "engine/engine.h"
#include "platform/core/paths.h"
#include "platform/gui/application.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point main_started;
double first_splash_seconds = 0;

void ShowSplash(app::TAppContext& context) {
  context.CreateWindows();
  context.Splash->show();
  QCoreApplication::processEvents();
}

// The first start in the process: measured once, from the start of main.
void BM_MainToSplashShown(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(first_splash_seconds);
}
BENCHMARK(BM_MainToSplashShown)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Later starts in the same process: the windows made and the splash shown.
void BM_WindowsToSplashShown(benchmark::State& state) {
  for (auto _ : state) {
    auto context = std::make_unique<app::TAppContext>();
    ShowSplash(*context);
    state.PauseTiming();
    context.reset();
    engine::ResetEngine();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowsToSplashShown)->Unit(benchmark::kMillisecond);

void BM_SplashTimerToStartWindowShown(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      app::TAppContext context;
      ShowSplash(context);
      state.ResumeTiming();
      context.Splash->Timer1Timer();
      QCoreApplication::processEvents();
      state.PauseTiming();
    }
    engine::ResetEngine();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SplashTimerToStartWindowShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  main_started = Clock::now();
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // A copy of the demo test with the program's path pointing into it.
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/startup_bench.XXXXXX";
  if (!mkdtemp(dir.data())) return 1;
  std::filesystem::copy(PX_DEMO_DIR, dir, std::filesystem::copy_options::recursive);
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  platform::SetProgramPath(dir + "/Velkorin");
  benchmark::Initialize(&argc, argv);
  engine::StartEngine();
  components::InitClassLayer();
  app::SetStartSettings();
  {
    platform::gui::Application application(argc, argv);
    {
      app::TAppContext context;
      ShowSplash(context);
      first_splash_seconds = std::chrono::duration<double>(Clock::now() - main_started).count();
    }
    engine::ResetEngine();
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
