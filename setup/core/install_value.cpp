#include "install_value.h"

#include <algorithm>
#include <array>

namespace setup {

std::optional<InstallLine> splitInstallValue(std::string_view value)
{
    const auto semicolon = value.find(';');
    if (semicolon == std::string_view::npos)
        return std::nullopt;
    const std::string_view sourcePart = value.substr(0, semicolon);
    const std::string_view destPart = value.substr(semicolon + 1);
    const auto sourceComma = sourcePart.find(',');
    const auto destComma = destPart.find(',');
    if (sourceComma == std::string_view::npos || destComma == std::string_view::npos)
        return std::nullopt;
    return InstallLine{std::string(sourcePart.substr(0, sourceComma)),
                       std::string(sourcePart.substr(sourceComma + 1)),
                       std::string(destPart.substr(0, destComma)),
                       std::string(destPart.substr(destComma + 1))};
}

std::string expandMacros(std::string_view text, const Directories& dirs)
{
    std::string result(text);
    const std::array<std::pair<std::string_view, const std::string*>, 3> macros{{
        {"%SourceDir%", &dirs.source},
        {"%WindowsDir%", &dirs.windows},
        {"%SystemDir%", &dirs.system},
    }};
    for (const auto& [macro, replacement] : macros) {
        const auto at = result.find(macro);
        if (at != std::string::npos)
            result.replace(at, macro.size(), *replacement);
    }
    if (result.size() > kPathBufferSize - 1)
        result.resize(kPathBufferSize - 1);
    return result;
}

std::string toNativeSeparators(std::string_view path)
{
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string withTrailingSeparator(std::string_view dir)
{
    std::string result = toNativeSeparators(dir);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

} // namespace setup
