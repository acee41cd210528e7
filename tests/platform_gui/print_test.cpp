#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gui/qt_services.h"
#include "platform/gui/services.h"
#include "platform/gui/test_services.h"
#include "platform/gui/text.h"
#include "tests/platform_gui/gui_test_util.h"
#include "tests/support/temp_dir.h"

namespace platform::gui {
namespace {

using testing_support::CommandOutput;
using testing_support::ShellQuote;

// The non-empty lines of the PDF's text, blanks at both ends removed and runs of blanks inside
// made one (the text tool guesses the spacing from glyph positions).
std::vector<std::string> PdfLines(const std::string& path) {
  std::istringstream text(CommandOutput("pdftotext -layout " + ShellQuote(path) + " -"));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(text, line)) {
    size_t first = line.find_first_not_of(" \t\f");
    if (first == std::string::npos) continue;
    size_t last = line.find_last_not_of(" \t\f");
    std::string trimmed;
    for (char c : line.substr(first, last - first + 1)) {
      if (c == ' ' && !trimmed.empty() && trimmed.back() == ' ') continue;
      trimmed += c;
    }
    lines.push_back(trimmed);
  }
  return lines;
}

std::string PdfInfo(const std::string& path, const std::string& key) {
  std::istringstream info(CommandOutput("pdfinfo " + ShellQuote(path)));
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind(key + ":", 0) == 0) {
      size_t value = line.find_first_not_of(' ', key.size() + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
  }
  return "";
}

TEST(PrintPdf, TitledTextReadsBackAsPrintedWithTheJobTitle) {
  testing_support::TempDir dir;
  TestServices services;
  services.set_pdf_folder(QString::fromStdString(dir.path()));
  PrintJob job{"Examination Score Report",
               QString::fromUtf8("Examination Score Report for Demo\r\n\r\nYour Score: 800\r\n"
                                 "Passing Score: 700\nGröße – “Prüfung”: Pass"),
               MonoFontPixels(13)};
  ServiceResult result = Services::Current().Print(job);
  ASSERT_TRUE(result.ok) << result.error.toStdString();

  ASSERT_EQ(services.printed().size(), 1u);
  EXPECT_EQ(services.printed()[0].title, job.title);
  EXPECT_EQ(services.printed()[0].text, job.text);
  ASSERT_EQ(services.pdf_files().size(), 1u);
  std::string pdf = services.pdf_files()[0].toStdString();
  EXPECT_EQ(PdfLines(pdf),
            (std::vector<std::string>{"Examination Score Report for Demo", "Your Score: 800",
                                      "Passing Score: 700", "Größe – “Prüfung”: Pass"}));
  EXPECT_EQ(PdfInfo(pdf, "Title"), "Examination Score Report");
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
}

TEST(PrintPdf, LongTextIsOneJobOverSeveralPagesInOrder) {
  testing_support::TempDir dir;
  std::string path = dir / "review.pdf";
  QString text;
  std::vector<std::string> expected;
  for (int i = 1; i <= 150; ++i) {
    std::string line = "Item " + std::to_string(i) + ".  M    A";
    expected.push_back("Item " + std::to_string(i) + ". M A");
    text += QString::fromStdString(line) + "\n";
  }
  ServiceResult result =
      PrintToPdf({"Item Review", text, MonoFontPixels(13)}, QString::fromStdString(path));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(PdfLines(path), expected);
  EXPECT_GE(std::stoi(PdfInfo(path, "Pages")), 2);
  EXPECT_EQ(PdfInfo(path, "Title"), "Item Review");
}

TEST(PrintPdf, QtServicesPrintIntoAFolderWhenAsked) {
  testing_support::TempDir dir;
  QtServices real;
  real.set_pdf_folder(QString::fromStdString(dir.path()));
  PrintJob job{"Missed Items Report", "Question 1\nYour answer: B", SansFont(10)};
  ASSERT_TRUE(real.Print(job).ok);
  ASSERT_TRUE(real.Print(job).ok);
  std::string first = dir / "Missed Items Report.pdf";
  std::string second = dir / "Missed Items Report-2.pdf";
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(first)));
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(second)));
  EXPECT_EQ(PdfLines(second), (std::vector<std::string>{"Question 1", "Your answer: B"}));
}

TEST(PrintPdf, AFailedPrintIsReportedAndKeepsNothing) {
  TestServices services;
  services.set_print_result({false, "There is no default printer."});
  ServiceResult result = Services::Current().Print({"Item Review", "x", SansFont(8)});
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(services.printed().empty());
  ASSERT_EQ(services.calls().size(), 1u);
  EXPECT_EQ(services.calls()[0].result, "There is no default printer.");
}

}  // namespace
}  // namespace platform::gui
