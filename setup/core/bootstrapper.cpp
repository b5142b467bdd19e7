#include "bootstrapper.h"

#include "profile.h"
#include "ver_install.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <pwd.h>
#include <unistd.h>

namespace setup {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeDirectory()
{
    std::string home = environment("HOME");
    if (home.empty())
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    return home;
}

// "C:\WINDOWS\" and "C:\WINDOWS" both became "C:\WINDOWS"; the root itself became "C:" and
// so here "/" becomes "", which a file name appended after a separator turns back into "/x".
std::string withoutTrailingSeparator(std::string dir)
{
    if (!dir.empty() && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::string hostProgramFile()
{
    std::error_code error;
    const auto file = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : file.string();
}

bool containsError(const std::string& value)
{
    return value.find("Error") != std::string::npos;
}

} // namespace

Answer StreamMessageBoxes::show(const std::string& text, const std::string& title, Buttons buttons,
                                Answer /*defaultAnswer*/)
{
    Answer answer = Answer::Ok;
    const char* name = "OK";
    if (buttons == Buttons::AbortRetryIgnore) {
        answer = Answer::Ignore;
        name = "Ignore";
    } else if (buttons == Buttons::RetryCancel) {
        answer = Answer::Cancel;
        name = "Cancel";
    }
    out_ << title << ": " << text << "\n[" << name << "]\n";
    out_.flush();
    return answer;
}

Platform hostPlatform()
{
    return {hostProgramFile};
}

Directories determineDirectories(const std::string& programFile)
{
    Directories dirs;
    const auto lastSeparator = programFile.rfind('/');
    dirs.source =
        lastSeparator == std::string::npos ? std::string() : programFile.substr(0, lastSeparator);

    dirs.windows = environment("WINDIR");
    if (dirs.windows.empty())
        dirs.windows = environment("XDG_CONFIG_HOME");
    if (dirs.windows.empty())
        dirs.windows = homeDirectory() + "/.config";
    dirs.windows = withoutTrailingSeparator(dirs.windows);

    dirs.system = environment("SYSTEMDIR");
    if (dirs.system.empty())
        dirs.system = homeDirectory() + "/.local/lib";
    dirs.system = withoutTrailingSeparator(dirs.system);
    return dirs;
}

std::string texts::copyFailed(const std::string& sourceDir, const std::string& sourceFile,
                              const std::string& destDir, const std::string& destFile)
{
    return "Source File: " + sourceDir + sourceFile + "\nDestination File: " + destDir + destFile +
           "\n\nSetup was unable to copy this file. Please close all open applications and "
           "click Retry.";
}

std::string texts::executeFailed(const std::string& commandLine)
{
    return "Setup is unable to execute following program:\n\n" + commandLine;
}

std::string findDescriptionFile(const std::string& dir)
{
    std::error_code error;
    const fs::path exact = fs::path(withTrailingSeparator(dir)) / kDescriptionFile;
    if (fs::is_regular_file(exact, error))
        return exact.string();
    for (fs::directory_iterator it(withTrailingSeparator(dir), error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        std::error_code typeError;
        if (name == kDescriptionFile && it->is_regular_file(typeError))
            return it->path().string();
    }
    return {};
}

Bootstrapper::Bootstrapper(MessageBoxes& boxes, WaitWindow& window, Platform platform)
    : boxes_(boxes), window_(window), platform_(std::move(platform))
{
    // A box can stay open for a long time; a program started before it that ends meanwhile
    // is collected then, not left as a zombie until the user answers.
    boxes_.setWhileOpen([this] { children_.reap(); });
}

Bootstrapper::~Bootstrapper()
{
    boxes_.setWhileOpen({});
}

Answer Bootstrapper::ask(const std::string& text, const std::string& title, Buttons buttons,
                         Answer defaultAnswer)
{
    children_.reap();
    return boxes_.show(text, title, buttons, defaultAnswer);
}

int Bootstrapper::run()
{
    // The refusal of 16-bit Windows has nothing to test here: the only version number at hand
    // is the kernel's, and an old kernel runs the installer as well as a new one.
    window_.show();
    dirs_ = determineDirectories(platform_.programFile());

    const std::string descriptionFile = findDescriptionFile(dirs_.source);
    // A file that is there but cannot be read is as useless as a missing one and gets the
    // same message, rather than a run that silently does nothing.
    const auto profile = descriptionFile.empty() ? std::nullopt : Profile::load(descriptionFile);
    if (!profile)
        ask(texts::kNoSetupInf, texts::kNoSetupInfTitle, Buttons::Ok, Answer::Ok);
    else if (installFiles(*profile))
        startPrograms(*profile);

    window_.destroy();
    children_.reap();
    return 0;
}

bool Bootstrapper::installFiles(const Profile& profile)
{
    for (int n = 1;; ++n) {
        const std::string value =
            profile.getString(kSection, "Install" + std::to_string(n), "Error", kValueBufferSize);
        if (containsError(value))
            return true;
        if (!installOne(value))
            return false;
    }
}

bool Bootstrapper::installOne(const std::string& value)
{
    const auto line = splitInstallValue(value);
    std::string sourceDir, sourceFile, destDir, destFile;
    if (line) {
        sourceDir = withTrailingSeparator(expandMacros(line->sourceDir, dirs_));
        sourceFile = toNativeSeparators(expandMacros(line->sourceFile, dirs_));
        destDir = withTrailingSeparator(expandMacros(line->destDir, dirs_));
        destFile = toNativeSeparators(expandMacros(line->destFile, dirs_));
    } else {
        // Without its separators the line names no file; the box shows it as written, the
        // source part first, so the author can find it.
        const auto semicolon = value.find(';');
        sourceDir = value.substr(0, semicolon);
        if (semicolon != std::string::npos)
            destDir = value.substr(semicolon + 1);
    }

    for (;;) {
        std::uint32_t result = VIF_CANNOTREADSRC;
        std::string tempFile;
        if (line)
            result = VerInstallFileA(0, sourceFile, destFile, sourceDir, destDir, {}, tempFile);
        if (result == 0)
            return true;
        if (result & (VIF_SRCOLD | VIF_FILEINUSE)) {
            if ((result & VIF_TEMPFILE) && !tempFile.empty())
                ::unlink(tempFile.c_str());
            return true;
        }
        const Answer answer =
            ask(texts::copyFailed(sourceDir, sourceFile, destDir, destFile),
                texts::kCopyFailedTitle, Buttons::AbortRetryIgnore, Answer::Ignore);
        if (answer == Answer::Abort)
            return false;
        if (answer != Answer::Retry)
            return true;
    }
}

void Bootstrapper::startPrograms(const Profile& profile)
{
    const ProgramSearch search{dirs_.source, dirs_.system, dirs_.windows};
    for (int n = 1;; ++n) {
        const std::string value =
            profile.getString(kSection, "Execute" + std::to_string(n), "Error", kValueBufferSize);
        if (containsError(value))
            return;
        const std::string commandLine = expandMacros(value, dirs_);
        for (;;) {
            const StartResult started = startProgram(commandLine, dirs_.source, search);
            if (started.pid > 0) {
                children_.adopt(started.pid);
                children_.reap();
                break;
            }
            if (ask(texts::executeFailed(commandLine), texts::kExecuteFailedTitle,
                    Buttons::RetryCancel, Answer::Retry) != Answer::Retry)
                return;
        }
    }
}

} // namespace setup
