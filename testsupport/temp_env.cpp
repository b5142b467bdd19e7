#include "temp_env.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

namespace suite::test {

TempDir::TempDir(const std::string& prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create temporary directory " + pattern);
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TempEnvironment::TempEnvironment()
{
    const std::pair<const char*, std::filesystem::path> vars[] = {
        {"WINDIR", windowsDir()},
        {"SYSTEMDIR", systemDir()},
        {"XDG_CONFIG_HOME", configDir()},
        {"HOME", homeDir()},
    };
    for (const auto& [name, dir] : vars) {
        std::filesystem::create_directories(dir);
        setenv(name, dir.c_str(), 1);
    }
}

std::string readFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace suite::test
