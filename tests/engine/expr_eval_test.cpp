// Expression evaluation: a table of expressions and their values over a small table (operators
// and precedence, every function, the string comparison rules, number formatting), dates in
// every date mode, field fetch of every type, memo texts, blocks evaluated on several records
// and against other tables, the evaluation errors and the shared helpers of the index unit.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dates.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/expr_util.h"
#include "engine/memo_device.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/clock.h"
#include "platform/core/language.h"
#include "platform/core/locale_settings.h"
#include "tests/support/engine_fixture.h"

namespace {

using namespace engine;

// One record in file form: the deletion flag, then the fields' bytes.
struct Person {
  bool deleted;
  std::string name;                // C(20)
  std::string age;                 // N(3,0)
  std::string pay;                 // N(10,2)
  std::string born;                // D, YYYYMMDD
  char active;                     // L
  std::vector<std::string> notes;  // M: the memo's lines (none: no memo)
};

std::string Pad(const std::string& s, size_t n) {
  std::string r = s.substr(0, n);
  r.resize(n, ' ');
  return r;
}

std::string PadLeft(const std::string& s, size_t n) {
  return s.size() >= n ? s : std::string(n - s.size(), ' ') + s;
}

class ExprEvalTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    platform::SetTestLanguage("en_US.UTF-8");
    platform::SetTestNow({2024, 3, 15});
    platform::ResetLocaleSettings();
    EngineTest::SetUp();
  }
  void TearDown() override {
    EngineTest::TearDown();
    platform::ClearTestLanguage();
    platform::ClearTestNow();
    platform::ResetLocaleSettings();
  }

  // PEOPLE: NAME C(20), AGE N(3), PAY N(10,2), BORN D, ACTIVE L, NOTES M, opened in the
  // current area with the given records, positioned on the first.
  void OpenPeople(const std::vector<Person>& people, const std::string& name = "PEOPLE") {
    std::vector<TFieldDef> fields = {{"NAME", 'C', 20, 0},  {"AGE", 'N', 3, 0},
                                     {"PAY", 'N', 10, 2},   {"BORN", 'D', 8, 0},
                                     {"ACTIVE", 'L', 1, 0}, {"NOTES", 'M', 10, 0}};
    TDbfFileRec t;
    CreateDBF(t, dir_ / (name + ".DBF"), 6, fields);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    USE(dir_ / (name + ".DBF"), nullptr, 0);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
    for (const Person& p : people) {
      int32_t ref = 0;
      if (!p.notes.empty()) {
        TMemoDevice f;
        ASSERT_TRUE(f.Assign(ref));
        ASSERT_EQ(f.Rewrite(), 0);
        for (const std::string& line : p.notes) ASSERT_EQ(f.WriteLn(line), 0);
        ASSERT_EQ(f.Close(), 0);
      }
      const std::string bytes = std::string(1, p.deleted ? '*' : ' ') + Pad(p.name, 20) +
                                PadLeft(p.age, 3) + PadLeft(p.pay, 10) + Pad(p.born, 8) + p.active +
                                (ref ? PadLeft(std::to_string(ref), 10) : Pad("", 10));
      AppendRecord(bytes);
    }
    GoTop();
  }

  // Appends one record given in file form through the file layer.
  static void AppendRecord(const std::string& bytes) {
    TDbfFileRec& t = CurrentWorkArea()->Dbf;
    ASSERT_EQ(bytes.size(), t.RecLen);
    std::memcpy(t.RecBuf.data(), bytes.data(), bytes.size());
    AppendDbfRecord(t);
    ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  }

  void OpenStandard() {
    OpenPeople({{false, "SMITH", "42", "1234.50", "19991231", 'T', {"Line one", "Line two"}},
                {false, "jones", "7", "", "", 'n', {}},
                {true, "Brown", "12a", "-0.5", "20000229", 'y', {}}});
  }

  // The value of a block's result, tagged with its type: "N:64", "C:ABC", "L:.T.",
  // "D:20000229" or "D:blank".
  static std::string Render(const TExprBlock* b, const void* r) {
    switch (b->ResultType) {
      case 'C':
      case 'M':
        return std::string(1, b->ResultType) + ":" + static_cast<const char*>(r);
      case 'L':
        return *static_cast<const int32_t*>(r) ? "L:.T." : "L:.F.";
      case 'D': {
        const double d = *static_cast<const double*>(r);
        return d == 0 ? "D:blank" : "D:" + DayNumberToText(static_cast<int64_t>(d));
      }
      default: {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, *static_cast<const double*>(r),
                                 std::chars_format::general, 12);
        return "N:" + std::string(buf, res.ptr);
      }
    }
  }

  // Compiles, evaluates and frees an expression; the rendered value.
  static std::string Eval(const std::string& expr) {
    ErrorCode = 0;
    ErrorMsg.clear();
    TExprBlock* b = AssignExpr(expr);
    if (!b) return "compile error: " + ErrorMsg;
    ErrorCode = 0;
    const std::string s = Render(b, EvaluateExpr(b));
    FreeExpr(b);
    return s;
  }
};

