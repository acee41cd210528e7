// The pictures stored with the windows (the program's logo and the start window's banner),
// drawn at run time so that the program carries no image files of its own.
#pragma once

#include <QPixmap>
#include <QSize>

class QFrame;
class QLabel;
class QWidget;

namespace app {

// The program's logo: a mark and the program's name on white.
QPixmap ProgramLogo(const QSize& size);
// The start window's banner picture.
QPixmap StartBanner(const QSize& size);

// The logo panel at the top left of the start and objective windows: the white panel at 8, 8,
// 305 x 98 with its frame and the program's logo.
struct TLogoPanel {
  QFrame* Panel1;
  QFrame* Shape1;
  QLabel* Image2;
};
TLogoPanel MakeLogoPanel(QWidget* parent);

}  // namespace app
