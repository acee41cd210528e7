// The pictures stored with the windows (the program's logo and the start window's banner),
// drawn at run time so that the program carries no image files of its own.
#pragma once

#include <QPixmap>
#include <QSize>

namespace app {

// The program's logo: a mark and the program's name on white.
QPixmap ProgramLogo(const QSize& size);
// The start window's banner picture.
QPixmap StartBanner(const QSize& size);

}  // namespace app