struct Case {
  const char* expr;
  const char* expected;
  uint16_t error;  // ErrorCode after the evaluation
  const char* name;
};

// Record 1 of the standard table: NAME "SMITH" (20 wide), AGE 42, PAY 1234.50, BORN
// 31 December 1999 (a Friday), ACTIVE true, NOTES "Line one" / "Line two". Date mode 0,
// Century off, today 15 March 2024.
TEST_F(ExprEvalTest, ExpressionTable) {
  OpenStandard();
  const Case cases[] = {
      // Precedence and associativity
      {"2**3**2", "N:64", 0, "power is left-associative"},
      {"2^3^2", "N:64", 0, "^ is power"},
      {"1+2*3", "N:7", 0, "product before sum"},
      {"-2**2", "N:4", 0, "unary minus binds its operand only"},
      {"(1+2)*3", "N:9", 0, "parentheses"},
      {"10-4-3", "N:3", 0, "minus is left-associative"},
      {"2*3/4", "N:1.5", 0, "product and quotient left to right"},
      {".NOT. .T. .AND. .F.", "L:.F.", 0, ".NOT. before .AND."},
      {".T. .OR. .F. .AND. .F.", "L:.T.", 0, ".AND. before .OR."},
      {".NOT. ACTIVE = .F.", "L:.T.", 0, ".NOT. takes only ACTIVE"},
      {"1+2=3 .AND. 'A'<'B'", "L:.T.", 0, "comparisons before .AND."},
      {"-AGE", "N:-42", 0, "unary minus on a field"},
      {"+AGE", "N:42", 0, "unary plus"},
      {"0**-1", "N:0", 358, "infinite power is an evaluation error"},
      // Arithmetic
      {"7/2", "N:3.5", 0, "quotient"},
      {"1/0", "N:1e+250", 358, "divide by 0 gives 1.0E250"},
      {"1/0+1", "N:1e+250", 358, "evaluation goes on after divide by 0"},
      {"2**0.5", "N:1.41421356237", 0, "fractional power"},
      {"(-2)**3", "N:-8", 0, "negative base, whole exponent"},
      {"(-8)**(1/3)", "N:0", 358, "negative base, fractional exponent"},
      {"1E200*1E200", "N:0", 358, "overflow is an evaluation error"},
      {"BORN+1", "D:20000101", 0, "date plus days"},
      {"1+BORN", "D:20000101", 0, "days plus date"},
      {"BORN-31", "D:19991130", 0, "date minus days"},
      {"BORN-CTOD('12/01/1999')", "N:30", 0, "days between dates"},
      {"'AB'+'CD'", "C:ABCD", 0, "concatenation"},
      {"'ABC  '-'DE'", "C:ABCDE  ", 0, "minus moves the blanks to the end"},
      {"NAME-'X'", "C:SMITHX               ", 0, "minus on a padded field"},
      {"'   '-'A'", "C:A   ", 0, "minus on an all-blank text"},
      // String comparisons
      {"NAME = 'SM'", "L:.T.", 0, "= is a prefix test"},
      {"NAME == 'SM'", "L:.F.", 0, "== is exact"},
      {"NAME <> 'SM'", "L:.T.", 0, "<> is exact inequality"},
      {"NAME # 'SM'", "L:.T.", 0, "# is <>"},
      {"'' = ''", "L:.F.", 0, "an empty right side never matches"},
      {"'A' = ''", "L:.F.", 0, "empty right side"},
      {"'SM' = 'SMITH'", "L:.F.", 0, "a longer right side"},
      {"'SMITH' == 'SMITH'", "L:.T.", 0, "equal strings"},
      {"'SMITH' == 'SMITH '", "L:.F.", 0, "== counts trailing blanks"},
      {"'ABC' < 'ABD'", "L:.T.", 0, "byte order"},
      {"'AB' < 'ABC'", "L:.T.", 0, "a prefix is smaller"},
      {"'ABC' > 'AB'", "L:.T.", 0, "a longer text is larger"},
      {"'a' > 'B'", "L:.T.", 0, "case matters"},
      {"CHR(130) > 'z'", "L:.T.", 0, "bytes compare unsigned"},
      {"'B' >= 'B'", "L:.T.", 0, ">= on equal strings"},
      {"'B' <= 'A'", "L:.F.", 0, "<= on strings"},
      {"'IT' $ 'SMITH'", "L:.T.", 0, "$ finds a substring"},
      {"'XY' $ 'SMITH'", "L:.F.", 0, "$ without a match"},
      {"'' $ 'SMITH'", "L:.F.", 0, "$ of an empty text"},
      // Number, date and logical comparisons
      {"3 > 2", "L:.T.", 0, ">"},
      {"2 >= 2", "L:.T.", 0, ">="},
      {"2 <= 1", "L:.F.", 0, "<="},
      {"1 <> 1", "L:.F.", 0, "<> of numbers"},
      {"1 # 2", "L:.T.", 0, "# of numbers"},
      {"PAY = 1234.5", "L:.T.", 0, "= of numbers"},
      {"BORN > CTOD('01/01/1999')", "L:.T.", 0, "> of dates"},
      {"BORN = CTOD('12/31/1999')", "L:.T.", 0, "= of dates"},
      {"BORN <> CTOD('12/31/1999')", "L:.F.", 0, "<> of dates"},
      {".T. = .T.", "L:.T.", 0, "= of logicals"},
      {".T. <> .F.", "L:.T.", 0, "<> of logicals"},
      // Functions
      {"ABS(-3.5)", "N:3.5", 0, "ABS"},
      {"ASC('A')", "N:65", 0, "ASC"},
      {"ASC('')", "N:0", 0, "ASC of an empty text"},
      {"AT('IT', NAME)", "N:3", 0, "AT"},
      {"AT('Q', NAME)", "N:0", 0, "AT without a match"},
      {"AT('', 'ABC')", "N:0", 0, "AT of an empty text"},
      {"CDOW(BORN)", "C:Friday   ", 0, "CDOW padded to the table width"},
      {"CDOW(CTOD(''))", "C:", 0, "CDOW of a blank date"},
      {"CHR(65)", "C:A", 0, "CHR"},
      {"CHR(65.9)", "C:A", 0, "CHR truncates"},
      {"CMONTH(BORN)", "C:December ", 0, "CMONTH"},
      {"CMONTH(CTOD(''))", "C:         ", 0, "CMONTH of a blank date"},
      {"CTOD('02/29/2000')", "D:20000229", 0, "CTOD of a leap day"},
      {"CTOD('02/29/1900')", "D:blank", 0, "CTOD of a day that does not exist"},
      {"CTOD('1/2/1999')", "D:19990102", 0, "CTOD pads month and day"},
      {"CTOD('')", "D:blank", 0, "CTOD of an empty text"},
      {"DATE()", "D:20240315", 0, "DATE"},
      {"DAY(BORN)", "N:31", 0, "DAY"},
      {"MONTH(BORN)", "N:12", 0, "MONTH"},
      {"YEAR(BORN)", "N:1999", 0, "YEAR has four digits with Century off"},
      {"DAY(CTOD(''))", "N:0", 0, "DAY of a blank date"},
      {"YEAR(CTOD(''))", "N:0", 0, "YEAR of a blank date"},
      {"DELETED()", "L:.F.", 0, "DELETED of a live record"},
      {"DOW(BORN)", "N:6", 0, "DOW: Friday is 6"},
      {"DOW(CTOD(''))", "N:0", 0, "DOW of a blank date"},
      {"DTOC(BORN)", "C:12/31/99", 0, "DTOC"},
      {"DTOS(BORN)", "C:19991231", 0, "DTOS"},
      {"DTOS(CTOD(''))", "C:        ", 0, "DTOS of a blank date"},
      {"DTOS(BORN+3000000)", "C:", 358, "DTOS beyond the year 9999"},
      {"DTOS(BORN+1E10)", "C:", 358, "a day number outside 32 bits"},
      {"IIF(ACTIVE, 'Yes', 'No')", "C:Yes", 0, "IIF true"},
      {"IIF(AGE > 50, 'Yes', 'No')", "C:No", 0, "IIF false"},
      {"INT(-3.7)", "N:-3", 0, "INT truncates toward zero"},
      {"INT(3.7)", "N:3", 0, "INT"},
      {"INT(1E10)", "N:0", 358, "INT outside 32 bits"},
      {"INT(-2147483648.5)", "N:-2147483648", 0, "INT at the 32-bit limit"},
      {"LEFT('ABC', 5)", "C:ABC", 0, "LEFT beyond the length"},
      {"LEFT('ABC', 2)", "C:AB", 0, "LEFT"},
      {"LEFT('ABC', -1)", "C:", 0, "LEFT of a negative count"},
      {"LEN(NAME)", "N:20", 0, "LEN of a padded field"},
      {"LEN(TRIM(NAME))", "N:5", 0, "LEN of a trimmed field"},
      {"LOWER('AbC1')", "C:abc1", 0, "LOWER"},
      {"UPPER('aBc' + CHR(130))", "C:ABC\x82", 0, "UPPER changes ASCII letters only"},
      {"LTRIM('  A ')", "C:A ", 0, "LTRIM"},
      {"MAX(1, 2)", "N:2", 0, "MAX of numbers"},
      {"MIN(1, 2)", "N:1", 0, "MIN of numbers"},
      {"MAX(BORN, CTOD('01/01/2000'))", "D:20000101", 0, "MAX of dates"},
      {"MIN(BORN, CTOD('01/01/2000'))", "D:19991231", 0, "MIN of dates"},
      {"MOD(7, 3)", "N:1", 0, "MOD"},
      {"MOD(-7, 3)", "N:-1", 0, "MOD takes the sign of the dividend"},
      {"MOD(7, -3)", "N:1", 0, "MOD with a negative divisor"},
      {"MOD(7.9, 3.2)", "N:1", 0, "MOD of the whole parts"},
      {"MOD(-2147483648, -1)", "N:0", 0, "MOD of the smallest integer by -1"},
      {"MOD(1, 0.5)", "N:0", 358, "MOD by a whole part of 0"},
      {"RECNO()", "N:1", 0, "RECNO"},
      {"REPLICATE('AB', 3)", "C:ABABAB", 0, "REPLICATE"},
      {"REPLICATE('AB', 0)", "C:", 0, "REPLICATE of 0"},
      {"REPLICATE('AB', -2)", "C:", 0, "REPLICATE of a negative count"},
      {"LEN(REPLICATE('ABC', 100))", "N:255", 0, "REPLICATE cut at 255"},
      {"LEN(REPLICATE('A', 2000000000))", "N:255", 0, "a huge REPLICATE is cut"},
      {"RIGHT('ABC', 2)", "C:BC", 0, "RIGHT"},
      {"RIGHT('ABC', 5)", "C:ABC", 0, "RIGHT beyond the length"},
      {"RIGHT('ABC', -5)", "C:", 0, "RIGHT of a negative count"},
      {"ROUND(2.789, 2)", "N:2.78", 0, "ROUND cuts"},
      {"ROUND(-2.789, 1)", "N:-2.7", 0, "ROUND cuts toward zero"},
      {"ROUND(2.5, 0)", "N:2", 0, "ROUND does not round halves"},
      {"ROUND(2.789, 12)", "N:2.789", 0, "ROUND with many decimals"},
      {"ROUND(2.75, 5000)", "N:2.75", 0, "ROUND with more decimals than a double has"},
      {"ROUND(5E9, 1)", "N:0", 358, "ROUND outside 32 bits"},
      {"RTRIM('A  ')", "C:A", 0, "RTRIM"},
      {"TRIM(' A  ')", "C: A", 0, "TRIM keeps leading blanks"},
      {"SOUNDEX('Robert')", "C:R163", 0, "SOUNDEX"},
      {"SOUNDEX('Rupert')", "C:R163", 0, "SOUNDEX of a similar name"},
      {"SOUNDEX('Ashcraft')", "C:A226", 0, "H separates equal codes"},
      {"SOUNDEX('Tymczak')", "C:T522", 0, "equal neighbours are coded once"},
      {"SOUNDEX('Lloyd')", "C:L300", 0, "padded with 0"},
      {"SOUNDEX('Pfister')", "C:P236", 0, "a second letter with the first's code"},
      {"SOUNDEX('robert')", "C:R163", 0, "the first letter upper-cased"},
      {"SOUNDEX(\"O'Hara\")", "C:O600", 0, "non-letters are skipped"},
      {"SOUNDEX('1abc')", "C:1120", 0, "the first character is kept whatever it is"},
      {"SOUNDEX('')", "C:0000", 0, "SOUNDEX of an empty text"},
      {"SPACE(3)", "C:   ", 0, "SPACE"},
      {"SPACE(-1)", "C:", 0, "SPACE of a negative count"},
      {"LEN(SPACE(300))", "N:255", 0, "SPACE cut at 255"},
      {"STUFF('ABCDE', 2, 3, 'xy')", "C:AxyE", 0, "STUFF"},
      {"STUFF('ABC', 4, 0, 'D')", "C:ABCD", 0, "STUFF at the end"},
      {"STUFF('ABC', 1, 0, 'X')", "C:XABC", 0, "STUFF inserts"},
      {"STUFF('ABC', 2, 9, '')", "C:A", 0, "STUFF deletes to the end"},
      {"SUBSTR('ABCDE', 2, 3)", "C:BCD", 0, "SUBSTR"},
      {"SUBSTR('ABC', 2, 10)", "C:BC", 0, "SUBSTR beyond the end"},
      {"SUBSTR('ABC', 5, 1)", "C:", 0, "SUBSTR after the end"},
      {"SUBSTR('ABC', 0, 2)", "C:", 0, "SUBSTR before the start"},
      {"SUBSTR('ABC', 2, -1)", "C:", 0, "SUBSTR of a negative count"},
      {"SUBSTR('ABC', 1E10, 1)", "C:", 358, "SUBSTR position outside 32 bits"},
      {"VAL('12abc')", "N:12", 0, "VAL reads the leading number"},
      {"VAL('  -1.5E2x')", "N:-150", 0, "VAL with sign and exponent"},
      {"VAL('abc')", "N:0", 0, "VAL without a number"},
      {"VAL('.5')", "N:0.5", 0, "VAL of a fraction"},
      {"VAL('1E')", "N:1", 0, "VAL ignores an incomplete exponent"},
      {"VAL('1E999')", "N:0", 358, "VAL beyond the range of a number"},
      // Number formatting
      {"STR(3.14159, 6, 2)", "C:  3.14", 0, "STR right-aligned with decimals"},
      {"STR(123456, 3)", "C:***", 0, "STR too wide gives asterisks"},
      {"STR(42)", "C:        42", 0, "STR default width 10"},
      {"STR(0.125, 5, 2)", "C: 0.13", 0, "STR rounds a half up"},
      {"STR(-0.125, 6, 2)", "C: -0.13", 0, "STR rounds a negative half away from zero"},
      {"STR(2.5)", "C:         3", 0, "STR rounds a half with no decimals"},
      {"STR(-2.5, 4)", "C:  -3", 0, "STR of a negative half"},
      {"STR(-0.001, 5, 2)", "C: 0.00", 0, "STR shows no sign for zero"},
      {"STR(1E20, 25)", "C:    100000000000000000000", 0, "STR of a large number"},
      {"STR(1.5, 3, 5)", "C:***", 0, "STR with more decimals than width"},
      {"STR(5, 0)", "C:", 0, "STR of width 0"},
      {"LEN(STR(5, 300))", "N:255", 0, "STR wider than 255"},
      {"STR(PAY, 10, 2)", "C:   1234.50", 0, "STR of a numeric field"},
      {"STR(1, 1E10)", "C:", 358, "STR width outside 32 bits"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
    EXPECT_EQ(ErrorCode, c.error) << c.expr << ": " << ErrorMsg;
  }
}

TEST_F(ExprEvalTest, EvaluationErrorMessages) {
  OpenStandard();
  const struct {
    const char* expr;
    const char* message;
  } cases[] = {
      {"1/0", "Error during evaluation: Divide by 0 [Evaluate/Engine]"},
      {"MOD(5, 0)", "Error during evaluation: MOD by 0 [Evaluate/Engine]"},
      {"INT(3E9)", "Error during evaluation: Number outside the integer range [Evaluate/Engine]"},
      {"1E300*1E300", "Error during evaluation: Result is not a finite number [Evaluate/Engine]"},
      {"DTOC(BORN+5000000)",
       "Error during evaluation: Date beyond the year 9999 [Evaluate/Engine]"},
  };
  for (const auto& c : cases) {
    Eval(c.expr);
    EXPECT_EQ(ErrorCode, 358) << c.expr;
    EXPECT_EQ(ErrorMsg, c.message);
  }
  // The codes are outside the error-text table.
  EXPECT_STREQ(ErrorTableText(358), "Undefined error");
}

TEST_F(ExprEvalTest, DatesInEveryMode) {
  OpenStandard();
  EpochYear = 1900;
  const struct {
    uint8_t mode;
    bool century;
    const char* dtoc;
    const char* blank;
    const char* cdow;
    const char* cmonth;
  } cases[] = {
      {0, false, "12/31/99", "  /  /  ", "Friday   ", "December "},
      {0, true, "12/31/1999", "  /  /    ", "Friday   ", "December "},
      {1, false, "99.12.31", "  .  .  ", "Friday   ", "December "},
      {1, true, "1999.12.31", "    .  .  ", "Friday   ", "December "},
      {2, false, "31/12/99", "  /  /  ", "Friday   ", "December "},
      {3, false, "31-12-99", "  -  -  ", "Venerdi  ", "Dicembre "},
      {3, true, "31-12-1999", "  -  -    ", "Venerdi  ", "Dicembre "},
      {4, false, "31.12.99", "  .  .  ", "Vendredi", "D\202cembre "},
      {5, true, "31.12.1999", "  .  .    ", "Freitag   ", "Dezember "},
      {6, false, "31.12.99", "  .  .  ", "Viernes  ", "Diciembre "},
      {7, false, "31.12.99", "  .  .  ", "Vendredi", "D\202cembre "},
      {8, false, "31/12/99", "  /  /  ", "\x8f\xef\xe2\xad\xa8\xe6\xa0    ",
       "\x84\xa5\xaa\xa0\xa1\xe0\xec "},
      {8, true, "31/12/1999", "  /  /    ", "\x8f\xef\xe2\xad\xa8\xe6\xa0    ",
       "\x84\xa5\xaa\xa0\xa1\xe0\xec "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.century ? " century" : ""));
    Century = c.century;
    SetDateMode(c.mode);
    EXPECT_EQ(Eval("DTOC(BORN)"), std::string("C:") + c.dtoc);
    EXPECT_EQ(Eval("DTOC(CTOD(''))"), std::string("C:") + c.blank);
    EXPECT_EQ(Eval("CDOW(BORN)"), std::string("C:") + c.cdow);
    EXPECT_EQ(Eval("CMONTH(BORN)"), std::string("C:") + c.cmonth);
    // CTOD reads the mode's own texts back, and the mode changes no computed part.
    EXPECT_EQ(Eval("CTOD(DTOC(BORN)) = BORN"), "L:.T.");
    EXPECT_EQ(Eval("DTOS(BORN)"), "C:19991231");
    EXPECT_EQ(Eval("YEAR(BORN)"), "N:1999");
    EXPECT_EQ(Eval("DAY(BORN) + MONTH(BORN)"), "N:43");
  }
  // A two-digit year takes its century from the year window.
  Century = false;
  SetDateMode(0);
  EpochYear = 2000;
  EXPECT_EQ(Eval("CTOD('03/05/99')"), "D:20990305");
  EpochYear = 1950;
  EXPECT_EQ(Eval("CTOD('03/05/49')"), "D:20490305");
  EXPECT_EQ(Eval("CTOD('03/05/50')"), "D:19500305");
}

