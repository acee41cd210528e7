#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/hooks.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "tests/support/engine_fixture.h"

namespace {

using engine::AssignExpr;
using engine::ErrorCode;
using engine::ErrorMsg;
using engine::TExprBlock;
using engine::TFieldDef;

// Area 1: EXAM (current), area 2: CUST.
//   EXAM: 1 NAME C20, 2 AGE N3.0, 3 PRICE N10.2, 4 BORN D, 5 FLAG L, 6 NOTES M, 7 DATE D,
//         8 TINY N2.1, 9 RATE F8.3
//   CUST: 1 CNAME C15, 2 NAME C10
class ExprCompilerTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakeTable("exam", {{"NAME", 'C', 20, 0},
                       {"AGE", 'N', 3, 0},
                       {"PRICE", 'N', 10, 2},
                       {"BORN", 'D', 8, 0},
                       {"FLAG", 'L', 1, 0},
                       {"NOTES", 'M', 10, 0},
                       {"DATE", 'D', 8, 0},
                       {"TINY", 'N', 2, 1},
                       {"RATE", 'F', 8, 3}});
    MakeTable("cust", {{"CNAME", 'C', 15, 0}, {"NAME", 'C', 10, 0}});
    engine::Select(1);
    engine::USE(dir_ / "exam", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    engine::Select(2);
    engine::USE(dir_ / "cust", nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    engine::Select(1);
  }

  void MakeTable(const std::string& name, std::vector<TFieldDef> fields) {
    engine::TDbfFileRec t;
    engine::CreateDBF(t, dir_ / name, static_cast<uint8_t>(fields.size()), fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }
};

// The code list as text: data entries as their value ('text', a number, #int), instructions as
// opcode/operand count, the end instruction as "end".
std::string Render(const TExprBlock& b) {
  std::string out;
  for (const engine::TCodeEntry& e : b.Code) {
    if (!out.empty()) out += ' ';
    if (e.Opcode == engine::kOpEnd) {
      out += "end";
    } else if (e.Opcode != engine::kOpData) {
      out += std::to_string(e.Opcode) + "/" + std::to_string(e.Operands);
    } else if (e.TypeCode == engine::kTypeC) {
      out += "'" + std::string(e.Text) + "'";
    } else if (e.TypeCode == engine::kTypeN) {
      char buf[32];
      auto res = std::to_chars(buf, buf + sizeof buf, e.Num);
      out.append(buf, res.ptr);
    } else {
      out += "#" + std::to_string(e.Int);
    }
  }
  return out;
}

std::string Message(const std::string& what, const std::string& excerpt) {
  return "Error in expression : " + what + "\r\n" + excerpt + "\r\n [AssignExpr]";
}

const std::string kSyntax = "Syntax error";
const std::string kOverflow = "Parser_stack_overflow";
std::string InExpr(const std::string& op) {
  return "PARSER:Type mismatch in expression \"" + op + "\"";
}
std::string InFunc(const std::string& f) {
  return "PARSER:Type mismatch in function \"" + f + "\"";
}

TEST_F(ExprCompilerTest, CodeListsArePostfixWithOperandCounts) {
  struct Case {
    const char* text;
    const char* code;
    const char* what;
  };
  const Case cases[] = {
      {"2**3**2", "2 3 357/2 2 357/2 end", "power is left-associative"},
      {"2^3", "2 3 357/2 end", "^ is the power token"},
      {"-2**2", "2 383/1 2 357/2 end", "unary minus binds only its operand"},
      {"1+2*3", "1 2 3 355/2 347/2 end", "* before +"},
      {"(1+2)*3", "1 2 347/2 3 355/2 end", "parentheses emit nothing"},
      {"1-2-3", "1 2 351/2 3 351/2 end", "minus is left-associative"},
      {"+1", "1 end", "unary plus emits nothing"},
      {"2*-3", "2 3 383/1 355/2 end", "prefix operator after an operator"},
      {".NOT. FLAG = FLAG", "#5 323/1 382/1 #5 323/1 361/2 end", ".NOT. before ="},
      {".NOT. .T. .AND. .F.", "#1 382/1 #0 381/2 end", ".NOT. before .AND."},
      {"FLAG .OR. FLAG .AND. .F.", "#5 323/1 #5 323/1 #0 381/2 380/2 end", ".AND. before .OR."},
      {"AGE > 1 .AND. NAME = 'SM'", "#2 322/1 1 364/2 #1 321/1 'SM' 360/2 381/2 end",
       "comparisons before .AND."},
      {"'A' $ NAME = FLAG", "'A' #1 321/1 363/2 #5 323/1 361/2 end", "$ before ="},
      {"UPPER(NAME)+DTOS(BORN)", "#1 321/1 318/1 #4 324/1 277/1 350/2 end", "functions"},
      {"STR(PRICE,10,2)", "#3 322/1 10 2 311/3 end", "STR with three arguments"},
      {"STR(PRICE)", "#3 322/1 311/1 end", "STR with one argument"},
      {"IIF(FLAG,'Y','N')", "#5 323/1 'Y' 'N' 283/3 end", "IIF"},
      {"SUBSTR(NAME,2,3)", "#1 321/1 2 3 313/3 end", "SUBSTR"},
      {"STUFF(NAME,1,2,'X')", "#1 321/1 1 2 'X' 312/4 end", "STUFF"},
      {"MAX(BORN,BORN)", "#4 324/1 #4 324/1 294/2 end", "MAX of dates"},
      {"RECNO()", "300/0 end", "function without arguments"},
      {"DELETED()", "272/0 end", "DELETED"},
      {"CUST->CNAME", "#1 #2 326/2 end", "qualified field: field number, area number"},
      {"EXAM->NOTES", "#6 #1 330/2 end", "qualified memo field of the current area"},
      {"cust->name+name", "#2 #2 326/2 #1 321/1 350/2 end", "lower case; same name, two tables"},
      {"DATE", "#7 324/1 end", "a field named DATE"},
      {"DATE()", "270/0 end", "DATE followed by ( is the function"},
      {"DATE ( )", "270/0 end", "blanks before ( still make it the function"},
      {"BORN+1", "#4 324/1 1 349/2 end", "date plus days"},
      {"1+BORN", "1 #4 324/1 348/2 end", "days plus date"},
      {"BORN-1", "#4 324/1 1 352/2 end", "date minus days"},
      {"BORN-BORN", "#4 324/1 #4 324/1 353/2 end", "days between dates"},
      {"NAME-'X'", "#1 321/1 'X' 354/2 end", "text minus text"},
      {"NAME=='SM'", "#1 321/1 'SM' 362/2 end", "exact equality"},
      {"NAME#'SM'", "#1 321/1 'SM' 372/2 end", "# is <>"},
      {"FLAG<>.T.", "#5 323/1 #1 373/2 end", "<> of logicals"},
      {"BORN<=BORN", "#4 324/1 #4 324/1 375/2 end", "<= of dates"},
      {"NAME>=NAME", "#1 321/1 #1 321/1 379/2 end", ">= of texts"},
      {"1.5E3", "1500 end", "fraction and exponent"},
      {"1.", "1 end", "a number may end with its point"},
      {"2E+2*1e-2", "200 0.01 355/2 end", "signed exponents, lower-case e"},
      {"1.E1", "10 end", "point then exponent"},
      {"1E-999", "0 end", "a number too small to hold is 0"},
  };
  for (const Case& c : cases) {
    TExprBlock* b = AssignExpr(c.text);
    ASSERT_NE(b, nullptr) << c.what << ": " << ErrorMsg;
    EXPECT_EQ(Render(*b), c.code) << c.what;
    engine::FreeExpr(b);
  }
}

TEST_F(ExprCompilerTest, ResultTypeWidthDecimalsAndPoolSize) {
  struct Case {
    const char* text;
    char type;
    int width;
    int decimals;
    int pool;
    const char* what;
  };
  const Case cases[] = {
      {"NAME", 'C', 20, 0, 21, "a character field alone keeps its width"},
      {"NAME+'X'", 'C', 0, 0, 23, "anything more has width 0"},
      {"UPPER(NAME)", 'C', 20, 0, 21, "a function without a pool keeps the field's width"},
      {"(NAME)", 'C', 20, 0, 21, "parentheses change nothing"},
      {"DTOS(BORN)", 'C', 8, 0, 9, "DTOS of a date field"},
      {"CUST->CNAME", 'C', 15, 0, 16, "qualified character field"},
      {"STR(AGE)", 'C', 0, 0, 256, "STR reserves 256 bytes"},
      {"CDOW(BORN)+CHR(65)", 'C', 0, 0, 17, "keyword pool sizes add up"},
      {"CMON(BORN)", 'C', 0, 0, 15, "an abbreviation reserves the function's pool"},
      {"PRICE", 'N', 10, 2, 0, "N(10,2) field"},
      {"AGE", 'N', 3, 0, 0, "N(3,0) field"},
      {"TINY", 'N', 12, 1, 0, "a field narrower than decimals + 2 gets decimals + 11"},
      {"RATE", 'N', 8, 3, 0, "F fields are numbers"},
      {"123.45", 'N', 13, 2, 0, "a literal: default decimals, width 13"},
      {"AGE+1", 'N', 13, 2, 0, "a literal read last records width 0"},
      {"2*PRICE", 'N', 10, 2, 0, "a field read last records its width"},
      {"LEN(NAME)", 'N', 20, 2, 21, "the last field read gives the width"},
      {"BORN", 'D', 8, 0, 0, "date field"},
      {"BORN+1", 'D', 8, 0, 0, "date arithmetic"},
      {"FLAG", 'L', 1, 0, 0, "logical field"},
      {"NAME='SM'", 'L', 1, 0, 24, "comparison"},
      {"NOTES", 'M', 256, 0, 256, "memo field"},
      {"(NOTES)", 'M', 256, 0, 256, "memo in parentheses"},
  };
  for (const Case& c : cases) {
    TExprBlock* b = AssignExpr(c.text);
    ASSERT_NE(b, nullptr) << c.what << ": " << ErrorMsg;
    EXPECT_EQ(b->ResultType, c.type) << c.what;
    EXPECT_EQ(b->Width, c.width) << c.what;
    EXPECT_EQ(b->Decimals, c.decimals) << c.what;
    EXPECT_EQ(b->PoolSize, c.pool) << c.what;
    EXPECT_EQ(b->Pool.size(), static_cast<size_t>(c.pool)) << c.what;
    if (c.type == 'C' || c.type == 'M') {
      EXPECT_EQ(b->Result, b->Pool.data()) << c.what;
    }
    EXPECT_EQ(b->Source, c.text) << c.what;
    EXPECT_EQ(b->PoolNext, 0u) << c.what;
    engine::FreeExpr(b);
  }
}

TEST_F(ExprCompilerTest, CompileErrorsHaveExactMessages) {
  struct Case {
    const char* text;
    std::string what_msg;
    const char* what;
  };
  const Case cases[] = {
      {"UPPER(3)", InFunc("UPPER"), "function argument type"},
      {"UPPE(3)", InFunc("UPPER"), "an abbreviation names the function in full"},
      {"'A' * 2", InExpr("*"), "operator operand types"},
      {"NAME AGE", kOverflow, "two operands without an operator"},
      {"NAME)", kOverflow, "a stray )"},
      {"NAME,", kOverflow, "a stray ,"},
      {"(NAME AGE)", kSyntax, "inside parentheses the same is a syntax error"},
      {"UPPER(NAME AGE)", kSyntax, "inside a call too"},
      {"'A'*2 NAME", InExpr("*"), "a pending reduction's type error comes first"},
      {"SUBSTR(NAME,2)", kSyntax, "SUBSTR needs three arguments"},
      {"SUBSTR(NAME,2,3,4)", kSyntax, "and no more"},
      {"ABS(1,2)", kSyntax, "too many arguments"},
      {"DATE(1)", kSyntax, "an argument where none is taken"},
      {"STR()", kSyntax, "STR needs at least one"},
      {"STR(1,2,3,4)", kSyntax, "STR takes at most three"},
      {"RECNO", kSyntax, "parentheses are required"},
      {"UPPER(3,4)", kSyntax, "a wrong count is found before the types"},
      {"DEL()", kSyntax, "DEL is no abbreviation"},
      {"UPP(NAME)", kSyntax, "UPP is no abbreviation"},
      {"NOPE->NAME", kSyntax, "unknown alias"},
      {"CUST->AGE", kSyntax, "field not in the aliased table"},
      {"CUST -> CNAME", kSyntax, "-> must follow the alias directly"},
      {"FOO", kSyntax, "unknown word"},
      {"NAME FOO", kSyntax, "an unknown word is a syntax error wherever it stands"},
      {"", kSyntax, "empty text"},
      {"   ", kSyntax, "blanks only"},
      {"NAME+", kSyntax, "missing right operand"},
      {"()", kSyntax, "empty parentheses"},
      {"(NAME", kSyntax, "missing )"},
      {".OR. FLAG", kSyntax, "binary operator in operand position"},
      {"1E", kSyntax, "exponent without digits"},
      {"1E+", kSyntax, "signed exponent without digits"},
      {"1.2.3", kSyntax, "two points"},
      {"1.5E3E", kSyntax, "two exponents"},
      {"1E999", kSyntax, "a number too large to hold"},
      {".5", kSyntax, "a number cannot start with ."},
      {"'abc", kSyntax, "unterminated text"},
      {"\"abc'", kSyntax, "the closing quote must be the same kind"},
      {"NAME @ NAME", kOverflow, "a stray character after a complete expression"},
      {"@", kSyntax, "a stray character as operand"},
      {"NOTES+'X'", InExpr("+"), "memo inside an operator"},
      {"NOTES=NOTES", InExpr("="), "memo compared"},
      {"UPPER(NOTES)", InFunc("UPPER"), "memo as an argument"},
      {".NOT. NOTES", InExpr(".NOT."), "memo under .NOT."},
      {".NOT. NAME = FLAG", InExpr(".NOT."), ".NOT. takes NAME only"},
      {"-'A'", InExpr("Unary -"), "unary minus of text"},
      {"+'A'", InExpr("Unary +"), "unary plus of text"},
      {"'A'^2", InExpr("** or ^"), "power of text"},
      {"'A'**2", InExpr("** or ^"), "** is ^"},
      {"NAME == 'A' < 'B'", InExpr("=="), "< binds tighter than =="},
      {"NAME # 1", InExpr("<>"), "# is named <>"},
      {"NAME <> 1", InExpr("<>"), "<>"},
      {"NAME $ 1", InExpr("$"), "$"},
      {"NAME == 1", InExpr("=="), "=="},
      {"FLAG = 1", InExpr("="), "="},
      {"FLAG > FLAG", InExpr(">"), "> of logicals"},
      {"FLAG < FLAG", InExpr("<"), "< of logicals"},
      {"FLAG <= FLAG", InExpr("<="), "<= of logicals"},
      {"FLAG >= FLAG", InExpr(">="), ">= of logicals"},
      {"1 .OR. 2", InExpr(".OR."), ".OR. of numbers"},
      {"1 .AND. 2", InExpr(".AND."), ".AND. of numbers"},
      {"BORN*2", InExpr("*"), "date times"},
      {"1/'A'", InExpr("/"), "divide by text"},
      {"2-BORN", InExpr("-"), "number minus date"},
      {"BORN+BORN", InExpr("+"), "date plus date"},
      {"IIF(.T.,1,2)", InFunc("IIF"), "IIF gives texts only"},
      {"MAX(1,BORN)", InFunc("MAX"), "MAX of mixed types"},
      {"MAX('A','B')", InFunc("MAX"), "MAX of texts"},
      {"DTOS(NAME)", InFunc("DTOS"), "DTOS of a text"},
  };
  const size_t before = engine::ExprBlockCount();
  for (const Case& c : cases) {
    ErrorCode = 0;
    TExprBlock* b = AssignExpr(c.text);
    EXPECT_EQ(b, nullptr) << c.what;
    EXPECT_EQ(ErrorCode, 351) << c.what;
    EXPECT_EQ(ErrorMsg, Message(c.what_msg, "[" + std::string(c.text) + "]")) << c.what;
    EXPECT_EQ(engine::ExprBlockCount(), before) << c.what;
  }
}

TEST_F(ExprCompilerTest, ExcerptIsCutAroundTheLexerPoint) {
  struct Case {
    std::string text;
    std::string what_msg;
    std::string excerpt;
    const char* what;
  };
  const std::string name10 = "NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+";
  const Case cases[] = {
      // UPPER(3) is reduced at its ")": the point is 80, the excerpt starts at 30.
      {"UPPER(NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(3)+"
       "UPPER(NAME)+UPPER(NAME)",
       InFunc("UPPER"), "[...NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(NAME)+UPPER(3)+...]",
       "cut at both ends"},
      // The syntax error is found at the end (point 60): 50 characters before it.
      {"NAME+NAME+" + name10, kSyntax, "[..." + name10 + "]", "cut start only"},
      // The * is reduced when the + after 2 is read: point 6.
      {"'A'*2+" + name10 + "NAME", InExpr("*"),
       "['A'*2+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+...]", "cut end only"},
      {std::string(149, '-') + "1", kOverflow, "[..." + std::string(49, '-') + "1]",
       "149 prefix operators overflow the parser stack at the operand"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AssignExpr(c.text), nullptr) << c.what;
    EXPECT_EQ(ErrorCode, 351) << c.what;
    EXPECT_EQ(ErrorMsg, Message(c.what_msg, c.excerpt)) << c.what;
  }
}

TEST_F(ExprCompilerTest, ParserStackAndTextLengthLimits) {
  // 148 prefix operators and the operand fill the 150 entries exactly.
  TExprBlock* b = AssignExpr(std::string(148, '-') + "1");
  ASSERT_NE(b, nullptr) << ErrorMsg;
  EXPECT_EQ(b->Code.size(), 1u + 148u + 1u);
  engine::FreeExpr(b);

  // Deep parentheses within 255 characters.
  b = AssignExpr(std::string(127, '(') + "1" + std::string(127, ')'));
  ASSERT_NE(b, nullptr) << ErrorMsg;
  EXPECT_EQ(Render(*b), "1 end");
  engine::FreeExpr(b);

  // A long left-associative chain never piles up on the stack.
  std::string chain = "1";
  while (chain.size() < 255) chain += "+1";
  ASSERT_EQ(chain.size(), 255u);
  b = AssignExpr(chain);
  ASSERT_NE(b, nullptr) << ErrorMsg;
  engine::FreeExpr(b);

  // Over 255 characters is refused before it is read.
  const std::string long_text = chain + "1";
  EXPECT_EQ(AssignExpr(long_text), nullptr);
  EXPECT_EQ(ErrorCode, 351);
  EXPECT_EQ(ErrorMsg, Message("Expression longer than 255 characters",
                              "[" + long_text.substr(0, 51) + "...]"));
}

TEST_F(ExprCompilerTest, LiteralsAreKeptInTheBlock) {
  TExprBlock* b = AssignExpr("NAME = 'Sm\"ith' .OR. NAME = \"it's\"");
  ASSERT_NE(b, nullptr) << ErrorMsg;
  ASSERT_EQ(b->Constants.size(), 2u);
  EXPECT_EQ(b->Constants.front(), "Sm\"ith");
  EXPECT_EQ(b->Constants.back(), "it's");
  EXPECT_EQ(b->Code[2].Text, b->Constants.front().c_str());
  EXPECT_EQ(b->Code[2].TypeCode, engine::kTypeC);
  EXPECT_EQ(b->PoolSize, 21 + 7 + 21 + 5);
  engine::FreeExpr(b);
}

TEST_F(ExprCompilerTest, AbbreviationsAreRowsOfTheirOwn) {
  struct Case {
    const char* text;
    int32_t opcode;
  };
  const Case cases[] = {
      {"DELE()", 272},         {"DELET()", 272},         {"DELETE()", 272},
      {"DELETED()", 272},      {"CMONT(BORN)", 267},     {"LOWE(NAME)", 292},
      {"LTRI(NAME)", 293},     {"MONT(BORN)", 297},      {"RECN()", 300},
      {"REPL(NAME,2)", 301},   {"REPLICA(NAME,2)", 301}, {"RIGH(NAME,2)", 302},
      {"ROUN(1,2)", 303},      {"RTRI(NAME)", 305},      {"SOUN(NAME)", 308},
      {"SOUNDE(NAME)", 308},   {"SPAC(2)", 310},         {"STUF(NAME,1,1,'')", 312},
      {"SUBS(NAME,1,1)", 313}, {"subst(name,1,1)", 313}, {"UPPE(NAME)", 318},
  };
  for (const Case& c : cases) {
    TExprBlock* b = AssignExpr(c.text);
    ASSERT_NE(b, nullptr) << c.text << ": " << ErrorMsg;
    ASSERT_GE(b->Code.size(), 2u) << c.text;
    EXPECT_EQ(b->Code[b->Code.size() - 2].Opcode, c.opcode) << c.text;
    engine::FreeExpr(b);
  }
}

TEST_F(ExprCompilerTest, FieldsNeedATableInTheirArea) {
  engine::Select(3);  // empty area: no word is a field
  EXPECT_EQ(AssignExpr("NAME"), nullptr);
  EXPECT_EQ(ErrorMsg, Message(kSyntax, "[NAME]"));
  TExprBlock* b = AssignExpr("CUST->CNAME");  // a qualified field is found from any area
  ASSERT_NE(b, nullptr) << ErrorMsg;
  engine::FreeExpr(b);

  engine::Select(2);
  engine::CloseArea();
  engine::Select(1);
  EXPECT_EQ(AssignExpr("CUST->CNAME"), nullptr);
  EXPECT_EQ(ErrorMsg, Message(kSyntax, "[CUST->CNAME]"));
}

TEST_F(ExprCompilerTest, ParserErrorCodesAreClearedByTheNextCompile) {
  ErrorCode = 358;
  TExprBlock* b = AssignExpr("NAME");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ErrorCode, 0);
  engine::FreeExpr(b);

  ErrorCode = 2;  // not a parser code: left alone
  b = AssignExpr("NAME");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ErrorCode, 2);
  engine::FreeExpr(b);
}

