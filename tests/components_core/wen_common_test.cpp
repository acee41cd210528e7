#include "components/core/wen_common.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "components/core/wen_dataset.h"
#include "engine/dates.h"
#include "engine/engine.h"
#include "engine/utils.h"
#include "platform/core/halt.h"
#include "platform/core/locale_settings.h"

namespace components {
namespace {

struct TShownBox {
  std::string Text, Caption;
};

class WenCommonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::ResetEngine();
    platform::ResetLocaleSettings();
    ResetClassLayer();
    platform::SetMessageHook([this](const std::string& text, const std::string& caption,
                                    platform::MessageIcon, platform::MessageButtons) {
      shown_.push_back({text, caption});
      return platform::kResultOk;
    });
  }
  void TearDown() override {
    platform::SetMessageHook(nullptr);
    ResetClassLayer();
    platform::ResetLocaleSettings();
    engine::ResetEngine();
  }

  std::vector<TShownBox> shown_;
};

TEST_F(WenCommonTest, MessageTextsAreFormattedFromTheStringTable) {
  struct {
    int Id;
    std::vector<std::string> Args;
    const char* Expected;
  } const cases[] = {
      {57620, {"_Post"}, "Lock failed [_Post]"},
      {57352, {"X", "amount"}, "Invalid field type 'X' for 'amount'"},
      {57366,
       {"GetMField", "notes", "memo", "notes", "Character"},
       "'GetMField()' expects field 'notes' to be of type:\r\n'memo'.'notes' actually is: "
       "'Character'"},
      {57619, {"13/45/99"}, "Invalid Date '13/45/99' specified (Field: )"},  // missing argument
      {57349, {"surplus"}, "Field name missing"},
      {57858, {}, "false"},
      {57873, {}, "Refresh record"},
      {57345, {}, ""},  // not in the table
  };
  for (const auto& c : cases) {
    std::string got;
    switch (c.Args.size()) {
      case 0:
        got = FmtLoadMsg(c.Id, {});
        break;
      case 1:
        got = FmtLoadMsg(c.Id, {c.Args[0]});
        break;
      case 2:
        got = FmtLoadMsg(c.Id, {c.Args[0], c.Args[1]});
        break;
      default:
        got = FmtLoadMsg(c.Id, {c.Args[0], c.Args[1], c.Args[2], c.Args[3], c.Args[4]});
    }
    EXPECT_EQ(got, c.Expected) << c.Id;
  }
  EXPECT_EQ(FormatMsg("%d%% of %s", {42, "all"}), "42% of all");
  EXPECT_EQ(LoadMsg(57364), "Database is not open");
}

TEST_F(WenCommonTest, RaiseMsgThrowsTheEnginesExceptionWithTheText) {
  try {
    RaiseMsgFmt(kMsgFieldNotFound, {"abc"});
    FAIL() << "no exception";
  } catch (const engine::EWendalError& e) {
    EXPECT_STREQ(e.what(), "Field 'abc' not found");
  }
  EXPECT_THROW(RaiseMsg(kMsgDataSetClosed), EWendalError);
}

TEST_F(WenCommonTest, MessageBoxesAppearOnlyInMessageModeTwoWithoutCaption) {
  EXPECT_EQ(MessageMode(0), 2);  // 0 only reads
  ShowMsgFmt(kMsgCouldNotCreate, {"q.DBF"});
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].Text, "Could not create 'q.DBF'");
  EXPECT_EQ(shown_[0].Caption, "");

  for (uint8_t mode : {1, 3}) {
    EXPECT_EQ(MessageMode(mode), mode == 1 ? 2 : 1);
    ShowMsg(kMsgNameEmpty);
    ShowMsgFmt(kMsgLockFailed, {"_Insert"});
  }
  EXPECT_EQ(shown_.size(), 1u);
  EXPECT_EQ(MessageMode(2), 3);
  ShowMsg(kMsgNameEmpty);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].Text, "This field cannot be left empty!");
}

