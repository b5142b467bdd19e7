#include "param.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace ormolith {

namespace {

const char* skipBlanks(const char* p, const char* end)
{
    while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    return p;
}

// Like "%d": leading white space and a sign are accepted, trailing text ignored. Values beyond
// 32 bits saturate instead of wrapping into a surprising number.
std::int32_t parseInt(const std::string& text)
{
    const char* p = skipBlanks(text.data(), text.data() + text.size());
    const char* end = text.data() + text.size();
    if (p != end && *p == '+')
        ++p;
    long long v = 0;
    auto [next, ec] = std::from_chars(p, end, v);
    if (ec == std::errc::result_out_of_range)
        return (p != end && *p == '-') ? std::numeric_limits<std::int32_t>::min()
                                       : std::numeric_limits<std::int32_t>::max();
    if (ec != std::errc())
        return 0;
    return static_cast<std::int32_t>(std::clamp<long long>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Like "%lf" in the C locale, except that infinities, NaN and out-of-range numbers give 0: a
// scene value that is not finite would poison every later computation of the build.
double parseReal(const std::string& text)
{
    const char* end = text.data() + text.size();
    const char* p = skipBlanks(text.data(), end);
    if (p != end && *p == '+' && (p + 1 == end || p[1] != '-'))
        ++p;
    double v = 0;
    auto [next, ec] = std::from_chars(p, end, v, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(v))
        return 0;
    return v;
}

} // namespace

std::string formatValue(const ParamNode& node)
{
    if (node.value == nullptr)
        return {};
    const std::uint16_t kind = valueKind(node.kind);
    if (isChoice(node.kind)) {
        const std::int32_t v = *static_cast<const std::int32_t*>(node.value);
        // A negative index must not reach the name table; wrap it like a positive one.
        const std::size_t index = static_cast<std::size_t>(choiceIndex(v, kind));
        return index < node.choices.size() ? std::string(node.choices[index]) : std::string();
    }
    switch (kind) {
    case kKindText:
        return *static_cast<const std::string*>(node.value);
    case kKindInt:
        return std::to_string(*static_cast<const std::int32_t*>(node.value));
    case kKindBool: {
        const bool v = *static_cast<const bool*>(node.value);
        if (node.choices.size() < 2)
            return {};
        return node.choices[v ? 0 : 1];
    }
    case kKindReal: {
        // Six significant digits, shortest of fixed or exponent form: exactly printf's "%g".
        char buffer[64];
        auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, *static_cast<const double*>(node.value),
                          std::chars_format::general, 6);
        return ec == std::errc() ? std::string(buffer, end) : std::string();
    }
    case kKindTextPtr: {
        const char* text = *static_cast<const char* const*>(node.value);
        return text ? std::string(text) : std::string();
    }
    default: // 32-bit reals are never written; groups without a value have no text
        return {};
    }
}

bool parseValue(const ParamNode& node, const std::string& text)
{
    if (node.value == nullptr)
        return false;
    const std::uint16_t kind = valueKind(node.kind);
    if (isChoice(node.kind)) {
        std::int32_t index = 0;
        for (std::size_t i = 0; i < node.choices.size() && i < kind; ++i)
            if (text == node.choices[i]) {
                index = static_cast<std::int32_t>(i);
                break;
            }
        *static_cast<std::int32_t*>(node.value) = index;
        return true;
    }
    switch (kind) {
    case kKindText:
        *static_cast<std::string*>(node.value) = text;
        return true;
    case kKindInt:
        *static_cast<std::int32_t*>(node.value) = parseInt(text);
        return true;
    case kKindBool:
        *static_cast<bool*>(node.value) = !node.choices.empty() && text == node.choices[0];
        return true;
    case kKindReal:
        *static_cast<double*>(node.value) = parseReal(text);
        return true;
    case kKindFloat: {
        const double v = parseReal(text);
        *static_cast<float*>(node.value) =
            std::fabs(v) <= std::numeric_limits<float>::max() ? static_cast<float>(v) : 0.0f;
        return true;
    }
    case kKindTextPtr:
        *static_cast<const char**>(node.value) = text.c_str();
        return true;
    default:
        return false;
    }
}

void ParamArchive::closeGroup()
{
    if (depth > 0)
        --depth;
}

bool describeParam(ParamArchive& ar, std::string_view name, void* value, std::uint16_t kind,
                   ChoiceNames choices, const char* help)
{
    ParamNode node;
    node.name.assign(name);
    node.value = value;
    node.kind = kind;
    node.choices = choices;
    node.help = help;
    node.depth = static_cast<std::uint16_t>(std::max(ar.depth, 0));
    return ar.visit(node);
}

bool ParamCollector::visit(ParamNode& node)
{
    nodes.push_back(node);
    return true;
}

} // namespace ormolith
