// The window side of every kind: view, properties sheet, and the menus and keys a kind adds.
#include "commands.h"
#include "doc_types.h"
#include "henon_view.h"
#include "ifs_dialogs.h"
#include "ifs_view.h"
#include "julia_properties.h"
#include "julia_view.h"
#include "kinds.h"
#include "lsystem_view.h"
#include "main_wnd.h"

namespace fractals {

namespace {

// The palette kinds cycle with Ctrl+C; the zoom kinds also reset with Ctrl+R.
ViewTemplate escapeTemplate(int id, const char* iconName,
                            std::function<CFractalView*(CFractalDoc*)> makeView,
                            std::function<bool(CFractalDoc&, QWidget*)> editProperties)
{
    const DocType& type = *docTypeById(id);
    ViewTemplate t;
    t.type = &type;
    t.makeDocument = type.makeDocument;
    t.makeView = std::move(makeView);
    t.editProperties = std::move(editProperties);
    t.iconName = iconName;
    t.accelerators = {{cmd::Cycle, QKeySequence("Ctrl+C")}};
    if (id != 6)
        t.accelerators.emplace_back(cmd::Reset, QKeySequence("Ctrl+R"));
    return t;
}

// The frame editor's window: its Edit and Frame menus, keys and right-click menu 3099.
ViewTemplate ifsTemplate()
{
    const DocType& type = *docTypeById(3);
    ViewTemplate t;
    t.type = &type;
    t.makeDocument = type.makeDocument;
    t.makeView = [](CFractalDoc* d) -> CFractalView* {
        return new CIfsView(static_cast<CIfsDoc*>(d));
    };
    t.editProperties = [](CFractalDoc& d, QWidget* p) {
        return editIfsProperties(static_cast<CIfsDoc&>(d), p);
    };
    t.iconName = "application-x-fractals-ifs";
    t.menus = {{"&Edit",
                "&Fractals",
                {{cmd::EditUndo, "&Undo\tCtrl+Z"},
                 {0, {}},
                 {cmd::EditCut, "Cu&t\tCtrl+X"},
                 {cmd::EditCopy, "&Copy\tCtrl+C"},
                 {cmd::EditPaste, "&Paste\tCtrl+V"},
                 {cmd::EditClear, "&Delete\tDel"},
                 {0, {}},
                 {cmd::EditClearAll, "Clear &All"}}},
               {"Fra&me",
                "&View",
                {{cmd::NewFrame, "&New Frame\tCtrl+F"},
                 {0, {}},
                 {cmd::FrameProperties, "P&roperties...\tAlt+Enter"},
                 {cmd::ChangeColor, "C&hange Color..."},
                 {cmd::ShiftFrame, "&Shift Frame...\tCtrl+H"},
                 {cmd::RotateFrame, "R&otate Frame...\tCtrl+R"},
                 {0, {}},
                 {cmd::BringToFront, "&Bring to Front\tCtrl+J"},
                 {cmd::SendToBack, "&Send to Back\tCtrl+K"}}}};
    t.accelerators = {{cmd::NewFrame, QKeySequence("Ctrl+F")},
                      {cmd::BringToFront, QKeySequence("Ctrl+J")},
                      {cmd::SendToBack, QKeySequence("Ctrl+K")},
                      {cmd::ShiftFrame, QKeySequence("Ctrl+H")},
                      {cmd::RotateFrame, QKeySequence("Ctrl+R")},
                      {cmd::EditUndo, QKeySequence("Ctrl+Z")},
                      {cmd::EditCut, QKeySequence("Ctrl+X")},
                      {cmd::EditCopy, QKeySequence("Ctrl+C")},
                      {cmd::EditPaste, QKeySequence("Ctrl+V")},
                      {cmd::EditClear, QKeySequence(Qt::Key_Delete)},
                      {cmd::FrameProperties, QKeySequence(Qt::ALT | Qt::Key_Return)},
                      {cmd::FrameProperties, QKeySequence(Qt::ALT | Qt::Key_Enter)}};
    t.contextMenus[3099] = {{{cmd::Properties, "&Properties..."},
                             {cmd::EditPaste, "P&aste"},
                             {cmd::NewFrame, "&New Frame"},
                             {cmd::Refresh, "&Refresh"}},
                            {{cmd::FrameProperties, "&Properties..."},
                             {cmd::ChangeColor, "C&hange Color..."},
                             {cmd::ShiftFrame, "Shift &Frame..."},
                             {cmd::RotateFrame, "R&otate Frame..."},
                             {cmd::EditCut, "Cu&t Frame"},
                             {cmd::EditCopy, "&Copy Frame"},
                             {cmd::EditClear, "&Delete Frame"},
                             {cmd::BringToFront, "&Bring to Front"},
                             {cmd::SendToBack, "&Send to Back"}}};
    return t;
}

bool editJulia(CFractalDoc& doc, QWidget* parent, int iconId)
{
    return editJuliaProperties(static_cast<CJuliaDoc&>(doc), iconId, parent);
}

} // namespace

void registerWindowKinds()
{
    registerCoreKinds();
    registerViewTemplate(ifsTemplate());
    ViewTemplate lsystem;
    lsystem.type = docTypeById(4);
    lsystem.makeDocument = lsystem.type->makeDocument;
    lsystem.makeView = [](CFractalDoc* d) -> CFractalView* {
        return new CLsystemView(static_cast<CLsystemDoc*>(d));
    };
    lsystem.editProperties = [](CFractalDoc& d, QWidget* p) {
        return editLsystemProperties(static_cast<CLsystemDoc&>(d), p);
    };
    lsystem.iconName = "application-x-fractals-lsystem";
    registerViewTemplate(std::move(lsystem));
    registerViewTemplate(escapeTemplate(
        6, "application-x-fractals-henon",
        [](CFractalDoc* d) -> CFractalView* { return new CHenonView(static_cast<CHenonDoc*>(d)); },
        [](CFractalDoc& d, QWidget* p) {
            return editHenonProperties(static_cast<CHenonDoc&>(d), p);
        }));
    registerViewTemplate(escapeTemplate(
        7, "application-x-fractals-julia",
        [](CFractalDoc* d) -> CFractalView* { return new CJuliaView(static_cast<CJuliaDoc*>(d)); },
        [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 7); }));
    registerViewTemplate(escapeTemplate(
        8, "application-x-fractals-mandel",
        [](CFractalDoc* d) -> CFractalView* {
            return new CMandelView(static_cast<CMandelDoc*>(d));
        },
        [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 8); }));
    registerViewTemplate(escapeTemplate(
        9, "application-x-fractals-juliacos",
        [](CFractalDoc* d) -> CFractalView* {
            return new CJuliacosView(static_cast<CJuliacosDoc*>(d));
        },
        [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 9); }));
}

} // namespace fractals
