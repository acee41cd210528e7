// Key expressions: the compiled code block shared by the compiler (AssignExpr) and the
// evaluator. A block holds the expression's postfix code list, its result type, width and
// decimals, its text literals, its work stack and its working pool for character values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace engine {

// Value type codes.
inline constexpr int32_t kTypeC = 331;
inline constexpr int32_t kTypeN = 332;
inline constexpr int32_t kTypeL = 333;
inline constexpr int32_t kTypeD = 334;
inline constexpr int32_t kTypeM = 335;

inline constexpr int32_t kOpData = 0;  // a data entry
inline constexpr int32_t kOpEnd = -1;  // ends the code list

// One entry of a code list or work stack: an instruction {opcode, operand count} or a data
// entry {opcode 0, type code, value}. Numbers and dates use Num, logicals and field/area
// numbers Int, texts point at a NUL-terminated literal (code list) or into the pool (work
// stack).
struct TCodeEntry {
  int32_t Opcode = kOpData;
  int32_t Operands = 0;
  int32_t TypeCode = 0;
  double Num = 0;
  int32_t Int = 0;
  const char* Text = nullptr;
};

struct TExprBlock {
  std::string Source;     // copy of the expression text
  char ResultType = ' ';  // 'C', 'N', 'L', 'D' or 'M'
  uint16_t Width = 0;
  uint8_t Decimals = 0;
  const void* Result = nullptr;       // the result after evaluation
  std::list<std::string> Constants;   // the text literals (stable addresses)
  std::vector<TCodeEntry> Code;       // postfix instructions, first to last
  std::vector<TCodeEntry> WorkStack;  // kept between evaluations for reuse
  uint16_t PoolSize = 0;
  std::vector<char> Pool;
  size_t PoolNext = 0;  // next free byte of the pool
};

// Compiles an expression; nullptr after reporting the error (351, 217).
TExprBlock* AssignExpr(const std::string& text);
// Frees a block of the engine's list and sets the pointer to nullptr; a block not in the list
// is left alone.
void FreeExpr(TExprBlock*& block);
// Evaluates a block over the current record: the result pointer (text for C and M, double
// for N and D, int32_t for L), nullptr for no block.
const void* EvaluateExpr(TExprBlock* block);
// The character result of a block as a string.
std::string ExprResultText(TExprBlock* block);

// The number of blocks compiled and not yet freed.
size_t ExprBlockCount();

// Initialises the parser module: frees every block still compiled, clears CurrentKeyBlock,
// restores SoundexLength and fills ParserHooks (setting its Present flag).
void InitParser();

// The block the index unit sets while it builds or opens an index.
extern TExprBlock* CurrentKeyBlock;
extern uint8_t SoundexLength;  // 4

}  // namespace engine
