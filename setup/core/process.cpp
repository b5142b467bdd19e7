#include "process.h"

#include "install_value.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace setup {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isExecutableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string currentDirectory()
{
    std::error_code error;
    const auto dir = std::filesystem::current_path(error);
    return error ? std::string() : dir.string();
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::size_t i = 0;

    // The program name: quotes group and are dropped, backslashes are path separators and
    // stay as they are, and an unquoted blank ends it.
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i == line.size())
        return args;
    std::string program;
    for (bool quoted = false; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            program += line[i];
    }
    args.push_back(program);

    for (;;) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            return args;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                    ++i;
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg.append(backslashes, '\\');
                if (i < line.size() && (quoted || !isBlank(line[i])))
                    arg += line[i++];
            }
        }
        args.push_back(arg);
    }
}

std::string resolveProgram(std::string_view name, const ProgramSearch& search)
{
    const std::string program = toNativeSeparators(name);
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos) {
        if (program.front() == '/')
            return program;
        return withTrailingSeparator(currentDirectory()) + program;
    }
    const std::string folders[] = {search.sourceDir, currentDirectory(), search.systemDir,
                                   search.windowsDir};
    for (const std::string& folder : folders) {
        const std::string candidate = withTrailingSeparator(folder) + program;
        if (isExecutableFile(candidate))
            return candidate;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        // The program starts in another working directory, so a relative PATH entry ("" or
        // "bin") is made absolute against ours, where it was found.
        std::string candidate = withTrailingSeparator(dir) + program;
        if (dir.empty() || dir.front() != '/')
            candidate =
                withTrailingSeparator(currentDirectory()) + (dir.empty() ? program : candidate);
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        dirs.remove_prefix(colon + 1);
    }
}

void ChildReaper::reap()
{
    std::erase_if(children_, [](pid_t pid) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    });
}

StartResult startProgram(std::string_view commandLine, const std::string& workingDir,
                         const ProgramSearch& search)
{
    StartResult result;
    const auto args = splitCommandLine(commandLine);
    if (args.empty() || args.front().empty()) {
        result.error = ENOENT;
        return result;
    }
    const std::string program = resolveProgram(args.front(), search);
    if (program.empty()) {
        result.error = ENOENT;
        return result;
    }

    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Directories are held without their trailing separator, so the root comes as "".
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.empty() ? "/" : workingDir.c_str());
    // Whatever this process has open (the display connection, files being installed) is none
    // of the started program's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child starts with default signal handling and an empty mask whatever the toolkit
    // set up in this process.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int error =
        ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        result.error = error;
    else
        result.pid = pid;
    return result;
}

} // namespace setup
