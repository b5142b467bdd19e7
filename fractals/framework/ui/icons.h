#pragma once
// The program's pictures, drawn from SVG files compiled in with Qt resources: its own icon and
// its document types' icons (shared with the desktop) and the toolbar's pictures.
#include <QIcon>

namespace fractals {

struct ViewTemplate;

QIcon programIcon();
// The icon of a kind's documents: its template's iconName, or the program's icon without one.
QIcon docTypeIcon(const ViewTemplate& tmpl);
// The same for the registered kind `typeId` (the properties sheets know their kind by id).
QIcon docTypeIcon(int typeId);
// A toolbar picture by file name without extension ("zoom_in"); null when there is none.
QIcon toolIcon(const char* name);

} // namespace fractals
