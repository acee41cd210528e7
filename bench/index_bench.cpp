// Building an index on a C(20) key over a table of 1,000,000 records, next to std::sort of the
// same (key, record number) pairs in memory. The build reads the table, evaluates the key
// expression for every record, sorts, and writes the B-tree pages and the header; the
// std::sort figure is the floor for its sorting step alone.
//
// The table is built at run time in a fresh temporary folder and removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/index_build.h"
#include "engine/index_driver.h"
#include "engine/work_area.h"
#include "platform/core/file.h"

namespace {

constexpr int32_t kRecords = 1000000;
constexpr uint16_t kKeyLen = 20;
constexpr uint16_t kRecLen = 1 + kKeyLen;

std::string g_dir;
std::string g_table;
std::vector<std::array<char, kKeyLen>> g_keys;

// Random 20-character keys from a fixed seed: letters, so that many keys share prefixes.
void MakeKeys() {
  g_keys.resize(kRecords);
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  for (auto& k : g_keys) {
    for (char& c : k) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      c = static_cast<char>('A' + (seed >> 59));  // 32 values: A to `
    }
  }
}

// The table file written in one pass through the engine's file layout (header from
// CreateDBF, then the records, then the record count in the header).
bool BuildTable() {
  std::vector<engine::TFieldDef> fields = {{"NAME", 'C', kKeyLen, 0}};
  engine::TDbfFileRec t;
  engine::CreateDBF(t, g_table, 1, fields);
  if (engine::ErrorCode != 0) return false;
  platform::File f;
  if (f.Open(g_table, platform::kModeReadWrite) != 0) return false;
  uint8_t header[32];
  size_t got = 0;
  if (f.ReadAt(0, header, sizeof header, &got) != 0 || got != sizeof header) return false;
  const uint16_t header_len = engine::GetU16LE(header + 8);
  std::vector<char> records(static_cast<size_t>(kRecords) * kRecLen + 1);
  for (int32_t i = 0; i < kRecords; ++i) {
    char* r = records.data() + static_cast<size_t>(i) * kRecLen;
    r[0] = ' ';
    std::memcpy(r + 1, g_keys[i].data(), kKeyLen);
  }
  records.back() = 0x1A;
  if (f.WriteAt(header_len, records.data(), records.size()) != 0) return false;
  engine::PutU32LE(header + 4, kRecords);
  if (f.WriteAt(0, header, sizeof header) != 0) return false;
  return f.Close() == 0;
}

// state.range(0): the sort's memory budget in MiB (0: the default).
void BM_MakeIndex(benchmark::State& state) {
  engine::IndexSortMemory = state.range(0) == 0 ? engine::kDefaultIndexSortMemory
                                                : static_cast<uint32_t>(state.range(0)) << 20;
  engine::USE(g_table + " exclusive", nullptr, 0);
  if (engine::ErrorCode != 0) {
    state.SkipWithError("USE failed");
    return;
  }
  const std::string index = g_dir + "names.ndx";
  for (auto _ : state) {
    engine::MakeExprIndex("NAME", index);
    if (engine::ErrorCode != 0) {
      state.SkipWithError(engine::ErrorMsg.c_str());
      break;
    }
  }
  engine::CloseArea();
  engine::IndexSortMemory = engine::kDefaultIndexSortMemory;
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The same pairs (key, then record number) sorted with std::sort on a copy in memory.
void BM_StdSortKeys(benchmark::State& state) {
  struct Pair {
    std::array<char, kKeyLen> key;
    uint32_t rec;
  };
  std::vector<Pair> base(kRecords);
  for (int32_t i = 0; i < kRecords; ++i) base[i] = {g_keys[i], static_cast<uint32_t>(i + 1)};
  std::vector<Pair> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = base;
    state.ResumeTiming();
    std::sort(work.begin(), work.end(), [](const Pair& a, const Pair& b) {
      const int c = std::memcmp(a.key.data(), b.key.data(), kKeyLen);
      return c != 0 ? c < 0 : a.rec < b.rec;
    });
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// 10,000 key changes through Replace on the indexed table (each one removes the record's old
// key and inserts the new one, splitting pages as needed): state.range(0) 0 with the table and
// the index exclusive, 1 shared (SharedAccess on, the record locked around each change, the
// index semaphore taken for each write).
void BM_ReplaceKeys(benchmark::State& state) {
  constexpr int kChanges = 10000;
  const bool shared = state.range(0) != 0;
  const std::string index = g_dir + "names.ndx";
  engine::USE(g_table + " exclusive", nullptr, 0);
  engine::MakeExprIndex("NAME", index);
  engine::CloseArea();
  engine::SharedAccess = shared;
  engine::USE(shared ? g_table : g_table + " exclusive", nullptr, 0);
  engine::Set_Index_To(index);
  if (engine::ErrorCode != 0) {
    state.SkipWithError(engine::ErrorMsg.c_str());
    engine::CloseArea();
    engine::SharedAccess = true;
    return;
  }
  uint64_t seed = 0x2545F4914F6CDD1Dull;
  for (auto _ : state) {
    for (int i = 0; i < kChanges; ++i) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      engine::GO(static_cast<int32_t>(1 + (seed >> 33) % kRecords));
      if (shared) engine::RLock();
      uint8_t* slot = engine::FieldAddress(1);
      slot[0] = kKeyLen;
      for (uint16_t c = 0; c < kKeyLen; ++c) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        slot[1 + c] = static_cast<uint8_t>('A' + (seed >> 59));
      }
      engine::Replace();
      if (shared) engine::Unlock();
      if (engine::ErrorCode != 0) {
        state.SkipWithError(engine::ErrorMsg.c_str());
        break;
      }
    }
  }
  engine::CloseArea();
  engine::SharedAccess = true;
  state.SetItemsProcessed(state.iterations() * kChanges);
}

BENCHMARK(BM_MakeIndex)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdSortKeys)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceKeys)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ndxbench.XXXXXX";
  if (!mkdtemp(tmpl.data())) return 1;
  g_dir = tmpl + "/";
  g_table = g_dir + "names.dbf";
  engine::StartEngine();
  engine::AbortOnError = false;
  MakeKeys();
  int status = 0;
  if (!BuildTable()) {
    std::fprintf(stderr, "could not build the table: %s\n", engine::ErrorMsg.c_str());
    status = 1;
  } else {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
  return status;
}
