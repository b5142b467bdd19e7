#pragma once
// What the "Animation" dialog shows and what its buttons do to the document, without a window:
// the key-frame table (rows, columns, cell texts), the two modes, the edits and the commit
// rules. The dialog itself only mirrors these rows into its tree grid, forwards the user's
// edits, clicks and expand/collapse changes, and runs the file dialog and the build. No Qt.
#include <map>
#include <string>
#include <vector>

#include "fractal_doc.h"

namespace ormolith {

// Texts and sizes of the dialog.
inline constexpr const char* kAnimationDialogTitle = "Animation";
inline constexpr const char* kAddVariablesText = "&Add variables";
inline constexpr const char* kEditFramesText = "&Edit frames";
inline constexpr const char* kFramesCountRowText = "Frames count";
inline constexpr int kVariableColumnWidth = 155;
inline constexpr int kValueColumnWidth = 80;
// The save dialog that asks for the video file.
inline constexpr const char* kAviDefaultExtension = "avi";
inline constexpr const char* kAviInitialName = "Output";
inline constexpr const char* kAviFileFilter = "Avi Files (*.avi)|*.avi|All Files (*.*)|*.*||";
// The build command that Go starts (Rebuild fractal).
inline constexpr int kGoBuildCommand = 32803;

struct AnimationColumn {
    std::string title;
    int width = 0;
};

struct AnimationRow {
    enum class Kind { group, variable, framesCount };
    Kind kind = Kind::variable;
    int parent = -1;      // row index of the enclosing group row, -1 at the top
    std::size_t node = 0; // index into the document's parameter list (groups and variables)
    bool expanded = false;
    std::vector<std::string> cells; // one per column; cells[0] is the name
};

class AnimationDialogModel {
public:
    enum class Mode { editFrames, chooseVariables };

    // Opening the dialog: fills empty frame counts (20 per key frame), lists the scene's
    // parameters, picks the mode (edit frames when something is animated) and fills the table
    // and the edits from the document.
    explicit AnimationDialogModel(CFractal_Doc& doc);

    Mode mode() const { return mode_; }
    const std::vector<AnimationColumn>& columns() const { return columns_; }
    const std::vector<AnimationRow>& rows() const { return rows_; }
    // "&Add variables" in edit-frames mode, "&Edit frames" in choose-variables mode.
    const char* modeButtonText() const;
    // Insert and Delete are enabled only in edit-frames mode.
    bool frameButtonsEnabled() const { return mode_ == Mode::editFrames; }
    // "Frames: %u" with the animation's total.
    std::string totalText() const;

    // The edits as the dialog shows them; the dialog writes back what the user typed.
    std::string startFromText;
    std::string fpsText;
    bool dontSave = false;

    // The user's actions on the table.
    void setExpanded(int row, bool expanded);
    void clickCell(int row, int column); // remembers the column for Insert and Delete
    // A cell's text was edited; the cell's shown text is updated (rows()[row].cells[column]).
    void editCell(int row, int column, const std::string& text);

    // Buttons. Each commits first (stores the edits, the expanded groups and, in
    // choose-variables mode, the marks) and refills the table where it changed.
    void switchMode();
    void insertFrame(); // duplicates the key frame of the last clicked column
    void deleteFrame(); // removes it; never below 2 key frames
    // Sets the scene to frame "Start from"; the caller then builds with kGoBuildCommand. While
    // a build runs the worker reads the scene, so it is left alone (only the commit happens)
    // and false says not to build.
    bool go(bool buildRunning = false);
    enum class CompressStep {
        refusedBuilding, // show kStopBuildingFirstText with a stop icon; stay in the dialog
        askForFile,      // show the save dialog, then call startProduction or stay on Cancel
        start,           // close the dialog and start the production (nothing is saved)
    };
    CompressStep compress(bool buildRunning);
    // The file the user chose: stored as the document's output path; close and start.
    void startProduction(const std::string& path);
    void close();

    // Groups expanded or collapsed anywhere, by full name, kept while the program runs so
    // that a refilled table looks as the user left it.
    static std::map<std::string, bool>& expandedGroups();

private:
    void fill();
    void commit();
    std::string valueText(double value) const;

    CFractal_Doc& doc_;
    Mode mode_ = Mode::chooseVariables;
    std::vector<std::string> fullNames_;
    // Per node of the parameter list: the variable index (-1 not animated; in
    // choose-variables mode -2 marks a node the user switched to animated).
    std::vector<int> variableIndex_;
    std::vector<AnimationColumn> columns_;
    std::vector<AnimationRow> rows_;
    int lastClickedColumn_ = 0;
};

} // namespace ormolith
