// The rows of the item review and its printout, as text: one row per item with its number,
// a glyph for its mark, a glyph for its completeness, its answer letters and its display line.
// ANSI text throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// One row of the review list. Only the row's own pieces are markup: MarkupEnd is the end of
// the completeness piece, and the answer and display line after it are shown as they stand.
struct TReviewRow {
  std::string Text;
  std::size_t MarkupEnd = 0;

  bool operator==(const TReviewRow&) const = default;
};

// The row of item `item` from its entries in the test's lists: the number right-aligned in 4
// characters up to 99 ("  7.", " 12.", " 100."); " ^1 " when `marked` is exactly "M", else
// " ^3 "; "  ^2 " when `incomplete` is exactly "I", else "  ^3 "; three blanks; the answer
// entry; the display line.
TReviewRow ReviewRow(int32_t item, const std::string& marked, const std::string& incomplete,
                     const std::string& user_answer, const std::string& display_line);

// The printout of the rows: `heading`, an empty line, then each row with the glyph pair of its
// markup pieces put in letters: "^1   ^3" gives " M    ", "^1   ^2" " M  I ", "^3   ^2"
// "    I " and "^3   ^3" six blanks. Text after a row's markup end is left as it stands.
std::vector<std::string> ReviewPrintout(const std::string& heading,
                                        const std::vector<TReviewRow>& rows);

}  // namespace app
