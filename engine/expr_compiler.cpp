// The key-expression compiler: lexer, keyword table, parser and type rules. AssignExpr turns
// the text of a dBASE expression into a TExprBlock whose code list is the expression in postfix
// order (operands first, then the instruction with its operand count), ended by -1.
//
// The language is an operator-precedence grammar (lowest to highest: .OR.; .AND.; = <> #;
// $ ==; < > <= >=; + -; * /; ** ^; then the prefix operators .NOT., unary + and unary -, which
// take the following operand only). All binary operators are left-associative. The parser
// below is a precedence climber that behaves as the table-driven LR parser of that grammar:
//
// - Lookahead is read lazily, as an LR parser with default reductions reads it: a literal, a
//   field, a closing ")" and a prefix operator's operand are reduced without reading further,
//   while a binary reduction needs the token after its right operand. The lexer's position when
//   an error is found therefore matches the LR parser's, and so does the excerpt of the
//   message. A type error of a pending reduction is found before the token that stops it is
//   judged: in "'A'*2 NAME" the "*" mismatch is reported, not the stray NAME.
// - The parser stack holds at most 150 entries. It starts with one entry; every token shifted
//   takes one more (an operator, "(", ",", ")", a function name, an operand), and a reduction
//   replaces its symbols by one entry (a finished operand, call or parenthesis). So every
//   pending prefix operator, every pending "operand operator" pair, every open "(" and every
//   open call (name, "(" and each argument with its ",") holds its entries until it is
//   reduced; the token that would make the stack exceed 150 entries fails with
//   "Parser_stack_overflow". 148 minus signs before a number fit; 149 do not.
// - A complete expression followed by further tokens ("NAME AGE", "NAME)") fails with
//   "Parser_stack_overflow" (the LR parser keeps reducing an empty production until its stack
//   is full); inside parentheses or a call the same token is a syntax error.
// - Lexical errors (an unknown word, a malformed number, an unterminated text) are syntax
//   errors reported the moment the lexer reads them.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "engine/error.h"
#include "engine/expr.h"
#include "engine/hooks.h"
#include "engine/utils.h"
#include "engine/work_area.h"

