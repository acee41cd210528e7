// Opening a question table as the exam program does at start-up: a table of 100,000 records with
// the question fields and a memo file of six plain 512-byte memos per record (the question, four
// answers and the feedback), opened read-only (OpenModeOverride 0), the first record read and
// its question memo read line by line through the memo text device.
//
// The table is built at run time in a fresh temporary folder and removed at the end. The memo
// file is written straight from its byte layout (the engine's memo writer flushes the file to
// the disk after every memo, which would make building 600,000 memos take many minutes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "samples/demo_maker.h"

namespace {

constexpr int32_t kRecords = 100000;
constexpr int kMemosPerRecord = 6;
constexpr uint16_t kBlock = 512;
const char* const kMemoFields[kMemosPerRecord] = {"QUESTION", "ANSWERA", "ANSWERB",
                                                  "ANSWERC",  "ANSWERD", "FEEDBACK"};

std::string g_path;

// Block of memo m (0 to 5) of record r (1-based); block 0 is the header.
int32_t MemoBlock(int32_t r, int m) { return 1 + (r - 1) * kMemosPerRecord + m; }

std::string MemoText(int32_t r, int m) {
  const std::string n = std::to_string(r);
  switch (m) {
    case 0:
      return "Question " + n +
             " of the benchmark table: which of the answers below is the\r\n"
             "correct one? Choose the best answer.\r\n";
    case 5:
      return "The explanation of question " + n + ", shown with the answers.\r\n";
    default:
      return "Answer " + std::string(1, static_cast<char>('A' + m - 1)) + " of question " + n +
             "\r\n";
  }
}

bool WriteMemoFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> block(kBlock, 0);
  engine::PutU32LE(block.data(), static_cast<uint32_t>(MemoBlock(kRecords, kMemosPerRecord)));
  out.write(block.data(), kBlock);
  for (int32_t r = 1; r <= kRecords && out; ++r) {
    for (int m = 0; m < kMemosPerRecord; ++m) {
      std::fill(block.begin(), block.end(), 0);
      const std::string text = MemoText(r, m) + '\x1A';
      std::memcpy(block.data(), text.data(), text.size());
      out.write(block.data(), kBlock);
    }
  }
  out.close();
  return static_cast<bool>(out);
}

bool BuildTable(const std::string& path) {
  std::vector<engine::TFieldDef> fields = samples::QuestionFields();
  engine::MemoVersion = 0x83;
  engine::MemoBlockSize = kBlock;
  engine::TDbfFileRec t;
  engine::CreateDBF(t, path, static_cast<uint8_t>(fields.size()), fields);
  if (engine::ErrorCode != 0) return false;
  if (!WriteMemoFile(engine::ChangeExt(path, "DBT"))) return false;
  engine::SharedAccess = false;
  engine::USE(path, nullptr, 0);
  if (engine::ErrorCode != 0) return false;
  const std::string objective = "Network models and the layers of the OSI reference model";
  for (int32_t r = 1; r <= kRecords; ++r) {
    engine::ClearRecord();
    for (int m = 0; m < kMemosPerRecord; ++m) {
      engine::PutI32LE(engine::FieldAddress(engine::FieldNo(kMemoFields[m])), MemoBlock(r, m));
    }
    *engine::FieldAddress(engine::FieldNo("CHECKB")) = 1;
    uint8_t* slot = engine::FieldAddress(engine::FieldNo("OBJECTIVE"));
    slot[0] = static_cast<uint8_t>(objective.size());
    std::memcpy(slot + 1, objective.data(), objective.size());
    engine::Append();
    if (engine::ErrorCode != 0) return false;
  }
  engine::CloseArea();
  engine::SharedAccess = true;
  return engine::ErrorCode == 0;
}

void UseReadOnly(benchmark::State& state) {
  engine::OpenModeOverride = 0;  // as the exam program opens its question table
  engine::USE(g_path, nullptr, 0);
  if (engine::ErrorCode != 0) state.SkipWithError(engine::ErrorMsg.c_str());
}

// Reads every line of the current record's question memo; returns the line count.
int ReadQuestion() {
  int32_t ref = engine::GetI32LE(engine::FieldAddress(engine::FieldNo("QUESTION")));
  engine::TMemoDevice f;
  if (!f.Assign(ref) || f.Reset() != 0) return -1;
  int lines = 0;
  std::string line;
  while (!f.Eof() && f.ReadLn(line) == 0) {
    benchmark::DoNotOptimize(line.data());
    ++lines;
  }
  f.Close();
  return lines;
}

// USE, the first record and its question memo, then closing: the whole start-up path.
void BM_OpenAndReadFirstMemo(benchmark::State& state) {
  for (auto _ : state) {
    UseReadOnly(state);
    engine::GoTop();
    if (engine::RecCount() != kRecords || ReadQuestion() != 2) {
      state.SkipWithError("the table did not read back");
      break;
    }
    engine::CloseArea();
  }
}
BENCHMARK(BM_OpenAndReadFirstMemo)->Unit(benchmark::kMicrosecond);

// USE and closing alone.
void BM_OpenOnly(benchmark::State& state) {
  for (auto _ : state) {
    UseReadOnly(state);
    engine::CloseArea();
  }
}
BENCHMARK(BM_OpenOnly)->Unit(benchmark::kMicrosecond);

// The first record's question memo alone, the table open.
void BM_FirstMemoOnly(benchmark::State& state) {
  UseReadOnly(state);
  engine::GoTop();
  for (auto _ : state) {
    if (ReadQuestion() != 2) {
      state.SkipWithError("the memo did not read back");
      break;
    }
  }
  engine::CloseArea();
}
BENCHMARK(BM_FirstMemoOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunOverTable(argc, argv, "table_open_bench", "QUESTIONS.DBF", kRecords,
                             [](const std::string& path) {
                               g_path = path;
                               return BuildTable(path);
                             });
}
