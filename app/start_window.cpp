#include "app/start_window.h"

#include <QCloseEvent>
#include <QColor>
#include <QKeyEvent>
#include <QPalette>
#include <QPixmap>

#include "app/app_context.h"
#include "app/artwork.h"
#include "app/item_review_window.h"
#include "app/objective_window.h"
#include "app/question_window.h"
#include "app/test_controller.h"
#include "app/test_discovery.h"
#include "app/window_support.h"
#include "platform/core/paths.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

components::TVexaEdit* HiddenEdit(QWidget* parent, const char* name, const char* section,
                                  const char* key, components::TVexaSource* source) {
  auto* edit = new components::TVexaEdit(parent);
  edit->setObjectName(name);
  // The design-time text is the control's name, which is no number: a missing key is caught.
  edit->setText(name);
  edit->SetINISource(source);
  edit->SetINISection(section);
  edit->SetINIItem(key);
  edit->hide();
  return edit;
}

}  // namespace

const char kDisclaimer[] =
    "This practice exam is provided for informational and study purposes only. It is "
    "provided as is, without warranties of any kind, express or implied. There is no "
    "guarantee that results achieved here correlate with results on the actual "
    "certification exam. No part of this practice exam may be reproduced or distributed "
    "without the written permission of its publisher.";

void PlaceLogoRow(QLabel* logo1, QLabel* logo2, QLabel* logo3, int left, int top) {
  for (QLabel* logo : {logo1, logo2, logo3}) {
    logo->setGeometry(left, top, 89, 81);
    left += 96;
  }
}

void MakeLogoRow(QWidget* parent, int left, int top, QLabel*& logo1, QLabel*& logo2,
                 QLabel*& logo3) {
  logo1 = new QLabel(parent);
  logo2 = new QLabel(parent);
  logo3 = new QLabel(parent);
  logo1->setObjectName("Logo1");
  logo2->setObjectName("Logo2");
  logo3->setObjectName("Logo3");
  for (QLabel* logo : {logo1, logo2, logo3}) logo->setAlignment(Qt::AlignCenter);
  PlaceLogoRow(logo1, logo2, logo3, left, top);
}

