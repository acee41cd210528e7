#include "app/item_review_rows.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace app {
namespace {

struct TPairLetters {
  std::string_view Pair;
  std::string_view Letters;
};

// Each pair is 7 characters and its letters 6.
constexpr std::array<TPairLetters, 4> kPairs = {{
    {"^1   ^3", " M    "},
    {"^1   ^2", " M  I "},
    {"^3   ^2", "    I "},
    {"^3   ^3", "      "},
}};

}  // namespace

TReviewRow ReviewRow(int32_t item, const std::string& marked, const std::string& incomplete,
                     const std::string& user_answer, const std::string& display_line) {
  TReviewRow row;
  row.Text = (item < 10 ? "  " : " ") + std::to_string(item) + ".";
  row.Text += marked == "M" ? " ^1 " : " ^3 ";
  row.Text += incomplete == "I" ? "  ^2 " : "  ^3 ";
  row.MarkupEnd = row.Text.size();
  row.Text += "   ";
  row.Text += user_answer;
  row.Text += display_line;
  return row;
}

std::vector<std::string> ReviewPrintout(const std::string& heading,
                                        const std::vector<TReviewRow>& rows) {
  std::vector<std::string> lines = {heading, std::string()};
  lines.reserve(rows.size() + 2);
  for (const TReviewRow& row : rows) {
    std::string text = row.Text;
    const std::size_t end = std::min(row.MarkupEnd, text.size());
    for (const TPairLetters& pair : kPairs) {
      const std::size_t at = text.find(pair.Pair);
      if (at != std::string::npos && at + pair.Pair.size() <= end) {
        text.replace(at, pair.Pair.size(), pair.Letters);
        break;
      }
    }
    lines.push_back(std::move(text));
  }
  return lines;
}

}  // namespace app
