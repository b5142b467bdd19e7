#pragma once
// The turtle that draws an L-System, and the expansion that feeds it without ever building
// the rewritten string: one read position per depth, so memory grows with the depth and the
// nesting of "[", never with the length of the result.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fractals {

class CLsystemDoc;

// The 15-bit generator of the C runtime the documents were made with (RAND_MAX 32767). The
// turtle's random commands are written for that range: "*" turns left when the draw is below
// 16383, "^" and "|" scale it by 180 and 6. glibc's rand has RAND_MAX 2^31 - 1, which would
// make "*" turn right nearly always and overflow rand * 180, so the old generator is kept.
class CrtRandom {
public:
    explicit CrtRandom(std::uint32_t seed = 1) : state_(seed) {}
    void seed(std::uint32_t seed) { state_ = seed; }
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    std::uint32_t state_;
};

// The turtle state that "[" and "]" copy as a whole.
struct TurtleState {
    float x = 0;
    float y = 0;
    std::int32_t length = 1;    // step factor; a step is length * 100
    std::int32_t heading = 0;   // degrees, counter-clockwise from +x
    std::int32_t increment = 0; // degrees per turn command
};

// What a run reads of the document, copied at its start so the window may change the
// document while the worker draws.
struct LsystemProgram {
    std::string axiom;
    std::array<std::string, 26> bodies; // by letter A..Z
    std::array<bool, 26> hasRule{};
    std::int32_t angleIncrement = 60;
    std::int32_t initialAngle = 0;
    int iterations = 3;

    // Rules are "X=body"; the later rule for a letter wins. A rule without a letter A..Z in
    // front is ignored; one with an empty body deletes its letter from every rewriting.
    static LsystemProgram make(std::string axiom, const std::vector<std::string>& rules,
                               int angleIncrement, int initialAngle, int iterations);
    static LsystemProgram fromDocument(const CLsystemDoc& doc);

    const std::string* ruleFor(char c) const
    {
        if (c < 'A' || c > 'Z' || !hasRule[static_cast<std::size_t>(c - 'A')])
            return nullptr;
        return &bodies[static_cast<std::size_t>(c - 'A')];
    }

    // Characters the turtle reads in one pass: the length of the rewritten string, computed
    // from the rule lengths alone (saturating far beyond anything that can run).
    double commandCount() const;
};

// A state copy per open "[": a file with thousands of unclosed brackets at depth 36 would
// otherwise push without end. Past this many copies, "[" only counts, and the matching "]"
// uncounts without moving the turtle; balanced rules never come near it.
inline constexpr std::size_t kMaxTurtleStack = 1u << 20;

// Wrapping integer steps: a file may hold any angle, and a long run of "*" or "{" must not
// become undefined behaviour; the old program's 32-bit registers wrapped the same way.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapSub(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapMul(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// cos and sin of heading * 0.0174533 for the headings "+", "-" and "T" can produce; other
// headings (after "*") are computed on the spot, with the same expression.
struct HeadingTable {
    static constexpr int kSpan = 359;
    std::array<double, 2 * kSpan + 1> cosines{}, sines{};
    HeadingTable();
    static const HeadingTable& instance();
};

// Interprets the turtle commands. The sink gets move(from, to, draw) for F (draw) and M, and
// jump(to) for "]".
class Turtle {
public:
    Turtle(const LsystemProgram& program, std::uint32_t seed);

