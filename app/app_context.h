// The application context: the windows of a build, created in the build's order, and the
// start-up values that the start window leaves for the later windows. One context is current
// at a time; the windows reach one another through it. Tests create a fresh one per test.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace app {

class TSplash;
class TStartUp;
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

class TAppContext {
 public:
  // Makes this context the current one.
  TAppContext();
  // Destroys the windows, newest first, and leaves no context current.
  virtual ~TAppContext();
  TAppContext(const TAppContext&) = delete;
  TAppContext& operator=(const TAppContext&) = delete;

  // Creates the windows in the build's order: each constructed, then its FormCreate called,
  // one window at a time.
  void CreateWindows();

  TStartUpValues Values;

  TSplash* Splash = nullptr;
  TStartUp* StartUp = nullptr;
  TDisclaimer* Disclaimer = nullptr;
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
  // The window classes of the build; a build returns its own derived classes.
  virtual TSplash* MakeSplash();
  virtual TStartUp* MakeStartUp();
  virtual TDisclaimer* MakeDisclaimer();
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
