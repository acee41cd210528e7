// Data-bound and INI-bound controls under the user's locale: numbers typed, posted and read
// back under every decimal and thousands separator, a screenshot of a number edit with the
// decimal comma, and Cyrillic text for a Russian user (OEM 866 tables, ANSI 1251 profiles).
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>

#include "components/core/wen_common.h"
#include "components/core/wen_dataset.h"
#include "components/core/wen_dbf.h"
#include "components/gui/vexa_controls.h"
#include "components/gui/wen_edit.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/work_area.h"
#include "platform/core/code_pages.h"
#include "platform/core/halt.h"
#include "platform/core/language.h"
#include "platform/core/locale_settings.h"
#include "platform/gui/test_services.h"
#include "platform/gui/text.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

namespace components {
namespace {

// A writable table PRICES with NAME C(10), PRICE N(12,2) and COUNT N(9,0), one record, and a
// shown window for the controls.
class LocaleTextTest : public ::testing::Test {
 protected:
  void SetUp() override { StartLayers(); }
  void TearDown() override {
    window_.reset();
    table_.reset();
    platform::SetMessageHook(nullptr);
    ResetClassLayer();
    platform::ClearTestLanguage();
    engine::ResetEngine();
    platform::ResetLocaleSettings();
  }

  // Starts the engine and the class layer as the program does, in the language set.
  void StartLayers() {
    engine::ResetEngine();
    engine::AbortOnError = false;
    ResetClassLayer();
    InitClassLayer();
    platform::SetMessageHook([this](const std::string& text, const std::string&,
                                    platform::MessageIcon, platform::MessageButtons) {
      messages_.push_back(text);
      return platform::kResultOk;
    });
  }

  void MakeTable() {
    TWenDbf t;
    t.SetName("Prices");
    t.DbfFields = {"NAME, C, 10, 0", "PRICE, N, 12, 2", "COUNT, N, 9, 0"};
    t.SetDbfFileName(Path());
    t.SetActive(true);
    ASSERT_TRUE(t.Active()) << engine::ErrorMsg;
    t.DataSet()->Append();
    t.DataSet()->FieldByName("name")->SetText("x");
    ASSERT_TRUE(t.DataSet()->Post());
  }

  // Opens the table as table_ (a fresh component) on its first record.
  void OpenTable() {
    table_.reset();
    table_ = std::make_unique<TWenDbf>();
    table_->SetName("Prices");
    table_->SetDbfFileName(Path());
    table_->SetActive(true);
    ASSERT_TRUE(table_->Active()) << engine::ErrorMsg;
    table_->GoTop();
  }
  std::string Path() const { return dir_ / "prices.dbf"; }
  TWenDataSet* DataSet() const { return table_->DataSet(); }

  TWenEdit* BoundEdit(const char* field, const QRect& geometry) {
    auto* edit = new TWenEdit(window_.get());
    edit->SetDataSource(table_.get());
    edit->SetDataField(field);
    edit->setGeometry(geometry);
    return edit;
  }

  void ShowWindow() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  void Focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w->hasFocus());
  }
  // Types text as the keyboard does, one character per key (Cyrillic included).
  static void Type(QWidget* w, const QString& text) {
    for (const QChar ch : text) {
      const auto key = static_cast<Qt::Key>(ch.toUpper().unicode());
      QTest::sendKeyEvent(QTest::Click, w, key, QString(ch), Qt::NoModifier);
    }
  }

  testing_support::TempDir dir_;
  platform::gui::TestServices services_;
  std::unique_ptr<TWenDbf> table_;
  std::unique_ptr<QWidget> window_ = std::make_unique<QWidget>();
  std::vector<std::string> messages_;
};

// The text of a value with "." as the decimal point, in the given separators, grouped in
// threes when grouped is set.
std::string LocaleNumber(const std::string& text, char decimal, char thousands, bool grouped) {
  std::string out = text;
  const size_t point = out.find('.');
  if (point != std::string::npos) out[point] = decimal;
  if (grouped && thousands != '\0') {
    const size_t first_digit = out[0] == '-' ? 1 : 0;
    for (size_t end = point == std::string::npos ? out.size() : point; end > first_digit + 3;
         end -= 3) {
      out.insert(end - 3, 1, thousands);
    }
  }
  return out;
}

// Each separator setting with values typed grouped and plain into a bound edit: posted and read
// back through a fresh component, the value is the one typed. Then the user changes one digit
// of what the edit shows, and only that digit changes.
TEST_F(LocaleTextTest, NumbersTypedIntoABoundEditArePostedAndReadBackUnderEverySeparator) {
  MakeTable();
  struct Value {
    const char* field;
    const char* typed;  // "." for the decimal separator
    const char* shown;
  };
  const Value values[] = {
      {"price", "3.5", "3.50"},
      {"price", "-123456.25", "-123456.25"},  // grouped, 11 of the 12 places
      {"price", "0.07", "0.07"},
      {"count", "1234567", "1234567"},
  };
  for (const char decimal : {'.', ','}) {
    for (const char thousands : {'.', ',', ' ', '\0'}) {
      if (thousands == decimal) continue;
      platform::Locale().DecimalSeparator = decimal;
      platform::Locale().ThousandSeparator = thousands;
      for (const Value& v : values) {
        for (const bool grouped : {false, true}) {
          const std::string typed = LocaleNumber(v.typed, decimal, thousands, grouped);
          const std::string shown = LocaleNumber(v.shown, decimal, thousands, false);
          SCOPED_TRACE(std::string("decimal '") + decimal + "' thousands '" +
                       (thousands ? std::string(1, thousands) : "none") + "' typed " + typed);
          window_ = std::make_unique<QWidget>();
          OpenTable();
          TWenEdit* edit = BoundEdit(v.field, {10, 10, 160, 24});
          ShowWindow();
          Focus(edit);
          edit->selectAll();
          QTest::keyClicks(edit, QString::fromStdString(typed));
          ASSERT_EQ(DataSet()->State(), stEdit);
          ASSERT_TRUE(DataSet()->Post());

          OpenTable();
          EXPECT_EQ(DataSet()->FieldByName(v.field)->GetText(), shown);
          window_ = std::make_unique<QWidget>();
          edit = BoundEdit(v.field, {10, 10, 160, 24});
          EXPECT_EQ(edit->text().toStdString(), shown);

          // Change the last digit to 9 and back: the value stays (a separator read as the
          // wrong one would scale it).
          ShowWindow();
          Focus(edit);
          edit->end(false);
          QTest::keyClick(edit, Qt::Key_Backspace);
          QTest::keyClicks(edit, QString(QChar(shown.back())));
          ASSERT_TRUE(DataSet()->Post());
          OpenTable();
          EXPECT_EQ(DataSet()->FieldByName(v.field)->GetText(), shown);
        }
      }
    }
  }
  EXPECT_TRUE(messages_.empty());
}

