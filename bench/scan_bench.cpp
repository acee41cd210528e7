// Sequential scan of a 1,000,000-record table of 100-byte records through the engine (GoTop,
// then SKIP to the end, reading one C and one N field per record), opened shared and opened
// exclusive, next to the bare file reads underneath: one positioned read per record, and a
// plain sequential read in 64 KiB blocks. The engine keeps no record cache, so the gap to the
// positioned reads is what navigation and conversion add per record.
//
// The table is built at run time in a fresh temporary folder and removed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/numerics.h"
#include "engine/work_area.h"
#include "platform/core/file.h"

namespace {

constexpr int32_t kRecords = 1000000;
// 1 (deletion flag) + 60 + 12 + 27 = 100 bytes per record.
constexpr uint16_t kRecLen = 100;

std::string g_path;
uint16_t g_header_len = 0;

bool BuildTable(const std::string& path) {
  std::vector<engine::TFieldDef> fields = {
      {"NAME", 'C', 60, 0}, {"AMOUNT", 'N', 12, 2}, {"FILLER", 'C', 27, 0}};
  engine::TDbfFileRec t;
  engine::CreateDBF(t, path, 3, fields);
  if (engine::ErrorCode != 0) return false;
  engine::USE(path + " exclusive", nullptr, 0);
  if (engine::ErrorCode != 0) return false;
  g_header_len = engine::CurrentWorkArea()->Dbf.HeaderLen;
  for (int32_t i = 1; i <= kRecords; ++i) {
    engine::ClearRecord();
    uint8_t* name = engine::FieldAddress(1);
    const std::string text = "Record " + std::to_string(i);
    name[0] = static_cast<uint8_t>(text.size());
    std::memcpy(name + 1, text.data(), text.size());
    const engine::Real48 amount = engine::Real48Encode(i * 0.25);
    std::memcpy(engine::FieldAddress(2), amount.data(), amount.size());
    engine::Append();
    if (engine::ErrorCode != 0) return false;
  }
  engine::CloseArea();
  return engine::ErrorCode == 0;
}

// GoTop, then SKIP(1) until the end, reading the C and the N field of every record.
void Scan(benchmark::State& state, bool exclusive) {
  engine::USE(g_path + (exclusive ? " exclusive" : ""), nullptr, 0);
  if (engine::ErrorCode != 0) {
    state.SkipWithError(engine::ErrorMsg.c_str());
    return;
  }
  int64_t records = 0;
  for (auto _ : state) {
    int64_t seen = 0;
    double sum = 0;
    engine::GoTop();
    while (!engine::dEOF()) {
      const uint8_t* name = engine::FieldAddress(1);
      benchmark::DoNotOptimize(name[name[0]]);
      engine::Real48 amount;
      std::memcpy(amount.data(), engine::FieldAddress(2), amount.size());
      sum += engine::Real48Decode(amount);
      ++seen;
      engine::SKIP(1);
    }
    benchmark::DoNotOptimize(sum);
    if (seen != kRecords) state.SkipWithError("scan did not see every record");
    records += seen;
  }
  engine::CloseArea();
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

void BM_ScanShared(benchmark::State& state) { Scan(state, false); }
void BM_ScanExclusive(benchmark::State& state) { Scan(state, true); }

// One positioned read per record, as the file layer does, and nothing else.
void BM_PositionedReads(benchmark::State& state) {
  platform::File f;
  if (f.Open(g_path, platform::kModeRead | platform::kShareDenyNone) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  uint8_t rec[kRecLen];
  int64_t records = 0;
  for (auto _ : state) {
    for (int32_t n = 0; n < kRecords; ++n) {
      size_t got = 0;
      f.ReadAt(g_header_len + uint64_t{kRecLen} * n, rec, kRecLen, &got);
      benchmark::DoNotOptimize(rec[1]);
    }
    records += kRecords;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

// The whole file read front to back in 64 KiB blocks.
void BM_BlockReads(benchmark::State& state) {
  platform::File f;
  if (f.Open(g_path, platform::kModeRead | platform::kShareDenyNone) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::vector<uint8_t> block(64 * 1024);
  int64_t records = 0;
  for (auto _ : state) {
    uint64_t offset = 0;
    size_t got = 0;
    do {
      f.ReadAt(offset, block.data(), block.size(), &got);
      offset += got;
      benchmark::DoNotOptimize(block[0]);
    } while (got == block.size());
    records += kRecords;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ScanShared)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScanExclusive)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PositionedReads)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BlockReads)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The console report, followed by every benchmark's records per second as a ratio to the
// positioned reads and to the block reads.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      auto it = r.counters.find("records/s");
      if (it != r.counters.end() && !r.error_occurred) rates_[r.benchmark_name()] = it->second;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double positioned = Rate("BM_PositionedReads");
    const double blocks = Rate("BM_BlockReads");
    std::printf("\n%-36s %14s %14s %14s\n", "benchmark", "records/s", "vs positioned", "vs blocks");
    for (const auto& [name, rate] : rates_) {
      std::printf("%-36s %14.0f %14.3f %14.3f\n", name.c_str(), rate,
                  positioned > 0 ? rate / positioned : 0.0, blocks > 0 ? rate / blocks : 0.0);
    }
  }

 private:
  // The rate of the benchmark whose name starts with `name` (names carry their arguments).
  double Rate(const std::string& name) const {
    for (const auto& [full, rate] : rates_) {
      if (full.compare(0, name.size(), name) == 0) return rate;
    }
    return 0;
  }

  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  return bench::RunOverTable(
      argc, argv, "scanbench", "scan.dbf", kRecords,
      [](const std::string& path) {
        g_path = path;
        return BuildTable(path);
      },
      [] {
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
      });
}