TEST_F(ExprCompilerTest, ShortMemoryIsError217) {
  engine::SetFreeHeapForTest(8);
  EXPECT_EQ(AssignExpr("NAME"), nullptr);
  EXPECT_EQ(ErrorCode, 217);
  EXPECT_EQ(ErrorMsg, " [AssignExpr]");
  engine::SetFreeHeapForTest(-1);
  EXPECT_EQ(engine::ExprBlockCount(), 0u);
}

TEST_F(ExprCompilerTest, BlocksAreFreedOnceAndByReset) {
  TExprBlock* a = AssignExpr("NAME");
  TExprBlock* b = AssignExpr("AGE");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(engine::ExprBlockCount(), 2u);

  engine::CurrentKeyBlock = a;
  TExprBlock* copy = a;
  engine::FreeExpr(a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(engine::CurrentKeyBlock, nullptr) << "a freed key block is no longer current";
  EXPECT_EQ(engine::ExprBlockCount(), 1u);

  // A block that is not in the list (already freed, or never compiled) is left alone.
  engine::FreeExpr(copy);
  EXPECT_NE(copy, nullptr);
  TExprBlock stranger;
  TExprBlock* p = &stranger;
  engine::FreeExpr(p);
  EXPECT_EQ(p, &stranger);
  EXPECT_EQ(engine::ExprBlockCount(), 1u);

  engine::ResetEngine();
  EXPECT_EQ(engine::ExprBlockCount(), 0u);
}

TEST_F(ExprCompilerTest, ParserHooksReachTheCompiler) {
  ASSERT_TRUE(engine::ParserHooks.Present);
  ASSERT_NE(engine::ParserHooks.Compile, nullptr);
  ASSERT_NE(engine::ParserHooks.FreeBlock, nullptr);
  EXPECT_NE(engine::ParserHooks.Evaluate, nullptr);
  EXPECT_NE(engine::ParserHooks.CopyResult, nullptr);
  EXPECT_NE(engine::ParserHooks.EvaluateCurrent, nullptr);
  void* b = engine::ParserHooks.Compile("UPPER(NAME)");
  ASSERT_NE(b, nullptr) << ErrorMsg;
  EXPECT_EQ(static_cast<TExprBlock*>(b)->ResultType, 'C');
  engine::ParserHooks.FreeBlock(b);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(engine::ExprBlockCount(), 0u);
  EXPECT_EQ(engine::ParserHooks.Compile("NAME AGE"), nullptr);
  EXPECT_EQ(ErrorCode, 351);
}

}  // namespace
