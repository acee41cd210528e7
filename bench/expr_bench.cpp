// Key-expression evaluation: UPPER(NAME)+DTOS(BORN), compiled once, evaluated over a
// 1,000,000-record table (NAME C(20), BORN D). Three figures: the evaluator alone (each record's
// file bytes copied from memory into the record buffer, then evaluated), a scan that evaluates
// every record (GoTop, SKIP to the end, table opened exclusive), and the same scan without
// evaluating, so the difference between the last two is the evaluation's share of a scan.
//
// The table is built at run time in a fresh temporary folder and removed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/work_area.h"

namespace {

constexpr int32_t kRecords = 1000000;
constexpr const char* kExpression = "UPPER(NAME)+DTOS(BORN)";

std::string g_path;
std::vector<uint8_t> g_records;  // every record's file bytes, one after another
uint16_t g_rec_len = 0;

// Names of mixed case and births spread over 1950..2009.
std::string RecordBytes(int32_t i) {
  char name[21];
  std::snprintf(name, sizeof name, "%-20s", ("Person " + std::to_string(i)).c_str());
  char born[16];
  std::snprintf(born, sizeof born, "%04d%02d%02d", 1950 + i % 60, 1 + i % 12, 1 + i % 28);
  return std::string(" ") + name + born;
}

bool BuildTable(const std::string& path) {
  std::vector<engine::TFieldDef> fields = {{"NAME", 'C', 20, 0}, {"BORN", 'D', 8, 0}};
  engine::TDbfFileRec t;
  engine::CreateDBF(t, path, 2, fields);
  if (engine::ErrorCode != 0) return false;
  engine::USE(path + " exclusive", nullptr, 0);
  if (engine::ErrorCode != 0) return false;
  engine::TDbfFileRec& table = engine::CurrentWorkArea()->Dbf;
  g_rec_len = table.RecLen;
  g_records.reserve(static_cast<size_t>(kRecords) * g_rec_len);
  for (int32_t i = 1; i <= kRecords; ++i) {
    const std::string bytes = RecordBytes(i);
    if (bytes.size() != g_rec_len) return false;
    std::memcpy(table.RecBuf.data(), bytes.data(), bytes.size());
    engine::AppendDbfRecord(table);
    if (engine::ErrorCode != 0) return false;
    g_records.insert(g_records.end(), bytes.begin(), bytes.end());
  }
  engine::CloseArea();
  return engine::ErrorCode == 0;
}

void SetRate(benchmark::State& state, int64_t evaluations) {
  state.counters["evaluations/s"] =
      benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}

// The evaluator alone: each record's bytes put into the record buffer, then evaluated.
void BM_EvaluateOnly(benchmark::State& state) {
  engine::USE(g_path + " exclusive", nullptr, 0);
  engine::TExprBlock* block = engine::AssignExpr(kExpression);
  if (engine::ErrorCode != 0 || !block) {
    state.SkipWithError(engine::ErrorMsg.c_str());
    return;
  }
  engine::TDbfFileRec& table = engine::CurrentWorkArea()->Dbf;
  engine::EvaluateExpr(block);  // record 1, read by USE
  if (engine::ExprResultText(block) != "PERSON 1            19510202") {
    state.SkipWithError("wrong result");
    return;
  }
  int64_t evaluations = 0;
  for (auto _ : state) {
    for (int32_t i = 0; i < kRecords; ++i) {
      std::memcpy(table.RecBuf.data(), g_records.data() + static_cast<size_t>(i) * g_rec_len,
                  g_rec_len);
      table.RecNo = i + 1;
      benchmark::DoNotOptimize(engine::EvaluateExpr(block));
    }
    evaluations += kRecords;
  }
  if (engine::ErrorCode != 0) state.SkipWithError(engine::ErrorMsg.c_str());
  engine::FreeExpr(block);
  engine::CloseArea();
  SetRate(state, evaluations);
}

// GoTop, then SKIP(1) to the end, evaluating every record when `evaluate`.
void Scan(benchmark::State& state, bool evaluate) {
  engine::USE(g_path + " exclusive", nullptr, 0);
  engine::TExprBlock* block = engine::AssignExpr(kExpression);
  if (engine::ErrorCode != 0 || !block) {
    state.SkipWithError(engine::ErrorMsg.c_str());
    return;
  }
  int64_t records = 0;
  for (auto _ : state) {
    int64_t seen = 0;
    engine::GoTop();
    while (!engine::dEOF()) {
      if (evaluate) benchmark::DoNotOptimize(engine::EvaluateExpr(block));
      ++seen;
      engine::SKIP(1);
    }
    if (seen != kRecords) state.SkipWithError("scan did not see every record");
    records += seen;
  }
  engine::FreeExpr(block);
  engine::CloseArea();
  SetRate(state, records);
}

void BM_ScanAndEvaluate(benchmark::State& state) { Scan(state, true); }
void BM_ScanOnly(benchmark::State& state) { Scan(state, false); }

BENCHMARK(BM_EvaluateOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScanAndEvaluate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunOverTable(argc, argv, "exprbench", "people.dbf", kRecords,
                             [](const std::string& path) {
                               g_path = path;
                               return BuildTable(path);
                             });
}