TEST_F(ExprEvalTest, FieldsOfEveryType) {
  OpenStandard();
  EXPECT_EQ(Eval("NAME"), "C:SMITH               ");
  EXPECT_EQ(Eval("AGE"), "N:42");
  EXPECT_EQ(Eval("PAY"), "N:1234.5");
  EXPECT_EQ(Eval("BORN"), "D:19991231");
  EXPECT_EQ(Eval("ACTIVE"), "L:.T.");
  EXPECT_EQ(Eval("NOTES"), "M:Line oneLine two");
  EXPECT_EQ(Eval("(NOTES)"), "M:Line oneLine two");
  // Record 2: lower-case text kept, a blank number and date, "n" false, no memo.
  GO(2);
  EXPECT_EQ(Eval("NAME"), "C:jones               ");
  EXPECT_EQ(Eval("PAY"), "N:0");
  EXPECT_EQ(Eval("BORN"), "D:blank");
  EXPECT_EQ(Eval("ACTIVE"), "L:.F.");
  EXPECT_EQ(Eval("NOTES"), "M:");
  // Record 3: deleted, a number text with trailing garbage, "y" true.
  GO(3);
  EXPECT_EQ(Eval("DELETED()"), "L:.T.");
  EXPECT_EQ(Eval("AGE"), "N:12");
  EXPECT_EQ(Eval("PAY"), "N:-0.5");
  EXPECT_EQ(Eval("ACTIVE"), "L:.T.");
  EXPECT_EQ(Eval("BORN"), "D:20000229");
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  // Past the last record every field reads as blanks.
  SKIP(1);
  ASSERT_TRUE(dEOF());
  EXPECT_EQ(Eval("NAME"), "C:                    ");
  EXPECT_EQ(Eval("AGE"), "N:0");
  EXPECT_EQ(Eval("BORN"), "D:blank");
  EXPECT_EQ(Eval("DELETED()"), "L:.F.");
  EXPECT_EQ(Eval("RECNO()"), "N:4");
}

