#pragma once
// Everything the qubex main window owns apart from its widgets: the code, the cloud, the
// settings and the file state, with the load and save operations and their messages. The
// window and the batch mode drive the same object, so both behave alike.
#include "code_file.h"
#include "model/ifs_model.h"
#include "settings_file.h"

#include <memory>
#include <string>

namespace qubex {

inline constexpr const char* kTitle = "qubex";
inline constexpr const char* kUntitledPath = "qubex - untitled";
inline constexpr const char* kCannotOpenMessage = "File could not be opened";
inline constexpr const char* kNotACodeMessage = "This is not seems to be an ifs code";
inline constexpr const char* kCannotCreateMessage = "File could not be created";
inline constexpr const char* kBadMapCountMessage =
    "The code file does not give a matrix length from 1 to 32";

// Where the window shows a message box and the batch mode prints a line.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text, const std::string& title) = 0;
};

// What the document asks of whoever shows it.
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void redraw() {}
    virtual void refreshEditorIfOpen() {}
    virtual void captionChanged(const std::string& /*caption*/) {}
};

class Document {
public:
    Document(RandomSource& random, MessageSink& messages);

    void setObserver(DocumentObserver* observer) { observer_ = observer; }

    IfsCode& code() { return code_; }
    const IfsCode& code() const { return code_; }
    const PointCloud& cloud() const { return *cloud_; }
    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    GenerationSettings& generation() { return settings_.generation; }
    DisplaySettings& display() { return settings_.display; }

    // The settings as they are written at close: the code's matrix length included.
    Settings settingsToSave() const;
    // Takes over read settings, including the matrix length for the next random code.
    void applySettings(const Settings& settings);

    const std::string& path() const { return path_; }
    bool untitled() const { return untitled_; }
    const std::string& caption() const { return caption_; }

    void setMatrixLength(long long value) { code_.matrix_length = clampMatrixLength(value); }
    void setIteration(long long value) { settings_.generation.iteration = clampIteration(value); }

    void newProbabilities() { qubex::newProbabilities(code_, random_); }
    void newMatrices() { qubex::newMatrices(code_, random_); }
    void generatePoints();

    // path = "qubex - untitled", untitled, caption = path.
    void startUntitled();

    // Loads `file` as the current code, with the messages and title updates of the window.
    // A file that cannot be opened, or holds an impossible map count, changes nothing (the
    // current name stays too, so a later save cannot overwrite the file that failed).
    CodeReadStatus loadCode(const std::string& file);
    // Saves to `file`; on success it becomes the current name. False: message shown.
    bool saveCode(const std::string& file);

private:
    void setCaption(std::string caption);

    RandomSource& random_;
    MessageSink& messages_;
    DocumentObserver* observer_ = nullptr;
    IfsCode code_;
    std::unique_ptr<PointCloud> cloud_;
    Settings settings_;
    std::string path_ = kUntitledPath;
    bool untitled_ = true;
    std::string caption_ = kUntitledPath;
};

} // namespace qubex
