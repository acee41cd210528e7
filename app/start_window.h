// The start window: it finds the test in the program's folder, reads its test definition,
// derives the question table's and the book's names and opens the question table. Every
// activation does this again, so an edited test definition is picked up on the way back from
// the objective window.
//
// The activation is split into steps that the other builds change: discovery (DiscoverTest),
// reading the test definition (ReadTestDefinition, itself split so that a build can change the
// reading of the keys or add a step before the time label), and the derived names with the
// table (OpenQuestionTable).
#pragma once

#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <string>
#include <vector>

#include "app/file_list_box.h"
#include "components/core/vexa_source.h"
#include "components/gui/vexa_controls.h"
#include "platform/gui/activation.h"

namespace app {

class TStartUp : public QDialog, public platform::gui::FormActivation {
 public:
  TStartUp();
  // Centres the window and reads the list of test definitions of the current folder.
  virtual void FormCreate();

  // Visible parts.
  QLabel* Image1;
  QFrame* Panel1;
  QFrame* Shape1;
  QLabel* Image2;
  QGroupBox* GroupBox1;
  QLabel* Logo1;
  QLabel* Logo2;
  QLabel* Logo3;
  QPushButton* ExitBtn;
  QPushButton* NextBtn;
  QGroupBox* GroupBox2;
  QTextEdit* RichEdit1;
  // Hidden parts.
  TFileListBox* FileListBox1;
  TDirectoryListBox* DirectoryListBox1;
  TDriveComboBox* DriveComboBox1;
  components::TVexaSource VexaSource1;
  components::TVexaLabel* VexaLabel1;  // Test Name
  components::TVexaEdit* VexaEdit1;    // Number of Questions
  components::TVexaEdit* VexaEdit2;    // Time Limit
  components::TVexaEdit* VexaEdit3;    // Passing Score
  components::TVexaEdit* VexaEdit4;    // Show Chapter
  components::TVexaEdit* VexaShowLinks;
  components::TVexaEdit* VexaEdit5;  // Format
  components::TVexaEdit* VexaEdit6;  // Write Scores

  virtual void NextBtnClick();
  virtual void ExitBtnClick();
  // Closing the start window ends the program.
  virtual void FormClose();

 protected:
  // Loads the logos of the test's folder.
  void FormShow() override;
  // Runs the three parts of the activation in turn; each returns false when the activation
  // ends there.
  void FormActivate() override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

  // The first test definition of the folder becomes the INI source's file (steps 1 and 2).
  // False when the folder has none.
  virtual bool DiscoverTest();
  // Reads the test definition into the start-up values (steps 3 to 9). False when the program
  // ends because a required number is missing.
  virtual bool ReadTestDefinition();
  // The question table's and the book's names, and the table opened (steps 10 to 12).
  virtual bool OpenQuestionTable();

  // The parts of ReadTestDefinition.
  virtual void ReadTestName();  // step 3
  virtual void RereadKeys();    // step 4: the controls re-read their keys
  // Checks the keys that must hold whole numbers; shows the message and ends the program when
  // one does not. Runs before any start-up value is stored.
  virtual bool CheckRequiredNumbers();
  // The edits CheckRequiredNumbers checks, in order: Time Limit and Passing Score.
  virtual std::vector<components::TVexaEdit*> RequiredNumberEdits();
  virtual void StoreOptions();          // step 4: the options taken from the controls
  virtual void ShowReferencesButton();  // step 5
  virtual void StoreNumbers();          // steps 6 to 8
  virtual void BeforeTimeLabel() {}     // a build's own step between 8 and 9
  virtual void SetTimeLabel();          // step 9

  // Shows "Required files cannot be found. Quitting application." and ends the program.
  void QuitForMissingFiles();
  // Ends the program after a box with `text`.
  void QuitWithMessage(const std::string& text);

  // The test definition in use (a bare name).
  std::string ini_name_;
};

// The disclaimer paragraph of the start window (and of the practice exam's confirmation).
extern const char kDisclaimer[];

// Shows Logo1.bmp, Logo2.bmp and Logo3.bmp of `folder` (with or without the final "/"; names
// matched regardless of case) in the three images; an image whose file is missing or no
// bitmap is cleared.
void LoadLogos(const std::string& folder, QLabel* logo1, QLabel* logo2, QLabel* logo3);

// Places the three logo images in a row from `left`, `top` (89 by 81 each, 96 pixels apart).
void PlaceLogoRow(QLabel* logo1, QLabel* logo2, QLabel* logo3, int left, int top);
// Makes the three logo images Logo1 to Logo3 in `parent`, placed as PlaceLogoRow does.
void MakeLogoRow(QWidget* parent, int left, int top, QLabel*& logo1, QLabel*& logo2,
                 QLabel*& logo3);
// A read-only plain-text memo named `name` on the grey of the start windows, at `place`.
QTextEdit* MakeGreyMemo(QWidget* parent, const char* name, const QRect& place);

// Names of the test-definition keys.
inline constexpr const char* kTestInfo = "TestInfo";
inline constexpr const char* kMenuOptions = "Menu Options";
inline constexpr const char* kBookFormat = "BookFormat";

}  // namespace app
