#pragma once
// The program's pictures: SVG files compiled in with Qt resources and drawn at the sizes asked.
#include <QIcon>

namespace ormolith {

QIcon appIcon();
// The child frame's and the New Fractal dialog's picture of a kind (0 affine, 1 Moebius).
QIcon kindIcon(unsigned kind);
// A toolbar picture by file name without extension ("new", "stop", ...).
QIcon toolIcon(const char* name);
// The SVG drawn into a square image of `size` pixels; a null image when it does not exist.
QImage renderIcon(const QString& resource, int size);

} // namespace ormolith
