#include "builds/exam/exam_results.h"

#include "app/date_time_text.h"
#include "platform/gui/text.h"

namespace exam {

QStringList TResults::ReportLines() {
  QStringList lines;
  lines << QString()
        << "Examination Score Report for " + Label1->text() + " for " +
               platform::gui::AnsiToQString(app::DateTimeText())
        << QString() << "Your Score: " + UserScore->text()
        << "Passing Score: " + PassingScore->text() << "Grade: " + Grade->text() << QString()
        << "Objective Analysis:";
  for (int i = 0; i < ObjectiveAnalysisList->count(); ++i)
    lines << ObjectiveAnalysisList->item(i)->text();
  return lines;
}

}  // namespace exam