TEST_F(ExprEvalTest, EmptyTableReadsBlanks) {
  OpenPeople({});
  EXPECT_EQ(Eval("NAME + '|'"), "C:                    |");
  EXPECT_EQ(Eval("AGE + PAY"), "N:0");
  EXPECT_EQ(Eval("DTOS(BORN)"), "C:        ");
  EXPECT_EQ(Eval("ACTIVE"), "L:.F.");
  EXPECT_EQ(Eval("NOTES"), "M:");
  EXPECT_EQ(Eval("RECNO()"), "N:0");
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
}

TEST_F(ExprEvalTest, MemoTextIsCutAtThePoolEnd) {
  // Lines longer than 255 characters are cut, and the text ends at the pool's 255 characters.
  const std::string a(300, 'a');
  const std::string b(100, 'b');
  OpenPeople({{false, "X", "1", "1", "20000101", 'T', {"first", a, b}}});
  const std::string text = Eval("NOTES");
  EXPECT_EQ(ErrorCode, 0) << ErrorMsg;
  EXPECT_EQ(text, "M:first" + std::string(250, 'a'));
}

TEST_F(ExprEvalTest, QualifiedFieldsReadTheirOwnArea) {
  OpenStandard();
  Select(2);
  OpenPeople({{false, "OTHER", "1", "2", "20240101", 'F', {"Other memo"}}}, "OTHERS");
  // Area 2 is current; PEOPLE-> reads area 1 on its own current record.
  EXPECT_EQ(Eval("TRIM(NAME) + '/' + TRIM(PEOPLE->NAME)"), "C:OTHER/SMITH");
  EXPECT_EQ(Eval("PEOPLE->AGE + AGE"), "N:43");
  EXPECT_EQ(Eval("PEOPLE->NOTES"), "M:Line oneLine two");
  EXPECT_EQ(Eval("DTOS(PEOPLE->BORN)"), "C:19991231");
  EXPECT_EQ(CurrentArea, 2);
  Select(1);
  SKIP(1);
  Select(2);
  EXPECT_EQ(Eval("PEOPLE->NAME"), "C:jones               ");
}