// The screenshot: an edit on the price under decimal-comma settings, focused and not.
TEST_F(LocaleTextTest, ABoundNumberEditWithTheDecimalCommaIsSaved) {
  MakeTable();
  platform::Locale().DecimalSeparator = ',';
  platform::Locale().ThousandSeparator = '.';
  OpenTable();
  DataSet()->Edit();
  DataSet()->FieldByName("price")->SetText("1.234,5");
  DataSet()->FieldByName("count")->SetText("42");
  ASSERT_TRUE(DataSet()->Post());

  window_->resize(300, 110);
  window_->setWindowTitle("Decimal comma");
  QPalette palette = window_->palette();
  palette.setColor(QPalette::Window, platform::gui::ColorFromBgr(0x8000000F));
  window_->setPalette(palette);
  window_->setAutoFillBackground(true);
  window_->setFont(platform::gui::SansFont(8));
  TWenEdit* price = BoundEdit("price", {90, 14, 120, 22});
  price->SetName("PriceEdit");
  price->SetAlignment(taRightJustify);
  price->SetCaption("Price");
  TWenEdit* typed = BoundEdit("price", {90, 44, 120, 22});
  typed->SetName("TypedEdit");
  typed->SetCaption("Typing");
  TWenEdit* count = BoundEdit("count", {90, 74, 120, 22});
  count->SetName("CountEdit");
  count->SetAlignment(taRightJustify);
  count->SetCaption("Count");
  ShowWindow();
  Focus(typed);
  typed->end(false);
  QTest::keyClick(typed, Qt::Key_Backspace);
  QTest::keyClicks(typed, "7");
  EXPECT_EQ(price->text(), "1234,50");
  EXPECT_EQ(typed->text(), "1234,57");
  EXPECT_EQ(count->text(), "42");

  QCoreApplication::processEvents();
  const QImage shot = window_->grab().toImage();
  const std::string path = testing_support::ArtefactDir() + "components_decimal_comma_edit.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(path)));
  ASSERT_TRUE(DataSet()->Post());
  OpenTable();
  EXPECT_EQ(DataSet()->FieldByName("price")->GetText(), "1234,57");
}

// A Russian user: the table's OEM text is code page 866 and the profile's ANSI text 1251, and
// both show as Cyrillic; Cyrillic typed into a bound edit is stored as 866 bytes.
TEST_F(LocaleTextTest, ARussianUserSeesAndTypesCyrillic) {
  platform::SetTestLanguage("ru_RU.UTF-8");
  StartLayers();
  ASSERT_TRUE(platform::RussianCodePages());
  const QString privet = QString::fromUtf8("Привет");
  MakeTable();
  {
    // The name as the table holds it: "Привет" in code page 866.
    engine::Select(0);
    engine::USE(Path() + " EXCLUSIVE", nullptr, 0);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
    engine::GoTop();
    uint8_t* name = engine::FieldAddress(1);
    const std::string oem = "\x8F\xE0\xA8\xA2\xA5\xE2";
    name[0] = static_cast<uint8_t>(oem.size());
    std::copy(oem.begin(), oem.end(), name + 1);
    engine::Replace();
    engine::USE("", nullptr, 0);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  }
  OpenTable();
  TWenEdit* edit = BoundEdit("name", {10, 10, 160, 24});
  EXPECT_EQ(edit->text(), privet);

  testing_support::WriteFileBytes(dir_ / "exam.ini",
                                  "[Info]\r\nTitle=\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
  TVexaSource source;
  source.SetFileName(dir_ / "exam.ini");
  TVexaLabel label(window_.get());
  label.SetINISource(&source);
  label.SetINISection("Info");
  label.SetINIItem("Title");
  label.ReadINI();
  EXPECT_EQ(label.Caption(), privet);

  ShowWindow();
  Focus(edit);
  edit->selectAll();
  Type(edit, QString::fromUtf8("Мир"));
  EXPECT_EQ(edit->text(), QString::fromUtf8("Мир"));
  ASSERT_TRUE(DataSet()->Post());
  table_.reset();
  const std::string bytes = testing_support::ReadFileBytes(Path());
  EXPECT_NE(bytes.find("\x8C\xA8\xE0"), std::string::npos) << "stored in code page 866";
  EXPECT_EQ(bytes.find("\xCC\xE8\xF0"), std::string::npos) << "not in code page 1251";
  OpenTable();
  EXPECT_EQ(DataSet()->FieldByName("name")->GetText(), "\xCC\xE8\xF0") << "ANSI 1251";
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace components