TEST_F(WenCommonTest, HaltSwitchIsSuspendedAndRestoredOnEveryPath) {
  engine::AbortOnError = true;
  EXPECT_TRUE(SuspendHalt());
  EXPECT_FALSE(engine::AbortOnError);
  EXPECT_FALSE(SuspendHalt());
  EXPECT_FALSE(ResumeHalt());
  EXPECT_TRUE(engine::AbortOnError);

  try {
    THaltSuspension guard;
    EXPECT_FALSE(engine::AbortOnError);
    throw EWendalError("index failed");
  } catch (const EWendalError&) {
  }
  EXPECT_TRUE(engine::AbortOnError);

  engine::AbortOnError = false;  // off before: stays off
  { THaltSuspension guard; }
  EXPECT_FALSE(engine::AbortOnError);
}

TEST_F(WenCommonTest, FindByName10ComparesTheFirstTenCharactersIgnoringCase) {
  TWenSession session;
  TWenDataSource a, b, c;
  a.SetName("QuestionsTab1");
  b.SetName("questionsTableB");
  c.SetName("Other");
  session.AddDataSource(&a);
  session.AddDataSource(&b);
  session.AddDataSource(&c);
  session.AddDataSource(&a);  // listed once
  EXPECT_EQ(session.DataSources().size(), 3u);

  EXPECT_EQ(session.FindByName10("QUESTIONSTXYZ", nullptr), &a);  // 12 characters
  EXPECT_EQ(session.FindByName10("QuestionsTQ", &a), &b);         // never the exception
  EXPECT_EQ(session.FindByName10("other", nullptr), &c);
  EXPECT_EQ(session.FindByName10("Questions", nullptr), nullptr);  // only 9 characters
  EXPECT_EQ(session.FindByName10("other", &c), nullptr);
  session.RemoveDataSource(&a);
  EXPECT_EQ(session.FindByName10("QUESTIONSTXYZ", nullptr), &b);
}