TEST_F(ExprEvalTest, OneBlockOnTwoRecordsGivesTwoResults) {
  OpenStandard();
  TExprBlock* upper = AssignExpr("UPPER(NAME)+DTOS(BORN)");
  TExprBlock* age = AssignExpr("AGE*2");
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(age, nullptr);
  const void* r1 = EvaluateExpr(upper);
  const std::string first = ExprResultText(upper);
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(age)), 84);
  GO(2);
  const void* r2 = EvaluateExpr(upper);
  const std::string second = ExprResultText(upper);
  EXPECT_EQ(first, "SMITH               19991231");
  EXPECT_EQ(second, "JONES                       ");
  // The result lives in the block's pool: the same place, overwritten by the next evaluation.
  EXPECT_EQ(r1, r2);
  EXPECT_EQ(static_cast<const char*>(r2), second);
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(age)), 14);
  EXPECT_EQ(ExprResultText(upper), second);  // another block's evaluation leaves it alone
  EXPECT_EQ(ExprResultText(age), "");        // no text for a number
  EXPECT_EQ(EvaluateExpr(nullptr), nullptr);
  EXPECT_EQ(ExprResultText(nullptr), "");
  FreeExpr(upper);
  FreeExpr(age);
}

TEST_F(ExprEvalTest, BlockEvaluatedAgainstAnotherTable) {
  // NAME and AGE compiled for PEOPLE, evaluated while a table with other fields is current.
  OpenStandard();
  TExprBlock* name = AssignExpr("NAME");
  TExprBlock* born = AssignExpr("BORN");
  TExprBlock* notes = AssignExpr("NOTES");
  ASSERT_NE(name, nullptr);
  ASSERT_NE(born, nullptr);
  ASSERT_NE(notes, nullptr);
  Select(2);
  std::vector<TFieldDef> fields = {{"WIDE", 'C', 200, 0}, {"N", 'N', 5, 0}};
  TDbfFileRec t;
  CreateDBF(t, dir_ / "WIDE.DBF", 2, fields);
  USE(dir_ / "WIDE.DBF", nullptr, 0);
  ASSERT_EQ(ErrorCode, 0) << ErrorMsg;
  AppendRecord(" " + std::string(200, 'w') + "    1");
  GoTop();

  // Field 1 is now C(200): more than NAME's pool holds, so the evaluation stops.
  EXPECT_STREQ(static_cast<const char*>(EvaluateExpr(name)), "");
  EXPECT_EQ(ErrorCode, 354);
  EXPECT_EQ(ErrorMsg, "Working pool overflow [PARSER/Allocate]");
  // Field 4 does not exist here.
  ErrorCode = 0;
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(born)), 0);
  EXPECT_EQ(ErrorCode, 358);
  EXPECT_EQ(ErrorMsg, "Error during evaluation: Field does not fit the table [Evaluate/Engine]");
  // An empty area.
  CloseArea();
  ErrorCode = 0;
  EXPECT_STREQ(static_cast<const char*>(EvaluateExpr(notes)), "");
  EXPECT_EQ(ErrorMsg, "Error during evaluation: Work area not in use [Evaluate/Engine]");
  // Back on its own table the block works again.
  Select(1);
  ErrorCode = 0;
  EvaluateExpr(name);
  EXPECT_EQ(ErrorCode, 0);
  EXPECT_EQ(ExprResultText(name), "SMITH               ");
  FreeExpr(name);
  FreeExpr(born);
  FreeExpr(notes);
}

