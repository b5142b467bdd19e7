#pragma once
// A private, throw-away home for one test process: the programs look for their settings in
// WINDIR / SYSTEMDIR / XDG_CONFIG_HOME / HOME, and a test must never read or write the real ones.
#include <filesystem>
#include <string>

namespace suite::test {

// Creates a fresh directory under $TMPDIR (or /tmp) and removes it with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "suite-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Points WINDIR, SYSTEMDIR, XDG_CONFIG_HOME and HOME at sub-folders of a new TempDir.
// The test mains install one per process; a test may install its own for a clean slate.
class TempEnvironment {
public:
    TempEnvironment();
    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path windowsDir() const { return dir_ / "windows"; }
    std::filesystem::path systemDir() const { return dir_ / "system"; }
    std::filesystem::path configDir() const { return dir_ / "config"; }
    std::filesystem::path homeDir() const { return dir_ / "home"; }

private:
    TempDir dir_;
};

// Whole-file helpers used by byte-for-byte format tests.
std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::string& bytes);

} // namespace suite::test
