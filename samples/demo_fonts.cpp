#include "samples/demo_fonts.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QStringList>

#include "samples/demo_maker.h"

namespace samples {

namespace {

constexpr char kFontFolder[] = "/usr/share/fonts/truetype/dejavu/";

struct FaceFile {
  DemoFace face;
  const char* file;
  const char* family;
  bool bold;
};
constexpr FaceFile kFaces[] = {
    {DemoFace::kSans, "DejaVuSans.ttf", "DejaVu Sans", false},
    {DemoFace::kSansBold, "DejaVuSans-Bold.ttf", "DejaVu Sans", true},
    {DemoFace::kMono, "DejaVuSansMono.ttf", "DejaVu Sans Mono", false},
};

const FaceFile& Load(DemoFace face) {
  RequireGuiApplication("drawing text");
  // Application fonts belong to the application object: load them again for a new one.
  static const QCoreApplication* loaded_for = nullptr;
  if (loaded_for != QCoreApplication::instance()) {
    for (const FaceFile& f : kFaces) {
      const QString path = QString::fromUtf8(kFontFolder) + QString::fromUtf8(f.file);
      const int id = QFontDatabase::addApplicationFont(path);
      if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(f.family)) {
        throw DemoError("cannot load the font " + path.toStdString() +
                        " (the package fonts-dejavu-core holds it)");
      }
    }
    loaded_for = QCoreApplication::instance();
  }
  for (const FaceFile& f : kFaces) {
    if (f.face == face) return f;
  }
  throw DemoError("unknown font face");
}

QFont Make(const FaceFile& f) {
  QFont font(QString::fromUtf8(f.family));
  font.setBold(f.bold);
  // No ligatures: the book's text must extract and search as it was written ("fi", not U+FB01).
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferNoShaping));
  return font;
}

void CheckResolved(const QFont& font, const FaceFile& f) {
  const QFontInfo info(font);
  if (info.family() != QString::fromUtf8(f.family) || info.bold() != f.bold) {
    throw DemoError(std::string("the font ") + f.file + " resolves to " +
                    info.family().toStdString());
  }
}

}  // namespace

void RequireGuiApplication(const std::string& what) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    throw DemoError(what + " needs a QGuiApplication");
  }
}

QFont DemoFont(DemoFace face, double point_size) {
  const FaceFile& f = Load(face);
  QFont font = Make(f);
  font.setPointSizeF(point_size);
  CheckResolved(font, f);
  return font;
}

QFont DemoPixelFont(DemoFace face, int pixel_size) {
  const FaceFile& f = Load(face);
  QFont font = Make(f);
  font.setPixelSize(pixel_size);
  CheckResolved(font, f);
  return font;
}

std::optional<char32_t> MissingCharacter(const QFont& font, const QString& text) {
  const QFontMetricsF metrics(font);
  for (const char32_t c : text.toUcs4()) {
    if (!metrics.inFontUcs4(c)) return c;
  }
  return std::nullopt;
}

}  // namespace samples
