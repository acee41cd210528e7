// Fuzz target for damaged index files: every input patches a copy of a sound index file (a
// two-level C(10) index of 60 keys, or a four-level C(100) index of 60 keys) and the engine
// then works on the copy: it opens it, walks it from GoTop to the end and back from
// GoBottom, seeks a few keys, appends a record, changes a record's key (which removes the old
// entry and inserts the new one) and deletes a key. The table is restored before every input.
//
// Input: the first byte picks the base file (bit 0) and whether the file is cut after the
// patches (bit 1, to the length the next two bytes give); then groups of three bytes, each an
// offset (two bytes, little-endian, modulo the file's length) and the byte written there.
//
// Beyond the sanitizers, the target checks that the unpatched files give no error at all, so
// that a change which breaks the sound path cannot hide behind the damaged inputs.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/index_build.h"
#include "engine/index_driver.h"
#include "engine/index_nav.h"
#include "engine/work_area.h"

namespace {

using namespace engine;

std::string g_dir;  // the folder of the files, removed at exit
std::string g_table;
std::string g_index;
std::string g_table_bytes[2];
std::string g_index_bytes[2];

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "ndx_fuzz setup: %s: %s\n", what, ErrorMsg.c_str());
    std::abort();
  }
}

void RemoveDir() {
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(out.good(), "write file");
}

// Sets field 1 of the native record (a C slot: length byte, then the text).
void SetKey(const std::string& key) {
  uint8_t* p = FieldAddress(1);
  p[0] = static_cast<uint8_t>(key.size());
  std::memcpy(p + 1, key.data(), key.size());
}

// Base b: table T.DBF with one field KEY C(10) or C(100), 60 records, and its index.
void BuildBase(int b) {
  const uint8_t len = b == 0 ? 10 : 100;
  std::vector<TFieldDef> fields = {{"KEY", 'C', len, 0}};
  TDbfFileRec t;
  CreateDBF(t, g_table, 1, fields);
  Check(ErrorCode == 0, "create table");
  USE(g_table + " exclusive", nullptr, 0);
  Check(ErrorCode == 0, "use table");
  for (int i = 0; i < 60; ++i) {
    ClearRecord();
    SetKey("KEY" + std::to_string(100 + (i * 37) % 60));
    Append();
    Check(ErrorCode == 0, "append");
  }
  MakeExprIndex("KEY", g_index);
  Check(ErrorCode == 0, "build index");
  CloseAll();
  g_table_bytes[b] = ReadAll(g_table);
  g_index_bytes[b] = ReadAll(g_index);
}

// The work on the copy; false when some step reported an error.
bool Exercise(int len) {
  bool clean = true;
  auto note = [&clean] {
    clean = clean && ErrorCode == 0;
    ErrorCode = 0;
  };
  try {
    Set_Index_To(g_index);
    note();
    GoTop();
    note();
    for (int i = 0; i < 200 && !dEOF(); ++i) {
      SKIP(1);
      note();
    }
    GoBottom();
    note();
    for (int i = 0; i < 200 && !dBOF(); ++i) {
      SKIP(-1);
      note();
    }
    for (const char* k : {"KEY130", "KEY1", "KEY159", "ZZZ"}) {
      Find(k);
      note();
    }
    ClearRecord();
    SetKey(std::string(len, 'M'));
    Append();
    note();
    GO(3);
    note();
    SetKey(std::string(len, 'N'));
    Replace();
    note();
    GO(5);
    note();
    if (TIndexRec* ix = CurrentIndex(1)) {
      std::vector<uint8_t> key(ix->Header.KeyLen);
      if (MakeRecordKey(*ix, key.data(), "")) clean = DeleteIndexKey(key.data(), 1) == 0 && clean;
      note();
    }
  } catch (const EWendalError&) {
    clean = false;
  }
  return clean;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  StartEngine();
  AbortOnError = false;
  SharedAccess = false;
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ndxfuzz.XXXXXX";
  Check(mkdtemp(tmpl.data()) != nullptr, "mkdtemp");
  g_dir = tmpl + "/";
  std::atexit(RemoveDir);
  g_table = g_dir + "T.DBF";
  g_index = g_dir + "T.NDX";
  BuildBase(0);
  BuildBase(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int b = size > 0 ? data[0] & 1 : 0;
  const bool cut = size > 0 && (data[0] & 2) != 0;
  size_t at = 1;
  std::string file = g_index_bytes[b];
  size_t cut_to = file.size();
  if (cut && size >= 3) {
    cut_to = (data[1] | (data[2] << 8)) % (file.size() + 1);
    at = 3;
  }
  bool patched = cut;
  for (; at + 3 <= size; at += 3) {
    const size_t offset = (data[at] | (data[at + 1] << 8)) % file.size();
    file[offset] = static_cast<char>(data[at + 2]);
    patched = true;
  }
  file.resize(cut_to);
  WriteAll(g_table, g_table_bytes[b]);
  WriteAll(g_index, file);

  USE(g_table + " exclusive", nullptr, 0);
  Check(ErrorCode == 0, "use table");
  const bool clean = Exercise(b == 0 ? 10 : 100);
  if (!patched && !clean) {
    std::fprintf(stderr, "ndx_fuzz: the sound index gave an error: %s\n", ErrorMsg.c_str());
    std::abort();
  }
  ErrorCode = 0;
  try {
    CloseAll();
  } catch (const EWendalError&) {
  }
  ErrorCode = 0;
  ErrorMsg.clear();
  return 0;
}
