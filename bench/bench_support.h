// The frame of a benchmark program over one table: the engine started, the table built in a
// fresh temporary folder, the benchmarks run, and the folder removed at the end.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "engine/engine.h"
#include "engine/error.h"
#include "engine/work_area.h"

namespace bench {

// The body of main(): makes $TMPDIR/<folder>.XXXXXX (or under /tmp), calls build with the path
// of `file` in it (`records` only names the count in the progress line), runs run when the
// table was built, then closes every table and removes the folder. Returns main()'s exit code:
// 0 when the table was built, else 1.
inline int RunOverTable(
    int argc, char** argv, const std::string& folder, const std::string& file, int32_t records,
    const std::function<bool(const std::string& path)>& build,
    const std::function<void()>& run = [] { benchmark::RunSpecifiedBenchmarks(); }) {
  benchmark::Initialize(&argc, argv);
  engine::StartEngine();
  engine::AbortOnError = false;
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/" + folder + ".XXXXXX";
  if (!mkdtemp(dir.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = dir + "/" + file;
  std::fprintf(stderr, "building %d records in %s ...\n", static_cast<int>(records), path.c_str());
  const bool built = build(path);
  if (!built) std::fprintf(stderr, "building failed: %s\n", engine::ErrorMsg.c_str());
  if (built) run();
  engine::CloseAll();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  benchmark::Shutdown();
  return built ? 0 : 1;
}

}  // namespace bench