    template <typename Sink> void interpret(char c, Sink& sink)
    {
        switch (c) {
        case 'F':
        case 'M': {
            const TurtleState from = state_;
            advance();
            sink.move(from, state_, c == 'F');
            return;
        }
        case '+':
            state_.heading = wrapAdd(state_.heading, state_.increment) % 360;
            return;
        case '-':
            state_.heading = wrapSub(state_.heading, state_.increment) % 360;
            return;
        case 'T':
            state_.heading = wrapAdd(state_.heading, 180) % 360;
            return;
        case '*':
            // No remainder here: the heading may leave -359..359.
            if (random_.next() < 16383)
                state_.heading = wrapAdd(state_.heading, state_.increment);
            else
                state_.heading = wrapSub(state_.heading, state_.increment);
            return;
        case '^':
            state_.increment = wrapAdd(state_.increment, random_.next() * 180 / 32767 - 90);
            return;
        case '<':
            state_.increment = wrapAdd(state_.increment, angleIncrement_);
            return;
        case '>':
            state_.increment = wrapSub(state_.increment, angleIncrement_);
            return;
        case '{':
            state_.length = wrapAdd(state_.length, 1);
            return;
        case '}':
            state_.length = wrapSub(state_.length, 1);
            return;
        case '|':
            state_.length = random_.next() * 6 / 32767;
            return;
        case '[':
            push();
            return;
        case ']':
            if (pop())
                sink.jump(state_);
            return;
        default:
            return;
        }
    }

    const TurtleState& state() const { return state_; }
    std::size_t deepestStack() const { return deepest_; }

private:
    void advance();
    void push();
    bool pop();

    TurtleState state_;
    std::int32_t angleIncrement_;
    CrtRandom random_;
    const HeadingTable& table_;
    std::vector<TurtleState> stack_;
    std::size_t overflow_ = 0;
    std::size_t deepest_ = 0;
};

// Feeds every character of the rewritten string to `interpret`, in order. `keepGoing` is
// asked before each step; when it says no, the walk ends and returns false.
template <typename KeepGoing, typename Interpret>
bool expandProgram(const LsystemProgram& program, KeepGoing&& keepGoing, Interpret&& interpret)
{
    struct Slot {
        const char* next;
        const char* end;
    };
    std::vector<Slot> readers(static_cast<std::size_t>(program.iterations) + 1);
    readers[0] = {program.axiom.data(), program.axiom.data() + program.axiom.size()};
    std::size_t depth = 0;
    const std::size_t last = readers.size() - 1;
    for (;;) {
        while (depth > 0 && readers[depth].next == readers[depth].end)
            --depth;
        Slot& slot = readers[depth];
        if (slot.next == slot.end)
            return true;
        if (!keepGoing())
            return false;
        const char c = *slot.next++;
        if (depth < last) {
            if (const std::string* body = program.ruleFor(c)) {
                ++depth;
                readers[depth] = {body->data(), body->data() + body->size()};
                continue;
            }
        }
        interpret(c);
    }
}

// The drawing's extent in turtle units: the origin and the end of every F.
struct TurtleBox {
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
};

// Truncated to integers, as the placement uses it.
struct IntBox {
    std::int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
};
IntBox truncateBox(const TurtleBox& box);

struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
};

// Where the turtle's points land in a picture of width × height pixels.
struct Placement {
    bool empty = true; // both extents zero: nothing is drawn
    double left = 0, top = 0, sx = 0, sy = 0;
    Pixel pixelOf(float x, float y) const;
};
Placement placeDrawing(const IntBox& box, int width, int height, bool stretch);

// Pass 1: runs the whole expansion without drawing. Returns false when stopped.
bool measureLsystem(const LsystemProgram& program, std::uint32_t seed,
                    const std::function<bool()>& keepGoing, TurtleBox& box,
                    std::size_t* deepestStack = nullptr);

// Pass 2: calls `segment` with the two pixels of every F, in order.
bool drawLsystem(const LsystemProgram& program, std::uint32_t seed, const Placement& placement,
                 const std::function<bool()>& keepGoing,
                 const std::function<void(Pixel from, Pixel to)>& segment);

// A line as the window system draws one: from `from` up to, but not including, `to`, on a
// picture of 32-bit pixels (stride in pixels); what lies outside is clipped.
void drawLinePixels(std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, Pixel from,
                    Pixel to, std::uint32_t color);

// Both passes into a white picture of 0x00RRGGBB pixels with black lines. Progress runs
// 0..100 over both passes, from the number of commands each one reads.
struct LsystemPicture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};
bool renderLsystemPicture(const LsystemProgram& program, bool stretch, std::uint32_t seed,
                          LsystemPicture& picture, const std::function<bool()>& keepGoing,
                          const std::function<void(int percent)>& progress = {});

} // namespace fractals
