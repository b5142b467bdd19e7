#pragma once
// Command ids of the menus, toolbar and accelerators. The numbers are the program's own and
// also name the status texts below.
namespace fractals::cmd {

enum : int {
    Properties = 2001,
    ExportBitmap = 2002,
    ExportHtml = 2003,
    Start = 2004,
    Pause = 2005,
    Stop = 2006,
    Refresh = 2007,
    NewFrame = 3001,
    BringToFront = 3002,
    SendToBack = 3003,
    ChangeColor = 3004,
    FrameProperties = 3005,
    ShiftFrame = 3006,
    RotateFrame = 3007,
    Cycle = 5001,
    ResetPalette = 5002,
    EditPalette = 5003,
    ZoomIn = 7001,
    ZoomOut = 7002,
    ResetZoom = 7003,
    Reset = 7004,
    FileNew = 57600,
    FileOpen = 57601,
    FileClose = 57602,
    FileSave = 57603,
    FileSaveAs = 57604,
    Mru1 = 57616, // .. 57619
    EditClear = 57632,
    EditClearAll = 57633,
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
    WindowArrange = 57649,
    WindowCascade = 57650,
    WindowTileHorz = 57651,
    WindowTileVert = 57652,
    AppAbout = 57664,
    AppExit = 57665,
    HelpFinder = 57667,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
};

} // namespace fractals::cmd
