#pragma once
// The whole run of the installation bootstrapper, in its fixed order: version check, wait
// window, directories, description file, installation, program start. The window and the
// message boxes are reached through the interfaces below, so the run itself needs no toolkit.
#include "install_value.h"
#include "process.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace setup {

class Profile;

enum class Answer { Ok, Abort, Retry, Ignore, Cancel };
enum class Buttons { Ok, AbortRetryIgnore, RetryCancel };

// Every box setup shows carries the error icon, so the icon is not a parameter.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual Answer show(const std::string& text, const std::string& title, Buttons buttons,
                        Answer defaultAnswer) = 0;

    // Work that must not wait for the user: a box that waits for an answer calls it now and
    // then while it is open. Boxes that answer at once never need to.
    void setWhileOpen(std::function<void()> work) { whileOpen_ = std::move(work); }

protected:
    std::function<void()> whileOpen_;
};

// The small "please wait" window. show() paints it once: nothing runs an event loop.
class WaitWindow {
public:
    virtual ~WaitWindow() = default;
    virtual void show() = 0;
    virtual void destroy() = 0;
};

class NoWaitWindow : public WaitWindow {
public:
    void show() override {}
    void destroy() override {}
};

// Unattended runs: each box becomes its title and text on `out`, and the answer is the one
// that lets the run go on without a person: Ignore for a copy failure (the file is skipped),
// Cancel for a program that does not start (no further programs), OK otherwise.
class StreamMessageBoxes : public MessageBoxes {
public:
    explicit StreamMessageBoxes(std::ostream& out) : out_(out) {}
    Answer show(const std::string& text, const std::string& title, Buttons buttons,
                Answer defaultAnswer) override;

private:
    std::ostream& out_;
};

// What the run asks of the machine, replaceable in tests.
struct Platform {
    std::function<std::string()> programFile; // full path of the running program file
};
Platform hostPlatform();

// Windows and system directories from the environment (see Directories), and the source
// directory: the program file's path up to its last separator.
Directories determineDirectories(const std::string& programFile);

namespace texts {
inline constexpr const char* kNoSetupInf =
    "Setup was unable to find SETUP.INF, the file containing installation information.";
inline constexpr const char* kNoSetupInfTitle = "Setup Error";
inline constexpr const char* kCopyFailedTitle = "Copy Failed";
inline constexpr const char* kExecuteFailedTitle = "Setup";
std::string copyFailed(const std::string& sourceDir, const std::string& sourceFile,
                       const std::string& destDir, const std::string& destFile);
std::string executeFailed(const std::string& commandLine);
} // namespace texts

inline constexpr const char* kSection = "Ovalink";
inline constexpr const char* kDescriptionFile = "setup.inf";

class Bootstrapper {
public:
    Bootstrapper(MessageBoxes& boxes, WaitWindow& window, Platform platform);
    ~Bootstrapper();
    Bootstrapper(const Bootstrapper&) = delete;
    Bootstrapper& operator=(const Bootstrapper&) = delete;
    // The exit code: always 0 (every failure has had its message box).
    int run();

    const Directories& directories() const { return dirs_; }
    const ChildReaper& children() const { return children_; }

private:
    bool installFiles(const Profile& profile); // false when the user aborts
    bool installOne(const std::string& value); // false when the user aborts
    void startPrograms(const Profile& profile);
    Answer ask(const std::string& text, const std::string& title, Buttons buttons,
               Answer defaultAnswer);

    MessageBoxes& boxes_;
    WaitWindow& window_;
    Platform platform_;
    Directories dirs_;
    ChildReaper children_;
};

// The description file in `dir`: "setup.inf", or a file of that name in another letter case
// as a case-blind file system would have found it. Empty when there is none.
std::string findDescriptionFile(const std::string& dir);

} // namespace setup
