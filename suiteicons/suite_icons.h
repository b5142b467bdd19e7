#pragma once
// Icons drawn from SVG files compiled in with Qt resources. Every windowed program draws its
// pictures this way: the suite's shared ones (program and document-type icons, the same files the
// desktop's icon theme gets) live under ":/suite/icons", a program's own toolbar pictures under
// its own prefix.
#include <QIcon>
#include <QImage>
#include <QString>

#include <initializer_list>

namespace suite {

// The SVG drawn into a transparent square image of `size` pixels; a null image when the
// resource does not exist or is not a valid SVG.
QImage renderSvg(const QString& resource, int size);

// An icon holding the SVG drawn at each of `sizes` (an SVG drawn small keeps its lines sharp,
// where a large pixmap scaled down would blur them). Drawn once per resource; a null icon when
// the resource does not exist.
QIcon svgIcon(const QString& resource, std::initializer_list<int> sizes = {16, 24, 32, 48});

// The program's own icon by its icon name ("fractals", "ormolith", "qubex", "setup").
QIcon programIcon(const QString& program);

// A document type's icon by its MIME icon name ("application-x-fractals-mandel").
QIcon documentIcon(const QString& mimeIconName);

} // namespace suite
