#pragma once
// Command ids of the menus, toolbar buttons and keys. The framework's standard commands keep
// their usual numbers so that texts and states can be looked up by one id.
namespace ormolith::cmd {

enum : int {
    // Samples: sample index = id - SampleFirst.
    SampleFirst = 32777,
    SampleLast = 32785,
    FileCloseFractal = 32790,
    // Bitmap sizes 100x100, 320x240, 640x480, 800x600, 1024x768, custom, variable.
    Size100x100 = 32792,
    Size1024x768 = 32796,
    SizeCustom = 32797,
    SizeVariable = 32798,
    BuildFractal = 32800,
    ZoomOut = 32801,
    AutoCam = 32802,
    RebuildFractal = 32803,
    FractalPreview = 32804,
    StopBuilding = 32805,
    BuildAnimation = 32807,
    SaveBitmapAs = 32810,
    ViewProperties = 32812,
    CommitEdit = 32819,

    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrintSetup = 57606,
    FilePrint = 57607,
    FilePrintPreview = 57609,
    FileMru1 = 57616, // .. + 7
    WindowArrange = 57649,
    WindowCascade = 57650,
    WindowTile = 57651,
    AppAbout = 57664,
    AppExit = 57665,
    Help = 57670,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
};

inline constexpr int kRecentFiles = 8;

} // namespace ormolith::cmd
