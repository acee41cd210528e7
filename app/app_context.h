// The application context: the windows of a build, created in the build's order, and the
// start-up values that the start window leaves for the later windows. One context is current
// at a time; the windows reach one another through it. Tests create a fresh one per test.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace app {

class TSplash;
class TStartUp;
class TDisclaimerBase;
class TDisclaimer;
class TQuestions;
class TItemReview;
class TControlForm;
class TResults;
class TObjectiveBreak;
class TBuildingTestDlg;
class TQSelector;
class TExhibitWnd;
class TNotes;
class TMissedItemsWnd;

// What the start window reads from the test definition.
struct TStartUpValues {
  std::string DbfName;          // the question table, without folder
  std::string BookFile;         // the book, empty when the format names none
  std::string BookFormatValue;  // "Acrobat", "Help" or anything else
  std::string ShowChapter;      // "1" means on
  std::string ShowLinks;        // "1" means on
  std::string WriteScores;      // "1" means on
  int PassingPercent = 0;
  int MinutesLeft = 0;
  std::string AppDir;  // the program's folder, ending with "/"
};

// The test in progress. It outlives the windows that change it, so it lives here.
struct TTestState {
  int32_t CurrentItem = 0;            // 1-based position of the item shown; 0 before the first
  int32_t ReviewFlag = 1;             // the question window's review state
  int32_t QuestionCount = 0;          // the number of questions drawn
  uint32_t Seed = 0;                  // the state of the program's random generator
  bool TestRunning = false;           // set once the built test's question window is shown
  bool NotesSaved = false;            // the notes were saved once; later saves ask no name
  bool NoQuestionsAvailable = false;  // the draw found nothing to ask; the program is ending
};

class TAppContext {
 public:
  // Makes this context the current one.
  TAppContext();
  // Destroys the windows, newest first, and leaves no context current.
  virtual ~TAppContext();
  TAppContext(const TAppContext&) = delete;
  TAppContext& operator=(const TAppContext&) = delete;

  // Creates the windows in the build's order: each constructed, then its FormCreate called,
  // one window at a time. A window whose Make…() gives nullptr is one the build lacks: its slot
  // stays null.
  void CreateWindows();

  // The build's identity: its title (window captions, the splash, the drawn logo) and the name
  // of its program file.
  virtual QString Title() const { return QStringLiteral("Velkorin"); }
  virtual std::string ProgramName() const { return "Velkorin"; }

  // Takes `window` out of the context's ownership, clears its slot at once and deletes it once
  // control is back in the event loop (QObject::deleteLater). A window the context does not
  // own is left alone.
  void Release(QWidget* window);

  // The Disclaimer slot as the study's objective window (the study and the drill fill it with
  // one); nullptr when the slot holds another class or is empty.
  TDisclaimer* ObjectiveWindow() const;

  TStartUpValues Values;
  TTestState Test;
  // The program's arguments after the application object took its own (QApplication's
  // arguments without the program's name); each names an objective to preselect.
  QStringList Arguments;

  TSplash* Splash = nullptr;
  TStartUp* StartUp = nullptr;
  // The study's objective window or another build's own window in its place.
  TDisclaimerBase* Disclaimer = nullptr;
  TQuestions* Questions = nullptr;
  TItemReview* ItemReview = nullptr;
  TControlForm* ControlForm = nullptr;
  TResults* Results = nullptr;
  TObjectiveBreak* ObjectiveBreak = nullptr;
  TBuildingTestDlg* BuildingTestDlg = nullptr;
  TQSelector* QSelector = nullptr;
  TExhibitWnd* ExhibitWnd = nullptr;
  TNotes* Notes = nullptr;
  TMissedItemsWnd* MissedItemsWnd = nullptr;

 protected:
  // The window classes of the build; a build returns its own derived classes, or nullptr for a
  // window it lacks.
  virtual TSplash* MakeSplash();
  virtual TStartUp* MakeStartUp();
  virtual TDisclaimerBase* MakeDisclaimer();
  virtual TQuestions* MakeQuestions();
  virtual TItemReview* MakeItemReview();
  virtual TControlForm* MakeControlForm();
  virtual TResults* MakeResults();
  virtual TObjectiveBreak* MakeObjectiveBreak();
  virtual TBuildingTestDlg* MakeBuildingTestDlg();
  virtual TQSelector* MakeQSelector();
  virtual TExhibitWnd* MakeExhibitWnd();
  virtual TNotes* MakeNotes();
  virtual TMissedItemsWnd* MakeMissedItemsWnd();

 private:
  template <typename Window>
  void Create(Window*& slot, Window* window);

  std::vector<std::unique_ptr<QWidget>> windows_;  // in creation order
};

// The current context. Only valid while one exists.
TAppContext& Ctx();

// The start settings of the program, made before any window exists: the question table and
// its memo file open read-only.
void SetStartSettings();

}  // namespace app