namespace engine {

TExprBlock* CurrentKeyBlock = nullptr;

namespace {

// ---- Tokens ----------------------------------------------------------------------------

// Character tokens are the character's own code ('(' ')' ',' '+' '-' '*' '/' '^' '=' '>' '<').
constexpr int32_t kTokEnd = 0;
constexpr int32_t kTokStray = 256;  // a NUL byte inside the text (never the end)
constexpr int32_t kTokFieldC = 321;
constexpr int32_t kTokFieldN = 322;
constexpr int32_t kTokFieldL = 323;
constexpr int32_t kTokFieldD = 324;
constexpr int32_t kTokFieldM = 325;
constexpr int32_t kTokAliasOffset = 5;  // 326..330: the same, qualified by an alias
constexpr int32_t kTokString = 331;
constexpr int32_t kTokNumber = 332;
constexpr int32_t kTokUnknown = 336;
constexpr int32_t kTokFalse = 337;
constexpr int32_t kTokTrue = 338;
constexpr int32_t kTokNot = 339;
constexpr int32_t kTokOr = 340;
constexpr int32_t kTokAnd = 341;
constexpr int32_t kTokNe = 342;
constexpr int32_t kTokLe = 343;
constexpr int32_t kTokGe = 344;
constexpr int32_t kTokEqEq = 345;
constexpr int32_t kTokDollar = 346;

constexpr int kStackEntries = 150;
constexpr size_t kMaxText = 255;
constexpr size_t kMaxWord = 80;
constexpr uint8_t kDefaultDecimals = 2;
constexpr int kNoDecimals = -1;
constexpr int64_t kNodeSize = 24;  // one code-list node as the heap check counts it

struct TKeyword {
  const char* Name;
  int32_t Token;
  int32_t PoolSize;
};

// Names match whole words only; abbreviations are rows of their own. The last row ends the
// table and is the result for every word not found.
constexpr TKeyword kKeywords[] = {
    {"ABS", 257, 0},       {"ASC", 259, 0},           {"AT", 261, 0},
    {"CDOW", 264, 15},     {"CHR", 266, 2},           {"CMON", 267, 15},
    {"CMONT", 267, 15},    {"CMONTH", 267, 15},       {"CTOD", 269, 0},
    {"DATE", 270, 0},      {"DAY", 271, 0},           {"DELE", 272, 0},
    {"DELET", 272, 0},     {"DELETE", 272, 0},        {"DELETED", 272, 0},
    {"DOW", 274, 0},       {"DTOC", 275, 11},         {"DTOS", 277, 9},
    {"IIF", 283, 256},     {"INT", 284, 0},           {"LEFT", 288, 0},
    {"LEN", 289, 0},       {"LOWE", 292, 0},          {"LOWER", 292, 0},
    {"LTRI", 293, 0},      {"LTRIM", 293, 0},         {"MAX", 294, 0},
    {"MIN", 295, 0},       {"MOD", 296, 0},           {"MONT", 297, 0},
    {"MONTH", 297, 0},     {"RECN", 300, 0},          {"RECNO", 300, 0},
    {"REPL", 301, 256},    {"REPLI", 301, 256},       {"REPLIC", 301, 256},
    {"REPLICA", 301, 256}, {"REPLICAT", 301, 256},    {"REPLICATE", 301, 256},
    {"RIGH", 302, 0},      {"RIGHT", 302, 0},         {"ROUN", 303, 0},
    {"ROUND", 303, 0},     {"RTRI", 305, 0},          {"RTRIM", 305, 0},
    {"SOUN", 308, 15},     {"SOUND", 308, 15},        {"SOUNDE", 308, 15},
    {"SOUNDEX", 308, 15},  {"SPAC", 310, 256},        {"SPACE", 310, 256},
    {"STR", 311, 256},     {"STUF", 312, 0},          {"STUFF", 312, 0},
    {"SUBS", 313, 0},      {"SUBST", 313, 0},         {"SUBSTR", 313, 0},
    {"TRIM", 316, 0},      {"UPPE", 318, 0},          {"UPPER", 318, 0},
    {"VAL", 319, 0},       {"YEAR", 320, 0},          {".F.", kTokFalse, 0},
    {".T.", kTokTrue, 0},  {".NOT.", kTokNot, 0},     {".OR.", kTokOr, 0},
    {".AND.", kTokAnd, 0}, {"$EOT$", kTokUnknown, 0},
};
static_assert(std::size(kKeywords) == 68);

// Argument types of a function: 'C', 'N', 'L', 'D', or 'X' for "N or D, the same for every X
// argument" (MAX, MIN: the result is then that type).
struct TFunction {
  int32_t Token;
  const char* Name;
  uint8_t MinArgs;
  uint8_t MaxArgs;
  const char* ArgTypes;
  char Result;
};

constexpr TFunction kFunctions[] = {
    {257, "ABS", 1, 1, "N", 'N'},        {259, "ASC", 1, 1, "C", 'N'},
    {261, "AT", 2, 2, "CC", 'N'},        {264, "CDOW", 1, 1, "D", 'C'},
    {266, "CHR", 1, 1, "N", 'C'},        {267, "CMONTH", 1, 1, "D", 'C'},
    {269, "CTOD", 1, 1, "C", 'D'},       {270, "DATE", 0, 0, "", 'D'},
    {271, "DAY", 1, 1, "D", 'N'},        {272, "DELETED", 0, 0, "", 'L'},
    {274, "DOW", 1, 1, "D", 'N'},        {275, "DTOC", 1, 1, "D", 'C'},
    {277, "DTOS", 1, 1, "D", 'C'},       {283, "IIF", 3, 3, "LCC", 'C'},
    {284, "INT", 1, 1, "N", 'N'},        {288, "LEFT", 2, 2, "CN", 'C'},
    {289, "LEN", 1, 1, "C", 'N'},        {292, "LOWER", 1, 1, "C", 'C'},
    {293, "LTRIM", 1, 1, "C", 'C'},      {294, "MAX", 2, 2, "XX", 'X'},
    {295, "MIN", 2, 2, "XX", 'X'},       {296, "MOD", 2, 2, "NN", 'N'},
    {297, "MONTH", 1, 1, "D", 'N'},      {300, "RECNO", 0, 0, "", 'N'},
    {301, "REPLICATE", 2, 2, "CN", 'C'}, {302, "RIGHT", 2, 2, "CN", 'C'},
    {303, "ROUND", 2, 2, "NN", 'N'},     {305, "RTRIM", 1, 1, "C", 'C'},
    {308, "SOUNDEX", 1, 1, "C", 'C'},    {310, "SPACE", 1, 1, "N", 'C'},
    {311, "STR", 1, 3, "NNN", 'C'},      {312, "STUFF", 4, 4, "CNNC", 'C'},
    {313, "SUBSTR", 3, 3, "CNN", 'C'},   {316, "TRIM", 1, 1, "C", 'C'},
    {318, "UPPER", 1, 1, "C", 'C'},      {319, "VAL", 1, 1, "C", 'N'},
    {320, "YEAR", 1, 1, "D", 'N'},
};

const TFunction* FindFunction(int32_t token) {
  for (const TFunction& f : kFunctions) {
    if (f.Token == token) return &f;
  }
  return nullptr;
}

// Binding level of a binary operator token, 0 for a token that is none.
int BinaryLevel(int32_t tok) {
  switch (tok) {
    case kTokOr:
      return 1;
    case kTokAnd:
      return 2;
    case '=':
    case kTokNe:
      return 3;
    case kTokDollar:
    case kTokEqEq:
      return 4;
    case '<':
    case '>':
    case kTokLe:
    case kTokGe:
      return 5;
    case '+':
    case '-':
      return 6;
    case '*':
    case '/':
      return 7;
    case '^':
      return 8;
    default:
      return 0;
  }
}

const char* OperatorName(int32_t tok) {
  switch (tok) {
    case '+':
      return "+";
    case '-':
      return "-";
    case '*':
      return "*";
    case '/':
      return "/";
    case '^':
      return "** or ^";
    case '=':
      return "=";
    case kTokDollar:
      return "$";
    case kTokEqEq:
      return "==";
    case '>':
      return ">";
    case '<':
      return "<";
    case kTokNe:
      return "<>";
    case kTokLe:
      return "<=";
    case kTokGe:
      return ">=";
    case kTokOr:
      return ".OR.";
    case kTokAnd:
      return ".AND.";
    default:
      return "?";
  }
}

// The operand types each binary operator accepts, with the result type and the opcode.
struct TBinaryRule {
  int32_t Token;
  char Left;
  char Right;
  char Result;
  int32_t Opcode;
};

constexpr TBinaryRule kBinaryRules[] = {
    {'+', 'N', 'N', 'N', 347},      {'+', 'N', 'D', 'D', 348},        {'+', 'D', 'N', 'D', 349},
    {'+', 'C', 'C', 'C', 350},      {'-', 'N', 'N', 'N', 351},        {'-', 'D', 'N', 'D', 352},
    {'-', 'D', 'D', 'N', 353},      {'-', 'C', 'C', 'C', 354},        {'*', 'N', 'N', 'N', 355},
    {'/', 'N', 'N', 'N', 356},      {'^', 'N', 'N', 'N', 357},        {'=', 'N', 'N', 'L', 358},
    {'=', 'D', 'D', 'L', 359},      {'=', 'C', 'C', 'L', 360},        {'=', 'L', 'L', 'L', 361},
    {kTokEqEq, 'C', 'C', 'L', 362}, {kTokDollar, 'C', 'C', 'L', 363}, {'>', 'N', 'N', 'L', 364},
    {'>', 'D', 'D', 'L', 365},      {'>', 'C', 'C', 'L', 366},        {'<', 'N', 'N', 'L', 367},
    {'<', 'D', 'D', 'L', 368},      {'<', 'C', 'C', 'L', 369},        {kTokNe, 'N', 'N', 'L', 370},
    {kTokNe, 'D', 'D', 'L', 371},   {kTokNe, 'C', 'C', 'L', 372},     {kTokNe, 'L', 'L', 'L', 373},
    {kTokLe, 'N', 'N', 'L', 374},   {kTokLe, 'D', 'D', 'L', 375},     {kTokLe, 'C', 'C', 'L', 376},
    {kTokGe, 'N', 'N', 'L', 377},   {kTokGe, 'D', 'D', 'L', 378},     {kTokGe, 'C', 'C', 'L', 379},
    {kTokOr, 'L', 'L', 'L', 380},   {kTokAnd, 'L', 'L', 'L', 381},
};

const TBinaryRule* FindBinaryRule(int32_t tok, char left, char right) {
  for (const TBinaryRule& r : kBinaryRules) {
    if (r.Token == tok && r.Left == left && r.Right == right) return &r;
  }
  return nullptr;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// digits ["." digits*] ["E" [sign] digits], already upper-cased.
bool WellFormedNumber(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  auto digits = [&] {
    const size_t from = i;
    while (i < n && IsDigit(s[i])) ++i;
    return i - from;
  };
  if (digits() == 0) return false;
  if (i < n && s[i] == '.') {
    ++i;
    digits();
  }
  if (i < n && s[i] == 'E') {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == n;
}

// ---- The compiler --------------------------------------------------------------------------

struct TToken {
  int32_t Tok = kTokEnd;
  double Num = 0;
  const char* Text = nullptr;  // a string literal in the block's constants
  uint8_t Field = 0;
  uint8_t Area = 0;
  int32_t Int = 0;
};

// A compile error to be reported as code 351 with this message.
struct TCompileError {
  std::string Message;
};
// An error already reported through SetError (memory).
struct TReportedError {};

class TCompiler {
 public:
  TCompiler(const std::string& text, TExprBlock& block) : text_(text), block_(block) {}

  // Parses the whole text into the block's code list; returns the result type.
  char Compile() {
    depth_ = 1;  // the parser's start entry
    const char type = ParseExpression(1);
    if (Peek().Tok != kTokEnd) throw TCompileError{"Parser_stack_overflow"};
    EmitInstruction(kOpEnd, 0);
    return type;
  }

  size_t Point() const { return pos_; }
  uint32_t PoolSize() const { return pool_size_; }
  int RecordedLength() const { return rec_len_; }
  int RecordedDecimals() const { return rec_dec_; }

 private:
  // ---- Lexer ---------------------------------------------------------------------------

  const TToken& Peek() {
    if (!has_look_) {
      look_ = Lex();
      has_look_ = true;
    }
    return look_;
  }
  void Consume() { has_look_ = false; }

  [[noreturn]] void SyntaxError() { throw TCompileError{"Syntax error"}; }

  void RecordNonField() {
    rec_len_ = 0;
    rec_dec_ = kDefaultDecimals;
  }

  TToken Lex() {
    TToken t;
    const size_t n = text_.size();
    while (pos_ < n && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    if (pos_ >= n) return t;
    const char c = text_[pos_];
    if (IsDigit(c)) return LexNumber();
    if (c == '\'' || c == '"') return LexString();
    if (IsLetter(c) || c == '.' || c == '_') return LexWord();
    ++pos_;
    const char next = pos_ < n ? text_[pos_] : '\0';
    // Two-character operators take the second character too.
    auto token = [&](int32_t tok, bool pair) {
      if (pair) ++pos_;
      t.Tok = tok;
      return t;
    };
    switch (c) {
      case '=':
        return next == '=' ? token(kTokEqEq, true) : token('=', false);
      case '*':
        return next == '*' ? token('^', true) : token('*', false);
      case '#':
        return token(kTokNe, false);
      case '$':
        return token(kTokDollar, false);
      case '>':
        return next == '=' ? token(kTokGe, true) : token('>', false);
      case '<':
        if (next == '=') return token(kTokLe, true);
        return next == '>' ? token(kTokNe, true) : token('<', false);
      case '\0':
        return token(kTokStray, false);
      default:
        return token(static_cast<unsigned char>(c), false);
    }
  }

  TToken LexNumber() {
    // The run of digits, "." and "E" (with a sign straight after the E), then checked whole:
    // "1E" or "1.2.3" is a malformed number, never a number followed by something else.
    const size_t n = text_.size();
    std::string run;
    while (pos_ < n) {
      const char c = Upper(text_[pos_]);
      const bool sign = (c == '+' || c == '-') && !run.empty() && run.back() == 'E';
      if (!IsDigit(c) && c != '.' && c != 'E' && !sign) break;
      run += c;
      ++pos_;
    }
    if (!WellFormedNumber(run)) SyntaxError();
    double value = 0;
    auto [end, ec] =
        std::from_chars(run.data(), run.data() + run.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
      // Too small to hold is 0; too large is no number at all.
      const size_t e = run.find('E');
      if (e == std::string::npos || e + 1 >= run.size() || run[e + 1] != '-') SyntaxError();
      value = 0;
    } else if (ec != std::errc() || end != run.data() + run.size()) {
      SyntaxError();
    }
    RecordNonField();
    TToken t;
    t.Tok = kTokNumber;
    t.Num = value;
    return t;
  }

  TToken LexString() {
    const char quote = text_[pos_++];
    const size_t close = text_.find(quote, pos_);
    if (close == std::string::npos) {
      pos_ = text_.size();
      SyntaxError();
    }
    std::string literal = text_.substr(pos_, close - pos_);
    pos_ = close + 1;
    // Stored NUL-terminated: the literal ends at its first NUL byte.
    literal.resize(std::strlen(literal.c_str()));
    pool_size_ += static_cast<uint32_t>(literal.size()) + 1;
    RecordNonField();
    block_.Constants.push_back(std::move(literal));
    TToken t;
    t.Tok = kTokString;
    t.Text = block_.Constants.back().c_str();
    return t;
  }

  std::string ReadRun(bool dots) {
    std::string run;
    const size_t n = text_.size();
    while (pos_ < n) {
      const char c = text_[pos_];
      if (!IsLetter(c) && !IsDigit(c) && c != '_' && !(dots && c == '.')) break;
      if (run.size() < kMaxWord) run += Upper(c);
      ++pos_;
    }
    return run;
  }

  // True when the next character after blanks and tabs is "(".
  bool CallFollows() const {
    size_t p = pos_;
    while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t')) ++p;
    return p < text_.size() && text_[p] == '(';
  }

  TToken LexWord() {
    const std::string word = ReadRun(true);
    bool qualified = false;
    std::string field_name = word;
    uint8_t area = CurrentArea;
    if (text_.compare(pos_, 2, "->") == 0) {
      pos_ += 2;
      field_name = ReadRun(false);
      qualified = true;
      area = FindAlias(word);
    }
    TToken t;
    if (area != 0 && !CallFollows() && LookupField(area, field_name, t)) {
      if (qualified) {
        t.Tok += kTokAliasOffset;
        t.Area = area;
      }
      return t;
    }
    std::string name = qualified ? word + "." + field_name : word;
    if (name.size() > kMaxWord) name.resize(kMaxWord);
    RecordNonField();
    for (const TKeyword& k : kKeywords) {
      if (name == k.Name || k.Token == kTokUnknown) {
        pool_size_ += static_cast<uint32_t>(k.PoolSize);
        t.Tok = k.Token;
        break;
      }
    }
    if (t.Tok == kTokUnknown) SyntaxError();
    return t;
  }

  // The area 1..32 whose alias is the name (cut to 10 characters), 0 when none.
  static uint8_t FindAlias(const std::string& name) {
    const std::string alias = name.substr(0, 10);
    for (uint8_t a = 1; a <= 32; ++a) {
      const TWorkAreaRec* w = WorkAreas[a].get();
      if (w != nullptr && w->Dbf.State != kDbfClosed && w->Alias == alias) return a;
    }
    return 0;
  }

  // Looks the name up among the fields of the area's table; records its length and decimals.
  bool LookupField(uint8_t area, const std::string& name, TToken& t) {
    if (area < 1 || area > kMaxArea) return false;
    const TWorkAreaRec* w = WorkAreas[area].get();
    if (w == nullptr || w->Dbf.State == kDbfClosed) return false;
    const std::vector<TFieldDef>& fields = w->Dbf.Fields;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (UpperCopy(fields[i].Name) != name) continue;
      const TFieldDef& f = fields[i];
      switch (Upper(f.FieldType)) {
        case 'C':
          t.Tok = kTokFieldC;
          pool_size_ += f.Len + 1u;
          break;
        case 'N':
        case 'F':
          t.Tok = kTokFieldN;
          break;
        case 'L':
          t.Tok = kTokFieldL;
          break;
        case 'D':
          t.Tok = kTokFieldD;
          break;
        case 'M':
          t.Tok = kTokFieldM;
          break;
        default:
          return false;
      }
      t.Field = static_cast<uint8_t>(i + 1);
      rec_len_ = f.Len;
      if (t.Tok == kTokFieldN) rec_dec_ = rec_dec_ == kNoDecimals ? f.Dec : kDefaultDecimals;
      return true;
    }
    return false;
  }

  // ---- Parser stack --------------------------------------------------------------------

  // Shifts the lookahead token: it takes one stack entry.
  void Shift() {
    Consume();
    if (++depth_ > kStackEntries) throw TCompileError{"Parser_stack_overflow"};
  }
  // A reduction leaves one entry where its symbols began.
  void Reduced(int entry_depth) { depth_ = entry_depth + 1; }

  // ---- Code list -----------------------------------------------------------------------

  void Append(const TCodeEntry& e) {
    if (!HeapHas(kNodeSize + 10 + 1)) {
      SetError(217, " [PARSER/SStackCheck]");
      throw TReportedError{};
    }
    block_.Code.push_back(e);
  }
  void EmitInstruction(int32_t opcode, int32_t operands) {
    TCodeEntry e;
    e.Opcode = opcode;
    e.Operands = operands;
    Append(e);
  }
  void EmitInt(int32_t value) {
    TCodeEntry e;
    e.TypeCode = kTypeL;
    e.Int = value;
    Append(e);
  }

  // ---- Grammar -------------------------------------------------------------------------

  // expression with binary operators of at least `min_level`.
  char ParseExpression(int min_level) {
    const int entry = depth_;
    char type = ParseUnary();
    for (;;) {
      const int32_t op = Peek().Tok;
      const int level = BinaryLevel(op);
      if (level == 0 || level < min_level) return type;
      Shift();
      const char right = ParseExpression(level + 1);
      const TBinaryRule* rule = FindBinaryRule(op, type, right);
      if (rule == nullptr) {
        throw TCompileError{std::string("PARSER:Type mismatch in expression \"") +
                            OperatorName(op) + "\""};
      }
      EmitInstruction(rule->Opcode, 2);
      Reduced(entry);
      type = rule->Result;
    }
  }

  char ParseUnary() {
    const int entry = depth_;
    const int32_t op = Peek().Tok;
    if (op != kTokNot && op != '+' && op != '-') return ParsePrimary();
    Shift();
    const char type = ParseUnary();
    const char wanted = op == kTokNot ? 'L' : 'N';
    if (type != wanted) {
      const char* name = op == kTokNot ? ".NOT." : op == '+' ? "Unary +" : "Unary -";
      throw TCompileError{std::string("PARSER:Type mismatch in expression \"") + name + "\""};
    }
    if (op == kTokNot) EmitInstruction(382, 1);
    if (op == '-') EmitInstruction(383, 1);
    Reduced(entry);
    return type;
  }

  char ParsePrimary() {
    const int entry = depth_;
    const TToken t = Peek();
    switch (t.Tok) {
      case kTokString: {
        Shift();
        TCodeEntry e;
        e.TypeCode = kTypeC;
        e.Text = t.Text;
        Append(e);
        return 'C';
      }
      case kTokNumber: {
        Shift();
        TCodeEntry e;
        e.TypeCode = kTypeN;
        e.Num = t.Num;
        Append(e);
        return 'N';
      }
      case kTokTrue:
      case kTokFalse:
        Shift();
        EmitInt(t.Tok == kTokTrue ? 1 : 0);
        return 'L';
      case '(': {
        Shift();
        const char type = ParseExpression(1);
        if (Peek().Tok != ')') SyntaxError();
        Shift();
        Reduced(entry);
        return type;
      }
      default:
        break;
    }
    if (t.Tok >= kTokFieldC && t.Tok <= kTokFieldM + kTokAliasOffset) {
      Shift();
      EmitInt(t.Field);
      const bool qualified = t.Tok > kTokFieldM;
      if (qualified) EmitInt(t.Area);
      EmitInstruction(t.Tok, qualified ? 2 : 1);
      static constexpr char kFieldTypes[] = "CNLDM";
      return kFieldTypes[(t.Tok - kTokFieldC) % kTokAliasOffset];
    }
    const TFunction* f = FindFunction(t.Tok);
    if (f == nullptr) SyntaxError();
    return ParseCall(*f, entry);
  }

  char ParseCall(const TFunction& f, int entry) {
    Shift();  // the name
    if (Peek().Tok != '(') SyntaxError();
    Shift();
    std::string types;
    if (f.MaxArgs > 0) {
      for (;;) {
        types += ParseExpression(1);
        const int32_t tok = Peek().Tok;
        if (tok == ',' && types.size() < f.MaxArgs) {
          Shift();
          continue;
        }
        if (tok == ')' && types.size() >= f.MinArgs) break;
        SyntaxError();
      }
    }
    if (Peek().Tok != ')') SyntaxError();
    Shift();
    char result = f.Result;
    for (size_t i = 0; i < types.size(); ++i) {
      const char want = f.ArgTypes[i];
      const bool ok = want == 'X' ? (types[i] == 'N' || types[i] == 'D') && types[i] == types[0]
                                  : types[i] == want;
      if (!ok) {
        throw TCompileError{std::string("PARSER:Type mismatch in function \"") + f.Name + "\""};
      }
    }
    if (result == 'X') result = types[0];
    EmitInstruction(f.Token, static_cast<int32_t>(types.size()));
    Reduced(entry);
    return result;
  }

  const std::string& text_;
  TExprBlock& block_;
  size_t pos_ = 0;
  TToken look_;
  bool has_look_ = false;
  int depth_ = 0;
  uint32_t pool_size_ = 0;
  int rec_len_ = 0;
  int rec_dec_ = kNoDecimals;
};

// ---- Blocks and errors ---------------------------------------------------------------------

std::vector<std::unique_ptr<TExprBlock>> Blocks;  // every compiled block not yet freed

// The source around `point`: from 50 characters before it for at most 51 characters, with "..."
// where the text is cut.
std::string Excerpt(const std::string& text, size_t point) {
  const size_t start = point > 50 ? point - 50 : 0;
  const size_t end = std::min(text.size(), start + 51);
  return (start > 0 ? "[..." : "[") + text.substr(start, end - start) +
         (end < text.size() ? "...]" : "]");
}

void ReportCompileError(const std::string& text, size_t point, const std::string& message) {
  SetError(351, "Error in expression : " + message + "\r\n" + Excerpt(text, point) + "\r\n" +
                    " [AssignExpr]");
}

}  // namespace

TExprBlock* AssignExpr(const std::string& text) {
  if (ErrorCode >= 350 && ErrorCode <= 363) ErrorCode = 0;
  if (text.size() > kMaxText) {
    ReportCompileError(text, 0, "Expression longer than 255 characters");
    return nullptr;
  }
  if (!HeapHas(static_cast<int64_t>(sizeof(TExprBlock)) + 1)) {
    SetError(217, " [AssignExpr]");
    return nullptr;
  }
  auto block = std::make_unique<TExprBlock>();
  TCompiler compiler(text, *block);
  char type = 0;
  try {
    type = compiler.Compile();
  } catch (const TCompileError& e) {
    ReportCompileError(text, compiler.Point(), e.Message);
    return nullptr;
  } catch (const TReportedError&) {
    return nullptr;
  }

  if (!HeapHas(static_cast<int64_t>(text.size()) + 1)) {
    SetError(217, " [AssignExpr(" + text + ")]");
    return nullptr;
  }
  block->Source = text;

  uint32_t pool = type == 'M' ? 256 : compiler.PoolSize();
  if (pool > UINT16_MAX) pool = UINT16_MAX;
  if (pool != 0) {
    if (!HeapHas(static_cast<int64_t>(pool) + 1)) {
      SetError(217, " [AssignExpr]");
      return nullptr;
    }
    block->Pool.assign(pool, '\0');
  }
  block->PoolSize = static_cast<uint16_t>(pool);
  block->PoolNext = 0;
  block->ResultType = type;

  const int rec_len = compiler.RecordedLength();
  switch (type) {
    case 'C':
      block->Result = block->Pool.data();
      block->Width =
          pool == static_cast<uint32_t>(rec_len) + 1 ? static_cast<uint16_t>(rec_len) : 0;
      break;
    case 'M':
      block->Result = block->Pool.data();
      block->Width = static_cast<uint16_t>(pool);
      break;
    case 'D':
      block->Width = 8;
      break;
    case 'L':
      block->Width = 1;
      break;
    default: {  // 'N'
      const int rec_dec = compiler.RecordedDecimals();
      const int decimals = rec_dec != kNoDecimals && rec_dec < 19 ? rec_dec : kDefaultDecimals;
      const int len = rec_len < decimals + 2 ? 0 : rec_len;
      block->Decimals = static_cast<uint8_t>(decimals);
      block->Width = static_cast<uint16_t>(len != 0 ? len : decimals + 11);
      break;
    }
  }
  Blocks.push_back(std::move(block));
  return Blocks.back().get();
}

void FreeExpr(TExprBlock*& block) {
  for (auto it = Blocks.begin(); it != Blocks.end(); ++it) {
    if (it->get() != block) continue;
    if (CurrentKeyBlock == block) CurrentKeyBlock = nullptr;
    Blocks.erase(it);
    block = nullptr;
    return;
  }
}

size_t ExprBlockCount() { return Blocks.size(); }

void InitParser() {
  Blocks.clear();
  CurrentKeyBlock = nullptr;
  SoundexLength = 4;
  ParserHooks.Compile = [](const std::string& text) -> void* { return AssignExpr(text); };
  ParserHooks.FreeBlock = [](void*& block) {
    TExprBlock* b = static_cast<TExprBlock*>(block);
    FreeExpr(b);
    block = b;
  };
  ParserHooks.Evaluate = [](void* block) -> const void* {
    return EvaluateExpr(static_cast<TExprBlock*>(block));
  };
  ParserHooks.CopyResult = [](void* block) -> std::string {
    return ExprResultText(static_cast<TExprBlock*>(block));
  };
  ParserHooks.EvaluateCurrent = []() -> const void* { return EvaluateExpr(CurrentKeyBlock); };
  ParserHooks.Present = true;
}

}  // namespace engine