TEST_F(ExprEvalTest, FailuresOfTheWorkStackAndPool) {
  OpenStandard();
  // A SOUNDEX longer than its reserved pool bytes overflows the pool.
  SoundexLength = 30;
  EXPECT_EQ(Eval("SOUNDEX('Robert')"), "C:");
  EXPECT_EQ(ErrorCode, 354);
  SoundexLength = 6;
  EXPECT_EQ(Eval("SOUNDEX('Robert')"), "C:R16300");
  SoundexLength = 4;

  // No memory for the first work-stack entry.
  TExprBlock* b = AssignExpr("1+2");
  ASSERT_NE(b, nullptr);
  SetFreeHeapForTest(10);
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(b)), 0);
  EXPECT_EQ(ErrorCode, 217);
  EXPECT_EQ(ErrorMsg, " [PARSER/WStackCheck]");
  SetFreeHeapForTest(-1);
  ErrorCode = 0;
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(b)), 3);
  EXPECT_EQ(ErrorCode, 0);

  // A data entry of an unknown type.
  b->Code[0].TypeCode = 999;
  EXPECT_EQ(*static_cast<const double*>(EvaluateExpr(b)), 0);
  EXPECT_EQ(ErrorCode, 356);
  EXPECT_EQ(ErrorMsg,
            "Unknown data type (none of \"C\",\"N\",\"F\",\"L\",\"D\"or\"M\") [PARSER/PushWD]");
  FreeExpr(b);
}

