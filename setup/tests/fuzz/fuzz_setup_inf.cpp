// Fuzzes the description-file reader and everything a value goes through before it names a
// file: the "Install" splitter, the macros, the separator rules and the command-line splitter.
#include "bootstrapper.h"
#include "install_value.h"
#include "process.h"
#include "profile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const setup::Profile profile = setup::Profile::parse(text);
    const setup::Directories dirs{"/src/dir", "/windows", "/system"};

    for (const char* family : {"Install", "Execute"}) {
        for (int n = 1; n < 64; ++n) {
            const std::string value = profile.getString(setup::kSection, family + std::to_string(n),
                                                        "Error", setup::kValueBufferSize);
            if (value.size() >= setup::kValueBufferSize)
                std::abort(); // the value must fit the reader's buffer
            if (value.find("Error") != std::string::npos)
                break;
            if (const auto line = setup::splitInstallValue(value)) {
                for (const std::string* part :
                     {&line->sourceDir, &line->sourceFile, &line->destDir, &line->destFile}) {
                    const std::string expanded = setup::expandMacros(*part, dirs);
                    if (expanded.size() >= setup::kPathBufferSize)
                        std::abort();
                    if (setup::withTrailingSeparator(expanded).back() != '/')
                        std::abort();
                }
            }
            // Splitting only ever drops quotes and backslashes, never adds characters.
            const std::string commandLine = setup::expandMacros(value, dirs);
            std::size_t total = 0;
            for (const auto& arg : setup::splitCommandLine(commandLine))
                total += arg.size();
            if (total > commandLine.size())
                std::abort();
        }
    }
    return 0;
}
