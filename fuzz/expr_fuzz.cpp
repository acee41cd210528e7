// Fuzz target for key expressions: every input is compiled with AssignExpr and, when it
// compiles, evaluated on each record of a small table (every field type and a memo), past its
// last record and while another table is current, then freed. The first input byte picks the
// date mode and the century setting; the rest is the expression text.
//
// Beyond the sanitizers, the target checks what must hold for every block: a result for
// every evaluation, character results within 255 characters at the pool start, no instruction
// whose operands the evaluator finds missing or of the wrong type (the compiler's type rules
// and the evaluator agree), and no block left in the engine's list.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/memo_device.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/language.h"

namespace {

using namespace engine;

std::string g_dir;  // the table folder, removed at exit

void Fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "expr_fuzz: %s for expression [%s]: %s\n", what, text.c_str(),
               ErrorMsg.c_str());
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "expr_fuzz setup: %s: %s\n", what, ErrorMsg.c_str());
    std::abort();
  }
}

void RemoveDir() {
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
}

std::string Pad(std::string s, size_t n, bool left = false) {
  if (s.size() >= n) return s.substr(0, n);
  return left ? std::string(n - s.size(), ' ') + s : s + std::string(n - s.size(), ' ');
}

// Appends a record given in file form through the file layer.
void AppendRecord(const std::string& bytes) {
  TDbfFileRec& t = CurrentWorkArea()->Dbf;
  Check(bytes.size() == t.RecLen, "record length");
  std::memcpy(t.RecBuf.data(), bytes.data(), bytes.size());
  AppendDbfRecord(t);
  Check(ErrorCode == 0, "append");
}

int32_t WriteMemo(const std::vector<std::string>& lines) {
  int32_t ref = 0;
  TMemoDevice f;
  Check(f.Assign(ref) && f.Rewrite() == 0, "memo open");
  for (const std::string& line : lines) Check(f.WriteLn(line) == 0, "memo write");
  Check(f.Close() == 0, "memo close");
  return ref;
}

void BuildTables() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/exprfuzz.XXXXXX";
  Check(mkdtemp(tmpl.data()) != nullptr, "mkdtemp");
  g_dir = tmpl + "/";
  std::atexit(RemoveDir);

  // Area 1: PEOPLE with every field type.
  std::vector<TFieldDef> people = {{"NAME", 'C', 20, 0},  {"AGE", 'N', 3, 0},
                                   {"PAY", 'N', 10, 2},   {"BORN", 'D', 8, 0},
                                   {"ACTIVE", 'L', 1, 0}, {"NOTES", 'M', 10, 0}};
  TDbfFileRec t;
  CreateDBF(t, g_dir + "PEOPLE.DBF", 6, people);
  Check(ErrorCode == 0, "create PEOPLE");
  Select(1);
  USE(g_dir + "PEOPLE.DBF", nullptr, 0);
  Check(ErrorCode == 0, "use PEOPLE");
  const int32_t memo = WriteMemo({"First line", std::string(300, 'x'), "Last"});
  AppendRecord(" " + Pad("SMITH", 20) + Pad("42", 3, true) + Pad("1234.50", 10, true) +
               "19991231T" + Pad(std::to_string(memo), 10, true));
  AppendRecord(" " + Pad("jones", 20) + Pad("", 3) + Pad("-0.125", 10, true) + Pad("", 8) + "?" +
               Pad("", 10));
  AppendRecord("*" + Pad("Brown \x82", 20) + Pad("9x", 3, true) + Pad("1E300", 10, true) +
               "20000229y" + Pad("", 10));

  // Area 2: CODES, reached as CODES->CODE and CODES->RATE.
  std::vector<TFieldDef> codes = {{"CODE", 'C', 5, 0}, {"RATE", 'F', 8, 3}};
  CreateDBF(t, g_dir + "CODES.DBF", 2, codes);
  Check(ErrorCode == 0, "create CODES");
  Select(2);
  USE(g_dir + "CODES.DBF", nullptr, 0);
  Check(ErrorCode == 0, "use CODES");
  AppendRecord(" AB12    1.500");
  GoTop();
  Select(1);
  GoTop();
}

// Evaluates the block once and checks its result.
void EvaluateAndCheck(TExprBlock* b, const std::string& text) {
  ErrorCode = 0;
  const void* r = EvaluateExpr(b);
  if (!r) Fail("no result", text);
  if (ErrorCode == 358 && ErrorMsg.find("Invalid code list") != std::string::npos)
    Fail("operands missing or of the wrong type", text);
  if (b->ResultType == 'C' || b->ResultType == 'M') {
    const char* s = static_cast<const char*>(r);
    const size_t n = std::strlen(s);
    if (n > 255) Fail("text longer than 255", text);
    if (!b->Pool.empty() && s != b->Pool.data()) Fail("text not at the pool start", text);
    if (ExprResultText(b) != std::string(s, n)) Fail("copied text differs", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  platform::SetTestNow({2024, 3, 15});
  platform::SetTestLanguage("en_US.UTF-8");
  StartEngine();
  AbortOnError = false;
  BuildTables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Century = (data[0] & 0x10) != 0;
  SetDateMode(data[0] % 9);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  ErrorCode = 0;
  TExprBlock* b = AssignExpr(text);
  if (b) {
    for (int32_t rec = 1; rec <= 3; ++rec) {
      GO(rec);
      EvaluateAndCheck(b, text);
    }
    SKIP(1);  // past the last record
    EvaluateAndCheck(b, text);
    Select(2);  // a block compiled for PEOPLE evaluated on CODES
    EvaluateAndCheck(b, text);
    Select(1);
    FreeExpr(b);
    if (b) Fail("block not freed", text);
  }
  if (ExprBlockCount() != 0) Fail("blocks left in the list", text);
  ErrorCode = 0;
  ErrorMsg.clear();
  return 0;
}
