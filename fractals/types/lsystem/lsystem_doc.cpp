#include "lsystem_doc.h"

#include <algorithm>
#include <cstdint>

namespace fractals {

namespace {

constexpr std::string_view kCommandCharacters = "FMT[]+-*{}|<>^";

// The list count of the rules: 16 bits, or the escape 0xFFFF and then 32 bits.
void writeCount(Archive& ar, std::uint32_t count)
{
    std::string bytes;
    const auto put16 = [&](std::uint32_t v) {
        bytes += static_cast<char>(v & 0xFF);
        bytes += static_cast<char>((v >> 8) & 0xFF);
    };
    if (count < 0xFFFF) {
        put16(count);
    } else {
        put16(0xFFFF);
        put16(count & 0xFFFF);
        put16(count >> 16);
    }
    ar.writeBytes(bytes);
}

std::uint32_t readCount(Archive& ar)
{
    const std::string b = ar.readBytes(2);
    const std::uint32_t n = static_cast<unsigned char>(b[0]) |
                            (static_cast<std::uint32_t>(static_cast<unsigned char>(b[1])) << 8);
    if (n != 0xFFFF)
        return n;
    return static_cast<std::uint32_t>(ar.readInt32());
}

} // namespace

std::string filterLsystemString(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char raw : text) {
        char c = raw;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || kCommandCharacters.find(c) != std::string_view::npos)
            out += c;
    }
    return out;
}

bool bracketsBalanced(std::string_view text)
{
    std::size_t open = 0;
    for (const char c : text) {
        if (c == '[') {
            ++open;
        } else if (c == ']') {
            if (open == 0)
                return false;
            --open;
        }
    }
    return open == 0;
}

CheckedString checkAxiom(std::string_view text)
{
    CheckedString r{filterLsystemString(text)};
    if (r.text.empty())
        r.error = kMsgAxiomInvalid;
    else if (!bracketsBalanced(r.text))
        r.error = kMsgUnmatchedBrackets;
    return r;
}

CheckedString checkReplacement(std::string_view text)
{
    CheckedString r{filterLsystemString(text)};
    if (r.text.empty())
        r.error = kMsgReplacementInvalid;
    else if (!bracketsBalanced(r.text))
        r.error = kMsgUnmatchedBrackets;
    return r;
}

CLsystemDoc::CLsystemDoc()
{
    // No type key: the file holds the common header and then this type's own fields.
    m_strTypeKey.clear();
    m_strTypeName = "L-System";
}

std::unique_ptr<CLsystemDoc> CLsystemDoc::makeNew()
{
    auto doc = std::make_unique<CLsystemDoc>();
    doc->m_rules = {kDefaultRule};
    return doc;
}

void CLsystemDoc::setRunParameters(int iterations, bool stretch)
{
    m_nIterations = std::clamp(iterations, 0, kMaxLsystemIterations);
    m_bStretch = stretch;
}

void CLsystemDoc::Serialize(Archive& ar)
{
    CFractalDoc::Serialize(ar);
    ar.io(m_strName);
    ar.io(m_strAuthor);
    ar.io(m_strAxiom);
    std::int32_t increment = m_nAngleInc, initial = m_nInitAngle;
    ar.io(increment);
    ar.io(initial);
    m_nAngleInc = increment;
    m_nInitAngle = initial;
    ar.io(m_strNotes);
    if (ar.IsStoring()) {
        writeCount(ar, static_cast<std::uint32_t>(m_rules.size()));
        for (const auto& rule : m_rules)
            ar.writeString(rule);
        return;
    }
    const std::uint32_t count = readCount(ar);
    // Every text takes at least its length byte, so a count larger than the bytes left is a
    // truncated file; checking first keeps a forged count from reserving gigabytes.
    if (count > ar.bytes().size() - ar.position())
        throw ArchiveException(ArchiveException::endOfFile);
    std::vector<std::string> rules;
    rules.reserve(count);
    for (std::uint32_t k = 0; k < count; ++k)
        rules.push_back(ar.readString());
    m_rules = std::move(rules);
}

std::unique_ptr<CFractalDoc> CLsystemDoc::cloneEmpty() const
{
    return std::make_unique<CLsystemDoc>();
}

void CLsystemDoc::assignFrom(const CFractalDoc& other)
{
    CFractalDoc::assignFrom(other);
    const auto& o = static_cast<const CLsystemDoc&>(other);
    m_strNotes = o.m_strNotes;
    m_strAxiom = o.m_strAxiom;
    m_rules = o.m_rules;
    m_nAngleInc = o.m_nAngleInc;
    m_nInitAngle = o.m_nInitAngle;
}

} // namespace fractals