TEST_F(WenCommonTest, StrftimeDateFormatsBecomeClassLibraryFormats) {
  struct {
    const char* Strftime;
    const char* Expected;
  } const cases[] = {
      {"%d.%m.%Y", "dd.MM.yyyy"},  {"%m/%d/%y", "MM/dd/yy"},   {"%Y-%m-%d", "yyyy-MM-dd"},
      {"%d/%m/%Y", "dd/MM/yyyy"},  {"%e.%m.%Y", "dd.MM.yyyy"}, {"%-d.%-m.%Y", "dd.MM.yyyy"},
      {"%D", "MM/dd/yy"},          {"%F", "yyyy-MM-dd"},       {"%Ey-%m-%d", "yy-MM-dd"},
      {"%b %d %Y", "MM/dd/yy"},  // a month name has no class-library form
      {"%d.%m.", "MM/dd/yy"},    // no year
      {"%d.%m.%Y %d", "MM/dd/yy"}, {"", "MM/dd/yy"},           {"%d.%m.%", "MM/dd/yy"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DateFormatFromStrftime(c.Strftime), c.Expected) << c.Strftime;
}

TEST_F(WenCommonTest, StrftimeTimeFormatsBecomeLongTimeFormats) {
  struct {
    const char* Strftime;
    const char* Expected;
  } const cases[] = {
      {"%H:%M:%S", "hh:mm:ss"},    {"%T", "hh:mm:ss"},
      {"%r", "hh:mm:ss AP"},       {"%I:%M:%S %p", "hh:mm:ss AP"},
      {"%H.%M.%S", "hh.mm.ss"},    {"%k:%M", "h:mm"},
      {"%l:%M %P", "h:mm ap"},     {"%R", "hh:mm"},
      {"%-H:%M:%S", "hh:mm:ss"},   {"%OH:%OM", "hh:mm"},
      {"%Hh%M", "hh:mm:ss"},        // a letter of its own would read as a field
      {"%H:%M:%S %Z", "hh:mm:ss"},  // a time zone has no form here
      {"%H", "hh:mm:ss"},           // no minutes
      {"%T %H", "hh:mm:ss"},       {"", "hh:mm:ss"},
      {"%H:%M:%", "hh:mm:ss"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TimeFormatFromStrftime(c.Strftime), c.Expected) << c.Strftime;

  // The literal characters become ANSI bytes, and a format with one that has none falls back.
  EXPECT_EQ(platform::Locale().LongTimeFormat, "hh:mm:ss") << "the start value";
  ApplyLocaleTexts({"%d.%m.%Y", "%H\xC2\xB7%M", ",", ".", "UTF-8"});
  EXPECT_EQ(platform::Locale().LongTimeFormat, "hh\xB7mm");
  ApplyLocaleTexts({"%d.%m.%Y", "%H\xE6\x99\x82%M", ",", ".", "UTF-8"});
  EXPECT_EQ(platform::Locale().LongTimeFormat, "hh:mm:ss");
  ApplyLocaleTexts({"%m/%d/%y", "%r", ".", "", "UTF-8"});
  EXPECT_EQ(platform::Locale().LongTimeFormat, "hh:mm:ss AP");
}

TEST_F(WenCommonTest, SeparatorsMapToOneAnsiByte) {
  EXPECT_EQ(SeparatorByte(",", "UTF-8", '.'), ',');
  EXPECT_EQ(SeparatorByte("\xC2\xA0", "UTF-8", ','), '\xA0');   // no-break space
  EXPECT_EQ(SeparatorByte("\xE2\x80\xAF", "UTF-8", ','), ',');  // narrow no-break space
  EXPECT_EQ(SeparatorByte("\xE2\x80", "UTF-8", ','), ',');      // cut sequence
  EXPECT_EQ(SeparatorByte("", "UTF-8", ','), ',');
  EXPECT_EQ(SeparatorByte("..", "UTF-8", ','), ',');
  EXPECT_EQ(SeparatorByte("\xA0", "ISO-8859-1", ','), '\xA0');
  EXPECT_EQ(SeparatorByte("\xA0", "ANSI_X3.4-1968", ','), ',');
}

TEST_F(WenCommonTest, StartSettingsFollowTheLocale) {
  const char* kTime = "%H:%M:%S";
  struct {
    TLocaleTexts Texts;
    const char* Format;
    char DateSep, TimeSep, DecimalSep, ThousandSep;
    uint8_t DateMode;
    bool Century;
  } const cases[] = {
      {{"%d.%m.%Y", kTime, ",", ".", "UTF-8"}, "dd.MM.yyyy", '.', ':', ',', '.', 5, true},
      {{"%m/%d/%y", kTime, ".", "", "ANSI_X3.4-1968"}, "MM/dd/yy", '/', ':', '.', ',', 0, false},
      {{"%m/%d/%Y", "%r", ".", ",", "UTF-8"}, "MM/dd/yyyy", '/', ':', '.', ',', 0, true},
      {{"%d/%m/%y", "%H.%M.%S", ".", ",", "UTF-8"}, "dd/MM/yy", '/', '.', '.', ',', 2, false},
      // fr_FR: the narrow no-break space has no ANSI byte, and "," is the decimal separator.
      {{"%d/%m/%Y", kTime, ",", "\xE2\x80\xAF", "UTF-8"},
       "dd/MM/yyyy",
       '/',
       ':',
       ',',
       '.',
       2,
       true},
      {{"%d-%m-%Y", kTime, ",", ",", "UTF-8"}, "dd-MM-yyyy", '-', ':', ',', '.', 3, true},
      {{"%Y-%m-%d", kTime, ",", "\xC2\xA0", "UTF-8"}, "yyyy-MM-dd", '-', ':', ',', '\xA0', 1, true},
      {{"%d.%m.%Y", "%H.%M.%S", ".", ".", "UTF-8"}, "dd.MM.yyyy", '.', '.', '.', ',', 5, true},
      {{"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "%H\xE6\x99\x82%M\xE5\x88\x86", ".", ",",
        "UTF-8"},
       "MM/dd/yy",
       '/',
       ':',
       '.',
       ',',
       0,
       false},  // separators without an ANSI byte
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Texts.DateFormat + " " + c.Texts.TimeFormat);
    ApplyLocaleTexts(c.Texts);
    const platform::LocaleSettings& locale = platform::Locale();
    EXPECT_EQ(locale.ShortDateFormat, c.Format);
    EXPECT_EQ(locale.DateSeparator, c.DateSep);
    EXPECT_EQ(locale.TimeSeparator, c.TimeSep);
    EXPECT_EQ(locale.DecimalSeparator, c.DecimalSep);
    EXPECT_EQ(locale.ThousandSeparator, c.ThousandSep);
    ApplyEngineSettingsFromLocale();
    EXPECT_EQ(engine::DateMode, c.DateMode);
    EXPECT_EQ(engine::Century, c.Century);
    EXPECT_EQ(engine::DecimalSep, c.DecimalSep);
    EXPECT_EQ(engine::GroupSep, c.ThousandSep);
  }
}

TEST_F(WenCommonTest, UserLocaleTextsComeFromTheEnvironment) {
  setenv("LC_ALL", "C", 1);
  TLocaleTexts c = ReadUserLocaleTexts();
  EXPECT_EQ(c.DateFormat, "%m/%d/%y");
  EXPECT_EQ(c.TimeFormat, "%H:%M:%S");
  EXPECT_EQ(c.DecimalPoint, ".");
  EXPECT_EQ(c.ThousandsSep, "");
  // A locale that is not installed gives the C locale's texts.
  setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
  TLocaleTexts missing = ReadUserLocaleTexts();
  EXPECT_EQ(missing.DateFormat, "%m/%d/%y");
  EXPECT_EQ(missing.DecimalPoint, ".");
  unsetenv("LC_ALL");
}

TEST_F(WenCommonTest, InitClassLayerRunsOnceAndTheExitProcedureFreesTheSession) {
  setenv("LC_ALL", "C", 1);
  TrueText = "x";
  EXPECT_EQ(WenSession, nullptr);
  InitClassLayer();
  TWenSession* first = WenSession;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(TrueText, "true");
  EXPECT_EQ(NoText, "no");
  EXPECT_EQ(platform::Locale().ShortDateFormat, "MM/dd/yy");
  EXPECT_EQ(platform::Locale().LongTimeFormat, "hh:mm:ss");
  EXPECT_EQ(engine::DateMode, 0);
  InitClassLayer();
  EXPECT_EQ(WenSession, first);
  platform::RunExitProcs();
  EXPECT_EQ(WenSession, nullptr);
  unsetenv("LC_ALL");
}

TEST_F(WenCommonTest, ComponentsFreeWhatTheyOwn) {
  struct TProbe : TComponent {
    TProbe(TComponent* owner, std::vector<std::string>* log, std::string name)
        : TComponent(owner), log_(log) {
      SetName(std::move(name));
    }
    ~TProbe() override { log_->push_back(GetName()); }
    std::vector<std::string>* log_;
  };
  std::vector<std::string> log;
  auto* root = new TProbe(nullptr, &log, "root");
  new TProbe(root, &log, "a");
  auto* b = new TProbe(root, &log, "b");
  new TProbe(b, &log, "b1");
  auto* c = new TProbe(root, &log, "c");
  delete c;  // leaves its owner's list
  EXPECT_EQ(root->Components().size(), 2u);
  root->BeginLoading();
  EXPECT_TRUE(b->Loading());
  root->Loaded();
  EXPECT_FALSE(b->Loading());
  EXPECT_FALSE(root->Designing());
  delete root;
  EXPECT_EQ(log, (std::vector<std::string>{"c", "root", "b", "b1", "a"}));
}

}  // namespace
}  // namespace components
