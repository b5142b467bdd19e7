#include "lsystem_turtle.h"

#include "lsystem_doc.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fractals {

namespace {

// Degrees to radians with the constant the drawings were made with; pi/180 would move the
// end points of a deep drawing by visible amounts.
constexpr double kRadiansPerDegree = 0.0174533;

double cosOf(std::int32_t heading)
{
    return std::cos(heading * kRadiansPerDegree);
}
double sinOf(std::int32_t heading)
{
    return std::sin(heading * kRadiansPerDegree);
}

// Truncation towards zero that saturates instead of overflowing; a drawing that ran off to
// infinity or became NaN still yields a number.
template <typename Int> Int truncSaturating(double v, Int low, Int high)
{
    if (std::isnan(v))
        return 0;
    if (v <= static_cast<double>(low))
        return low;
    if (v >= static_cast<double>(high))
        return high;
    return static_cast<Int>(v);
}

} // namespace

LsystemProgram LsystemProgram::make(std::string axiom, const std::vector<std::string>& rules,
                                    int angleIncrement, int initialAngle, int iterations)
{
    LsystemProgram p;
    p.axiom = std::move(axiom);
    for (const std::string& rule : rules) {
        if (rule.empty() || rule[0] < 'A' || rule[0] > 'Z')
            continue;
        const auto letter = static_cast<std::size_t>(rule[0] - 'A');
        p.bodies[letter] = rule.size() > 2 ? rule.substr(2) : std::string();
        p.hasRule[letter] = true;
    }
    p.angleIncrement = angleIncrement;
    p.initialAngle = initialAngle;
    p.iterations = std::clamp(iterations, 0, kMaxLsystemIterations);
    return p;
}

LsystemProgram LsystemProgram::fromDocument(const CLsystemDoc& doc)
{
    return make(doc.axiom(), doc.rules(), doc.angleIncrement(), doc.initialAngle(),
                doc.iterations());
}

double LsystemProgram::commandCount() const
{
    // length[d][c]: characters that letter c turns into after d more rewritings.
    std::array<double, 26> length{};
    length.fill(1.0);
    for (int d = 0; d < iterations; ++d) {
        std::array<double, 26> next{};
        for (std::size_t c = 0; c < 26; ++c) {
            if (!hasRule[c]) {
                next[c] = 1.0;
                continue;
            }
            double n = 0;
            for (const char b : bodies[c]) {
                const std::string* r = ruleFor(b);
                n += r ? length[static_cast<std::size_t>(b - 'A')] : 1.0;
            }
            next[c] = std::min(n, 1e300);
        }
        length = next;
    }
    double total = 0;
    for (const char a : axiom)
        total += (a >= 'A' && a <= 'Z') ? length[static_cast<std::size_t>(a - 'A')] : 1.0;
    return std::min(total, 1e300);
}

HeadingTable::HeadingTable()
{
    for (int h = -kSpan; h <= kSpan; ++h) {
        cosines[static_cast<std::size_t>(h + kSpan)] = cosOf(h);
        sines[static_cast<std::size_t>(h + kSpan)] = sinOf(h);
    }
}

const HeadingTable& HeadingTable::instance()
{
    static const HeadingTable table;
    return table;
}

Turtle::Turtle(const LsystemProgram& program, std::uint32_t seed)
    : angleIncrement_(program.angleIncrement), random_(seed), table_(HeadingTable::instance())
{
    state_.heading = program.initialAngle;
    state_.increment = program.angleIncrement;
}

void Turtle::advance()
{
    const double step = wrapMul(state_.length, 100);
    const std::int32_t h = state_.heading;
    double c, s;
    if (h >= -HeadingTable::kSpan && h <= HeadingTable::kSpan) {
        c = table_.cosines[static_cast<std::size_t>(h + HeadingTable::kSpan)];
        s = table_.sines[static_cast<std::size_t>(h + HeadingTable::kSpan)];
    } else {
        c = cosOf(h);
        s = sinOf(h);
    }
    // The sums are formed in double and stored as floats, as the float fields always were.
    state_.x = static_cast<float>(state_.x + c * step);
    state_.y = static_cast<float>(state_.y + s * step);
}

void Turtle::push()
{
    if (stack_.size() >= kMaxTurtleStack) {
        ++overflow_;
        return;
    }
    stack_.push_back(state_);
    deepest_ = std::max(deepest_, stack_.size());
}

bool Turtle::pop()
{
    if (overflow_ > 0) {
        --overflow_;
        return false;
    }
    if (stack_.empty())
        return false;
    state_ = stack_.back();
    stack_.pop_back();
    return true;
}

IntBox truncateBox(const TurtleBox& box)
{
    // Limited so that the extents below (max - min) cannot overflow either.
    constexpr std::int64_t lim = std::int64_t{1} << 60;
    return {truncSaturating<std::int64_t>(box.minX, -lim, lim),
            truncSaturating<std::int64_t>(box.maxX, -lim, lim),
            truncSaturating<std::int64_t>(box.minY, -lim, lim),
            truncSaturating<std::int64_t>(box.maxY, -lim, lim)};
}

Placement placeDrawing(const IntBox& box, int width, int height, bool stretch)
{
    Placement p;
    const auto W = static_cast<double>(box.maxX - box.minX);
    const auto H = static_cast<double>(box.maxY - box.minY);
    p.left = static_cast<double>(box.minX) - 0.05 * W;
    p.top = static_cast<double>(box.maxY) + 0.05 * H;
    double extentW = 1.1 * W, extentH = 1.1 * H;
    const double w = width, h = height;
    double usedW = w, usedH = h;
    if (!stretch) {
        // A square of side min(w, h), centred along the longer side.
        if (width > height) {
            usedW = h;
            p.left += (h - w) * W / (2 * h);
        } else {
            usedH = w;
            p.top += (h - w) * H / (2 * w);
        }
    }
    if (extentW == 0 && extentH == 0)
        return p;
    if (extentW == 0)
        extentW = 1;
    if (extentH == 0)
        extentH = 1;
    p.empty = false;
    p.sx = usedW / extentW;
    p.sy = usedH / extentH;
    return p;
}