QTextEdit* MakeGreyMemo(QWidget* parent, const char* name, const QRect& place) {
  auto* memo = new QTextEdit(parent);
  memo->setObjectName(name);
  memo->setGeometry(place);
  memo->setReadOnly(true);
  memo->setAcceptRichText(false);
  QPalette grey = memo->palette();
  grey.setColor(QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
  memo->setPalette(grey);
  return memo;
}

void LoadLogos(const std::string& folder, QLabel* logo1, QLabel* logo2, QLabel* logo3) {
  const std::pair<const char*, QLabel*> logos[] = {
      {"Logo1.bmp", logo1}, {"Logo2.bmp", logo2}, {"Logo3.bmp", logo3}};
  for (const auto& [file, image] : logos) {
    const std::string path = platform::ResolveCase(WithSeparator(folder) + file);
    QPixmap bitmap;
    if (platform::PathExists(path) && bitmap.load(QString::fromLocal8Bit(path), "BMP")) {
      image->setPixmap(bitmap);
    } else {
      image->clear();
    }
  }
}

TStartUp::TStartUp() : FormActivation(this) {
  setObjectName("StartUp");
  setWindowTitle(Ctx().Title());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  setFixedSize(629, 431);

  const TLogoPanel logo = MakeLogoPanel(this);
  Panel1 = logo.Panel1;
  Shape1 = logo.Shape1;
  Image2 = logo.Image2;

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(8, 112, 305, 311);
  Image1 = new QLabel(GroupBox1);
  Image1->setObjectName("Image1");
  Image1->setGeometry(14, 24, 281, 178);
  Image1->setPixmap(StartBanner(Image1->size()));
  MakeLogoRow(GroupBox1, 14, 210, Logo1, Logo2, Logo3);

  GroupBox2 = new QGroupBox(this);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(321, 8, 300, 375);
  RichEdit1 = MakeGreyMemo(GroupBox2, "RichEdit1", QRect(10, 18, 280, 347));
  RichEdit1->setPlainText(kDisclaimer);

  ExitBtn = new QPushButton("E&xit", this);
  ExitBtn->setObjectName("ExitBtn");
  ExitBtn->setGeometry(321, 394, 89, 29);
  NextBtn = new QPushButton("&Next", this);
  NextBtn->setObjectName("NextBtn");
  NextBtn->setGeometry(532, 394, 89, 29);
  NextBtn->setDefault(true);
  platform::gui::GuardedConnect(NextBtn, &QPushButton::clicked, this, &TStartUp::NextBtnClick);
  platform::gui::GuardedConnect(ExitBtn, &QPushButton::clicked, this, &TStartUp::ExitBtnClick);

  FileListBox1 = new TFileListBox(this);
  FileListBox1->setObjectName("FileListBox1");
  FileListBox1->hide();
  DirectoryListBox1 = new TDirectoryListBox(this);
  DirectoryListBox1->setObjectName("DirectoryListBox1");
  DirectoryListBox1->hide();
  DriveComboBox1 = new TDriveComboBox(this);
  DriveComboBox1->setObjectName("DriveComboBox1");
  DriveComboBox1->hide();

  VexaSource1.SetUseAppDir(true);
  VexaLabel1 = new components::TVexaLabel(this);
  VexaLabel1->setObjectName("VexaLabel1");
  VexaLabel1->setText("VexaLabel1");
  VexaLabel1->SetINISource(&VexaSource1);
  VexaLabel1->SetINISection(kTestInfo);
  VexaLabel1->SetINIItem("Test Name");
  VexaLabel1->hide();
  VexaEdit1 = HiddenEdit(this, "VexaEdit1", kTestInfo, "Number of Questions", &VexaSource1);
  VexaEdit2 = HiddenEdit(this, "VexaEdit2", kTestInfo, "Time Limit", &VexaSource1);
  VexaEdit3 = HiddenEdit(this, "VexaEdit3", kTestInfo, "Passing Score", &VexaSource1);
  VexaEdit4 = HiddenEdit(this, "VexaEdit4", kMenuOptions, "Show Chapter", &VexaSource1);
  VexaShowLinks = HiddenEdit(this, "VexaShowLinks", kMenuOptions, "Show Links", &VexaSource1);
  VexaEdit5 = HiddenEdit(this, "VexaEdit5", kBookFormat, "Format", &VexaSource1);
  VexaEdit6 = HiddenEdit(this, "VexaEdit6", kMenuOptions, "Write Scores", &VexaSource1);
}

void TStartUp::FormCreate() {
  CentreOnScreen(this);
  // A folder list names its folder without the final separator (the root excepted).
  std::string here = platform::CurrentDir();
  if (here.size() > 1) here.pop_back();
  DirectoryListBox1->Directory = here;
  FileListBox1->Directory = here;
  FileListBox1->Update();
}

void TStartUp::FormShow() { LoadLogos(FileListBox1->Directory, Logo1, Logo2, Logo3); }

void TStartUp::FormActivate() {
  if (!DiscoverTest()) return;
  if (!ReadTestDefinition()) return;
  OpenQuestionTable();
}

bool TStartUp::DiscoverTest() {
  if (FileListBox1->Files().empty()) {
    QuitForMissingFiles();
    return false;
  }
  ini_name_ = FileListBox1->Files().front();
  VexaSource1.SetFileName(ini_name_);
  return true;
}

bool TStartUp::ReadTestDefinition() {
  ReadTestName();
  RereadKeys();
  if (!CheckRequiredNumbers()) return false;
  StoreOptions();
  ShowReferencesButton();
  StoreNumbers();
  BeforeTimeLabel();
  SetTimeLabel();
  return true;
}

void TStartUp::ReadTestName() {
  VexaLabel1->ReadINI();
  GroupBox1->setTitle(VexaLabel1->Caption());
}

void TStartUp::RereadKeys() {
  for (components::TVexaEdit* edit :
       {VexaEdit1, VexaEdit2, VexaEdit3, VexaEdit4, VexaEdit5, VexaEdit6, VexaShowLinks}) {
    edit->ReadINI();
  }
}

std::vector<components::TVexaEdit*> TStartUp::RequiredNumberEdits() {
  return {VexaEdit2, VexaEdit3};
}

bool TStartUp::CheckRequiredNumbers() {
  for (components::TVexaEdit* edit : RequiredNumberEdits()) {
    if (!WholeNumber(QStringToAnsi(edit->text()))) {
      QuitWithMessage(BadNumberMessage(std::string(edit->INIItem()), ini_name_));
      return false;
    }
  }
  return true;
}

void TStartUp::StoreOptions() {
  TStartUpValues& v = Ctx().Values;
  v.WriteScores = QStringToAnsi(VexaEdit6->text());
  v.BookFormatValue = QStringToAnsi(VexaEdit5->text());
  v.ShowChapter = QStringToAnsi(VexaEdit4->text());
  v.ShowLinks = QStringToAnsi(VexaShowLinks->text());
}

void TStartUp::ShowReferencesButton() {
  const TStartUpValues& v = Ctx().Values;
  Ctx().Questions->ShowRefsBtn->setVisible(v.ShowChapter == "1" || v.ShowLinks == "1");
}

void TStartUp::StoreNumbers() {
  TStartUpValues& v = Ctx().Values;
  v.AppDir = WithSeparator(DirectoryListBox1->Directory);
  v.PassingPercent = PassingPercentFor(*WholeNumber(QStringToAnsi(VexaEdit3->text())));
  v.MinutesLeft = *WholeNumber(QStringToAnsi(VexaEdit2->text()));
}

void TStartUp::SetTimeLabel() {
  Ctx().ItemReview->TimeLabel->setText(
      QString("Time Remaining: %1 minutes").arg(Ctx().Values.MinutesLeft));
}

bool TStartUp::OpenQuestionTable() {
  TStartUpValues& v = Ctx().Values;
  v.DbfName = QuestionTableName(ini_name_);
  v.BookFile = BookFileName(v.DbfName, v.BookFormatValue);
  const std::string table = platform::ResolveCase(platform::CurrentDir() + v.DbfName);
  if (!platform::PathExists(table)) {
    QuitForMissingFiles();
    return false;
  }
  components::TWenDbf& dbf = *Ctx().Questions->WenDbf1;
  dbf.SetDbfFileName(v.DbfName);
  dbf.SetActive(true);
  Ctx().ControlForm->TotalQuestions->setText(QString::number(dbf.RecCount()));
  return true;
}

void TStartUp::QuitForMissingFiles() {
  QuitWithMessage("Required files cannot be found. Quitting application.");
}

void TStartUp::QuitWithMessage(const std::string& text) {
  platform::gui::Services::Current().ShowMessage(AnsiToQString(text), this);
  platform::gui::Services::Current().Quit();
}

void TStartUp::NextBtnClick() {
  Ctx().Disclaimer->show();
  hide();
}

void TStartUp::ExitBtnClick() { platform::gui::Services::Current().Quit(); }

void TStartUp::FormClose() { platform::gui::Services::Current().Quit(); }

void TStartUp::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

void TStartUp::keyPressEvent(QKeyEvent* event) {
  if (RefuseEscape(event)) return;
  QDialog::keyPressEvent(event);
}

}  // namespace app