using ExprEvalDeathTest = ExprEvalTest;

TEST_F(ExprEvalDeathTest, EvaluationErrorHaltsWhenHaltingIsOn) {
  OpenStandard();
  TExprBlock* b = AssignExpr("1/0");
  ASSERT_NE(b, nullptr);
  EXPECT_EXIT(
      {
        AbortOnError = true;
        EvaluateExpr(b);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(255), "Divide by 0");
  FreeExpr(b);
}

// ---- Shared helpers --------------------------------------------------------------------

TEST(ExprUtilTest, DayNumbers) {
  const struct {
    const char* text;
    int64_t day_number;
    const char* name;
  } cases[] = {
      {"20000229", 2451604, "leap day of 2000"},
      {"20000101", 2451545, "1 January 2000"},
      {"00010101", 1721426, "the first day"},
      {"99991231", kLastDayNumber, "the last four-digit day"},
      {"19000229", 0, "1900 is no leap year"},
      {"        ", 0, "eight blanks"},
      {"00000101", 0, "year 0"},
      {"20001301", 0, "month 13"},
      {"20000230", 0, "30 February"},
      {"20000100", 0, "day 0"},
      {"2000 229", 0, "a blank inside"},
      {"2000022", 0, "too short"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DayNumberFromText(c.text), c.day_number);
  }
  EXPECT_EQ(DayNumberToText(0), "        ");
  EXPECT_EQ(DayNumberToText(kDayNumberBase), "        ");
  EXPECT_EQ(DayNumberToText(-5), "        ");
  // Round trip and weekday over four centuries and the ends of the range.
  auto check = [](int64_t from, int64_t to) {
    for (int64_t dn = from; dn <= to; ++dn) {
      int64_t y = 0;
      int m = 0, d = 0;
      ASSERT_TRUE(DayNumberToDate(dn, y, m, d)) << dn;
      ASSERT_EQ(DayNumberOf(y, m, d), dn) << y << "-" << m << "-" << d;
      ASSERT_EQ(WeekdayOfDayNumber(dn), platform::WeekdayOf(static_cast<int>(y), m, d) + 1) << dn;
    }
  };
  check(kDayNumberBase + 1, kDayNumberBase + 1000);
  check(DayNumberOf(1899, 1, 1), DayNumberOf(2301, 1, 1));
  check(kLastDayNumber - 1000, kLastDayNumber + 1000);
  EXPECT_EQ(DayNumberToText(DayNumberOf(2024, 2, 29)), "20240229");
}

TEST(ExprUtilTest, ComparisonsAndBlocks) {
  EXPECT_EQ(CompareBytes("ABC", "ABC", 3), 0);
  EXPECT_LT(CompareBytes("ABC", "ABD", 3), 0);
  EXPECT_EQ(CompareBytes("ABC", "ABD", 2), 0);  // bounded
  EXPECT_GT(CompareBytes("\x82", "z", 1), 0);   // unsigned bytes
  EXPECT_EQ(CompareBytes("A", "B", 0), 0);
  EXPECT_EQ(CompareNumbers(1, 2), -1);
  EXPECT_EQ(CompareNumbers(2, 1), 1);
  EXPECT_EQ(CompareNumbers(-0.0, 0.0), 0);

  std::string s = "abcXY";
  RotateBlocks(s.data(), 3, 2);
  EXPECT_EQ(s, "XYabc");
  RotateBlocks(s.data(), 0, 5);
  EXPECT_EQ(s, "XYabc");
  ReverseBytes(s.data(), 4);
  EXPECT_EQ(s, "baYXc");

  EXPECT_EQ(ZeroPadded(7, 3), "007");
  EXPECT_EQ(ZeroPadded(12345, 3), "12345");
  EXPECT_EQ(ZeroPadded(-7, 4), "-007");
  EXPECT_EQ(ZeroPadded(INT64_MIN, 1), "-9223372036854775808");
}

TEST(ExprUtilTest, LeadingNumbers) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"  12.50", 12.5}, {"-3", -3}, {"+4", 4}, {"1.5E3", 1500}, {"1.5e-1", 0.15}, {"2E+2", 200},
      {"7E", 7},         {"7E+", 7}, {"1.", 1}, {".25", 0.25},   {"12ab", 12},     {"abc", 0},
      {"", 0},           {"-", 0},   {".", 0},  {"1E-400", 0},   {"\t 9", 9},      {"3.2.1", 3.2},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
  EXPECT_EQ(LeadingNumber("1E400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("-1E400"), -std::numeric_limits<double>::infinity());
}

}  // namespace
