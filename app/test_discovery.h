// Finding a test in its folder and the names and values derived from its test definition.
// Pure functions over names and texts, so that every build and the tests share them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

// The regular, non-hidden files of `folder` whose names match "*.ini" in any letter case,
// sorted as the Windows file list sorts them: by the ASCII upper-cased name, ties bytewise.
// Bare names; an unreadable folder gives an empty list.
std::vector<std::string> ListTestDefinitions(const std::string& folder);

// The question table of a test definition: its name without the last three characters, plus
// "dbf" ("test.ini" gives "test.dbf"; "ab" gives "dbf").
std::string QuestionTableName(const std::string& ini_name);

// The book of a question table: "pdf" for the format "Acrobat", "hlp" for "Help" (exact,
// case-sensitive) in place of the table name's last three characters; empty otherwise.
std::string BookFileName(const std::string& dbf_name, const std::string& book_format);

// A test-definition value that must be a whole number: an optional sign and decimal digits,
// blanks around it allowed (as the class library's text-to-integer takes it), within 32 bits.
std::optional<int> WholeNumber(const std::string& text);

// The pass mark as a whole percentage: the 0..1000 score times 0.1, halves to the even
// neighbour (700 gives 70, 705 gives 70, 715 gives 72). Exact, not through a binary fraction.
int PassingPercentFor(int passing_score);

// The message for a required whole-number key that is missing or not a whole number.
std::string BadNumberMessage(const std::string& key, const std::string& ini_name);

}  // namespace app
