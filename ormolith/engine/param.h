#pragma once
// Every consumer of scene parameters (document file, property bar, animation) is a visitor of
// one description of them: the scene hands a ParamNode per parameter, in a fixed order, to a
// ParamArchive. There is never a second list of the parameters.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ormolith {

// Value kinds. The kind of a node with kKindGroup and kKindFlag80 masked off is its value kind;
// 2..99 are choices among that many names, stored as a 32-bit index.
enum : std::uint16_t {
    kKindNone = 0,
    kKindText = 100,    // std::string, owned by the scene or document
    kKindInt = 101,     // std::int32_t
    kKindBool = 102,    // bool (one byte); choice 0 is the name for true
    kKindReal = 103,    // double, written with six significant digits
    kKindFloat = 104,   // float; readable, never written
    kKindTextPtr = 106, // const char*; reading points it at the archive's line, the receiver copies
    kKindFlag80 = 0x80,
    kKindGroup = 0x100,
};

constexpr std::uint16_t valueKind(std::uint16_t kind)
{
    return static_cast<std::uint16_t>(kind & ~(kKindGroup | kKindFlag80));
}
constexpr bool isGroup(std::uint16_t kind)
{
    return (kind & kKindGroup) != 0;
}
constexpr bool isChoice(std::uint16_t kind)
{
    return valueKind(kind) >= 2 && valueKind(kind) <= 99;
}

using ChoiceNames = std::span<const char* const>;

// The choice that a stored index stands for: the file writes the name at index modulo the
// number of names, so every reader of a choice must use the same index.
constexpr std::int32_t choiceIndex(std::int32_t value, std::int32_t count)
{
    return ((value % count) + count) % count;
}

struct ParamNode {
    std::string name;
    ChoiceNames choices;        // static tables; never owned
    const char* help = nullptr; // UTF-8, shown only, never stored
    std::uint16_t kind = kKindNone;
    std::uint16_t depth = 0;
    void* uiHandle = nullptr; // the tree row that shows the node, if any
    void* value = nullptr;    // points into the live scene or document
};

// Text form of a node's value: choices by name, booleans by their first/second name, reals with
// "%g". Formatting never depends on the process locale (a Qt application switches LC_NUMERIC).
std::string formatValue(const ParamNode& node);

// Stores a text into a node's value. Choices take the first exactly equal name or index 0;
// numbers that do not parse, or parse to infinity or NaN, become 0 (as the property bar promises
// for letters typed into a number cell). A kind 106 pointer is left pointing into `text`, which
// the receiver must copy before `text` changes. Returns false for nodes without a value.
bool parseValue(const ParamNode& node, const std::string& text);

class ParamArchive {
public:
    ParamArchive(bool writing, bool complete) : writing_(writing), complete_(complete) {}
    virtual ~ParamArchive() = default;
    ParamArchive(const ParamArchive&) = delete;
    ParamArchive& operator=(const ParamArchive&) = delete;

    // Handles one node; true when it was read, written or collected.
    virtual bool visit(ParamNode& node) = 0;
    // Ends the group opened by the last group visit. The describer has raised the depth itself.
    virtual void closeGroup();

    bool isWriting() const { return writing_; }
    // Complete archives (the file) see parameters that the property tree leaves out.
    bool isComplete() const { return complete_; }
    int depth = 0;

protected:
    bool writing_;
    bool complete_;
};

// Fills a temporary node (depth from the archive) and visits it.
bool describeParam(ParamArchive& ar, std::string_view name, void* value, std::uint16_t kind,
                   ChoiceNames choices = {}, const char* help = nullptr);

// Describes a group: visits the group node, raises the depth, lets `children` describe the
// contents, closes the group. Keeps the visit/depth/closeGroup protocol in one place.
template <class Children>
void describeGroup(ParamArchive& ar, std::string_view name, Children&& children,
                   void* value = nullptr, std::uint16_t choiceCount = 0, ChoiceNames choices = {})
{
    describeParam(ar, name, value, static_cast<std::uint16_t>(kKindGroup + choiceCount), choices);
    ++ar.depth;
    children();
    ar.closeGroup();
}

// Collects copies of every visited node; their value pointers still point into the live scene.
class ParamCollector : public ParamArchive {
public:
    ParamCollector() : ParamArchive(false, false) {}
    bool visit(ParamNode& node) override;
    void clear()
    {
        nodes.clear();
        depth = 0;
    }
    std::vector<ParamNode> nodes;
};

} // namespace ormolith
