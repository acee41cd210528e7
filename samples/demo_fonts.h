// The fonts the demo test's book and pictures are drawn in: the DejaVu faces of
// fonts-dejavu-core, loaded from their files so that the drawing never depends on what the
// font configuration of the building machine substitutes.
#pragma once

#include <QFont>
#include <QString>
#include <optional>
#include <string>

namespace samples {

enum class DemoFace { kSans, kSansBold, kMono };

// The face at `point_size` points (for the book) or, when `pixel_size` is given, at that many
// pixels (for the pictures). Font merging is off (a character the face lacks is not drawn from
// another font), and so is shaping (no ligatures). Needs a QGuiApplication; throws DemoError when
// there is none or when a font file cannot be loaded.
QFont DemoFont(DemoFace face, double point_size);
QFont DemoPixelFont(DemoFace face, int pixel_size);

// Throws DemoError naming `what` unless the process has a QGuiApplication.
void RequireGuiApplication(const std::string& what);

// The first character of `text` that `font` has no glyph for; nullopt when it has them all.
std::optional<char32_t> MissingCharacter(const QFont& font, const QString& text);

}  // namespace samples