Pixel Placement::pixelOf(float x, float y) const
{
    // Far outside any picture, but small enough that line arithmetic cannot overflow.
    constexpr int lim = 1 << 28;
    return {truncSaturating<int>((x - left) * sx, -lim, lim),
            truncSaturating<int>((top - y) * sy, -lim, lim)};
}

namespace {

struct MeasureSink {
    TurtleBox box;
    void move(const TurtleState&, const TurtleState& to, bool draw)
    {
        if (!draw)
            return;
        box.minX = std::min(box.minX, to.x);
        box.maxX = std::max(box.maxX, to.x);
        box.minY = std::min(box.minY, to.y);
        box.maxY = std::max(box.maxY, to.y);
    }
    void jump(const TurtleState&) {}
};

struct DrawSink {
    const Placement& placement;
    const std::function<void(Pixel, Pixel)>& segment;
    Pixel current{};
    void move(const TurtleState&, const TurtleState& to, bool draw)
    {
        const Pixel next = placement.pixelOf(to.x, to.y);
        if (draw)
            segment(current, next);
        current = next;
    }
    void jump(const TurtleState& to) { current = placement.pixelOf(to.x, to.y); }
};

} // namespace

bool measureLsystem(const LsystemProgram& program, std::uint32_t seed,
                    const std::function<bool()>& keepGoing, TurtleBox& box,
                    std::size_t* deepestStack)
{
    Turtle turtle(program, seed);
    MeasureSink sink;
    const bool done = expandProgram(program, keepGoing, [&](char c) { turtle.interpret(c, sink); });
    box = sink.box;
    if (deepestStack)
        *deepestStack = turtle.deepestStack();
    return done;
}

bool drawLsystem(const LsystemProgram& program, std::uint32_t seed, const Placement& placement,
                 const std::function<bool()>& keepGoing,
                 const std::function<void(Pixel from, Pixel to)>& segment)
{
    if (placement.empty)
        return true;
    Turtle turtle(program, seed);
    DrawSink sink{placement, segment, placement.pixelOf(0, 0)};
    return expandProgram(program, keepGoing, [&](char c) { turtle.interpret(c, sink); });
}

void drawLinePixels(std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, Pixel from,
                    Pixel to, std::uint32_t color)
{
    if (width <= 0 || height <= 0)
        return;
    // Clip the segment to the picture (one pixel of slack) so that a far-away end point
    // costs nothing; the end point stays excluded only when it was not clipped away.
    double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
    const double dx = x1 - x0, dy = y1 - y0;
    double t0 = 0, t1 = 1;
    const auto clip = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!clip(-dx, x0 + 1) || !clip(dx, width - x0) || !clip(-dy, y0 + 1) || !clip(dy, height - y0))
        return;
    const bool endKept = t1 >= 1;
    Pixel a{static_cast<int>(std::lround(x0 + t0 * dx)),
            static_cast<int>(std::lround(y0 + t0 * dy))};
    Pixel b{static_cast<int>(std::lround(x0 + t1 * dx)),
            static_cast<int>(std::lround(y0 + t1 * dy))};
    if (t0 == 0)
        a = from;
    if (endKept)
        b = to;
    const auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::ptrdiff_t>(y) * stride + x] = color;
    };
    // Bresenham from a towards b.
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    const int ax = std::abs(b.x - a.x), ay = -std::abs(b.y - a.y);
    int err = ax + ay;
    int x = a.x, y = a.y;
    for (;;) {
        if (x == b.x && y == b.y) {
            if (!endKept)
                plot(x, y);
            return;
        }
        plot(x, y);
        const int e2 = 2 * err;
        if (e2 >= ay) {
            err += ay;
            x += sx;
        }
        if (e2 <= ax) {
            err += ax;
            y += sy;
        }
    }
}

bool renderLsystemPicture(const LsystemProgram& program, bool stretch, std::uint32_t seed,
                          LsystemPicture& picture, const std::function<bool()>& keepGoing,
                          const std::function<void(int percent)>& progress)
{
    picture.pixels.assign(static_cast<std::size_t>(picture.width) *
                              static_cast<std::size_t>(picture.height),
                          0x00FFFFFFu);
    // Progress is counted here rather than in the passes: a relaxed counter per command,
    // reported every 2^16 commands.
    const double total = std::max(1.0, 2 * program.commandCount());
    double done = 0;
    std::uint32_t sinceReport = 0;
    int lastPercent = -1;
    const std::function<bool()> counting = [&] {
        if (++sinceReport == (1u << 16)) {
            done += sinceReport;
            sinceReport = 0;
            const int percent = static_cast<int>(std::min(100.0, 100.0 * done / total));
            if (progress && percent != lastPercent) {
                lastPercent = percent;
                progress(percent);
            }
        }
        return keepGoing();
    };
    TurtleBox box;
    if (!measureLsystem(program, seed, counting, box))
        return false;
    const Placement placement =
        placeDrawing(truncateBox(box), picture.width, picture.height, stretch);
    const bool done2 = drawLsystem(program, seed, placement, counting, [&](Pixel a, Pixel b) {
        drawLinePixels(picture.pixels.data(), picture.width, picture.height, picture.width, a, b,
                       0x00000000u);
    });
    if (done2 && progress)
        progress(100);
    return done2;
}

} // namespace fractals
