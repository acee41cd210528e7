// The pictures stored with the windows (the program's logo and the start window's banner),
// drawn at run time so that the program carries no image files of its own.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace app {

// The program's logo: a mark and the program's title `name` on white.
QPixmap ProgramLogo(const QSize& size, const QString& name);
// The start window's banner picture.
QPixmap StartBanner(const QSize& size);
// The drill build's header picture: a fanned stack of question cards.
QPixmap DrillBanner(const QSize& size);

// The logo panel at the top left of the start and objective windows: the white panel at 8, 8,
// 305 x 98 with its frame and the logo of the current build.
struct TLogoPanel {
  QFrame* Panel1;
  QFrame* Shape1;
  QLabel* Image2;
};
TLogoPanel MakeLogoPanel(QWidget* parent);

}  // namespace app
