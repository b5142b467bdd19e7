#include "file_bytes.h"
#include "lsystem_doc.h"
#include "lsystem_turtle.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <unistd.h>

using namespace fractals;

namespace {

const auto always = [] { return true; };

// The plain definition the streaming walk must agree with: rewrite the whole string once per
// depth, every letter with a rule in parallel, the last rule for a letter winning.
std::string naiveRewrite(const std::string& axiom, const std::vector<std::string>& rules,
                         int iterations)
{
    std::map<char, std::string> table;
    for (const auto& r : rules)
        if (!r.empty() && r[0] >= 'A' && r[0] <= 'Z')
            table[r[0]] = r.size() > 2 ? r.substr(2) : "";
    std::string s = axiom;
    for (int d = 0; d < iterations; ++d) {
        std::string next;
        for (char c : s) {
            const auto it = table.find(c);
            next += it == table.end() ? std::string(1, c) : it->second;
        }
        s = next;
    }
    return s;
}

std::string streamed(const LsystemProgram& p)
{
    std::string out;
    expandProgram(p, always, [&](char c) { out += c; });
    return out;
}

std::vector<std::pair<Pixel, Pixel>> segmentsOf(const LsystemProgram& p, int w, int h, bool stretch,
                                                std::uint32_t seed = 1)
{
    TurtleBox box;
    EXPECT_TRUE(measureLsystem(p, seed, always, box));
    const Placement placement = placeDrawing(truncateBox(box), w, h, stretch);
    std::vector<std::pair<Pixel, Pixel>> segs;
    drawLsystem(p, seed, placement, always, [&](Pixel a, Pixel b) { segs.emplace_back(a, b); });
    return segs;
}

long residentPages()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident;
}

std::string le16(unsigned v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string le32(std::uint32_t v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}
std::string text(const std::string& s)
{
    return static_cast<char>(s.size()) + s; // short texts: one length byte
}

} // namespace

TEST(LsystemStrings, FilteringUpperCasesAndDropsWhatTheTurtleCannotRead)
{
    EXPECT_EQ(filterLsystemString("f+f"), "F+F");
    EXPECT_EQ(filterLsystemString("F 1 F"), "FF");
    EXPECT_EQ(filterLsystemString("FMT[]+-*{}|<>^"), "FMT[]+-*{}|<>^");
    EXPECT_EQ(filterLsystemString("a=b,c.d/e\\f\t(g)&h%~"), "ABCDEFGH");
    EXPECT_EQ(filterLsystemString("\xC3\xA9x"), "X"); // bytes of other alphabets go too

    EXPECT_EQ(checkAxiom("f+f").text, "F+F");
    EXPECT_EQ(checkAxiom("f+f").error, nullptr);
    EXPECT_STREQ(checkAxiom(" 12 ,.").error, kMsgAxiomInvalid);
    EXPECT_STREQ(checkAxiom("").error, kMsgAxiomInvalid);
    EXPECT_STREQ(checkAxiom("F[F").error, kMsgUnmatchedBrackets);
    EXPECT_STREQ(checkReplacement("F][F").error, kMsgUnmatchedBrackets);
    EXPECT_STREQ(checkReplacement("F]F[").error, kMsgUnmatchedBrackets);
    EXPECT_STREQ(checkReplacement("  ").error, kMsgReplacementInvalid);
    EXPECT_EQ(checkReplacement("f[+f[-f]]f").error, nullptr);
    EXPECT_EQ(checkReplacement("f[+f[-f]]f").text, "F[+F[-F]]F");
    EXPECT_TRUE(bracketsBalanced("[][[]]"));
    EXPECT_FALSE(bracketsBalanced("[[]"));
    EXPECT_FALSE(bracketsBalanced("]["));
}

TEST(LsystemStrings, MessagesReadAsTheUserSeesThem)
{
    EXPECT_STREQ(kMsgAxiomInvalid,
                 "The axiom included invalid characters or is empty. Please input a proper axiom.");
    EXPECT_STREQ(kMsgUnmatchedBrackets,
                 "The selected rule or axiom contains unmatched or extra brackets. Please check "
                 "to make sure all of them are properly matched.");
    EXPECT_STREQ(kMsgNoRules, "You must define at least one production rule.");
    EXPECT_STREQ(kMsgReplacementInvalid,
                 "You must specify a valid production rule (replace with) for the variable.");
    EXPECT_STREQ(kMsgVariableInvalid,
                 "You must specify a valid variable (any character from A to Z) to replace and "
                 "the production rule for the variable.");
    EXPECT_STREQ(kMsgNoRuleSelected, "You have not selected the rule to remove.");
    EXPECT_STREQ(kMsgNoLsystemApplet, "We're sorry, but currently there is no Java applet "
                                      "available for generating the L-System fractal.");
}

TEST(LsystemDocument, DefaultsAndTheNewDocumentRule)
{
    CLsystemDoc loaded;
    EXPECT_TRUE(loaded.rules().empty());
    EXPECT_EQ(loaded.axiom(), "F++F++F");
    EXPECT_EQ(loaded.angleIncrement(), 60);
    EXPECT_EQ(loaded.initialAngle(), 0);
    EXPECT_EQ(loaded.iterations(), 3);
    EXPECT_FALSE(loaded.stretch());
    EXPECT_TRUE(loaded.typeKey().empty());
    const auto fresh = CLsystemDoc::makeNew();
    EXPECT_EQ(fresh->rules(), std::vector<std::string>{"F=F-F++F-F"});
    EXPECT_FALSE(fresh->IsModified());

    fresh->setRunParameters(99, true);
    EXPECT_EQ(fresh->iterations(), 36);
    fresh->setRunParameters(-4, false);
    EXPECT_EQ(fresh->iterations(), 0);
    EXPECT_FALSE(fresh->IsModified());
}

TEST(LsystemArchive, FileBytesFieldByField)
{
    auto doc = CLsystemDoc::makeNew();
    doc->SetName("Snow");
    doc->SetAuthor("Ann");
    doc->setNotes("n");
    doc->setAngleIncrement(90);
    doc->setInitialAngle(270);
    doc->setRules({"F=F+F", "G=GG"});
    const std::string expected = test::headerBytes() + text("Snow") + text("Ann") +
                                 text("F++F++F") + le32(90) + le32(270) + text("n") + le16(2) +
                                 text("F=F+F") + text("G=GG");
    EXPECT_EQ(doc->saveToBytes(), expected);

    // The run parameters are not part of the file.
    doc->setRunParameters(7, true);
    EXPECT_EQ(doc->saveToBytes(), expected);

    CLsystemDoc back;
    back.setRunParameters(5, true);
    back.loadFromBytes(expected);
    EXPECT_EQ(back.name(), "Snow");
    EXPECT_EQ(back.author(), "Ann");
    EXPECT_EQ(back.notes(), "n");
    EXPECT_EQ(back.angleIncrement(), 90);
    EXPECT_EQ(back.initialAngle(), 270);
    EXPECT_EQ(back.rules(), (std::vector<std::string>{"F=F+F", "G=GG"}));
    EXPECT_EQ(back.iterations(), 5); // what the open document had
    EXPECT_TRUE(back.stretch());
    EXPECT_FALSE(back.IsModified());
}

TEST(LsystemArchive, LongRuleListsUseTheEscapedCount)
{
    for (const std::uint32_t n : {0xFFFEu, 0xFFFFu, 0x10003u}) {
        CLsystemDoc doc;
        doc.setRules(std::vector<std::string>(n, "F=F"));
        const std::string bytes = doc.saveToBytes();
        const std::string prefix = test::headerBytes() + text("") + text("") + text("F++F++F") +
                                   le32(60) + le32(0) + text("");
        const std::string count = n < 0xFFFF ? le16(n) : le16(0xFFFF) + le32(n);
        ASSERT_EQ(bytes.size(), prefix.size() + count.size() + 4 * std::size_t{n}) << n;
        EXPECT_EQ(bytes.substr(0, prefix.size() + count.size()), prefix + count) << n;
        EXPECT_EQ(bytes.substr(bytes.size() - 4), text("F=F"));
        CLsystemDoc back;
        back.loadFromBytes(bytes);
        EXPECT_EQ(back.rules().size(), n);
    }
}

TEST(LsystemArchive, DamagedFilesAreRefusedAndChangeNothing)
{
    auto doc = CLsystemDoc::makeNew();
    const std::string good = doc->saveToBytes();
    CLsystemDoc target;
    target.setAxiom("M");
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_THROW(target.loadFromBytes(good.substr(0, cut)), ArchiveException) << cut;
    // A count of four billion rules in a file of a few bytes.
    std::string forged = good.substr(0, good.size() - 2 - text("F=F-F++F-F").size() + 2);
    forged = good.substr(0, good.size() - text("F=F-F++F-F").size() - 2) + le16(0xFFFF) +
             le32(0xFFFFFFF0u) + text("F");
    try {
        target.loadFromBytes(forged);
        FAIL() << "a forged count was accepted";
    } catch (const ArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveException::endOfFile);
    }
    EXPECT_EQ(target.axiom(), "M");
    EXPECT_TRUE(target.rules().empty());
}

TEST(LsystemRules, TheLaterRuleForALetterWinsAndEmptyBodiesDelete)
{
    const auto p = LsystemProgram::make("AB", {"A=X", "B=Y", "A=Z", "=Q", "1=Q", "B="}, 60, 0, 1);
    EXPECT_EQ(streamed(p), "Z");
    ASSERT_NE(p.ruleFor('A'), nullptr);
    EXPECT_EQ(*p.ruleFor('A'), "Z");
    EXPECT_EQ(p.ruleFor('C'), nullptr);
    EXPECT_EQ(p.ruleFor('+'), nullptr);
    // With depth 0 the axiom is read as it is.
    EXPECT_EQ(streamed(LsystemProgram::make("AB", {"A=X"}, 60, 0, 0)), "AB");
    // Depth beyond the limit is clamped.
    EXPECT_EQ(LsystemProgram::make("F", {}, 60, 0, 500).iterations, 36);
}

TEST(LsystemExpansion, StreamingEqualsANaiveRewriteForRandomRuleSets)
{
    std::mt19937 rng(20261208);
    const std::string alphabet = "ABF+-[]M*";
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<std::string> rules;
        const int ruleCount = std::uniform_int_distribution(0, 4)(rng);
        for (int r = 0; r < ruleCount; ++r) {
            std::string rule = std::string(1, "ABFG"[rng() % 4]) + "=";
            const int len = std::uniform_int_distribution(0, 5)(rng);
            for (int k = 0; k < len; ++k)
                rule += alphabet[rng() % alphabet.size()];
            rules.push_back(rule);
        }
        std::string axiom;
        const int axiomLen = std::uniform_int_distribution(0, 4)(rng);
        for (int k = 0; k < axiomLen; ++k)
            axiom += alphabet[rng() % alphabet.size()];
        const int depth = std::uniform_int_distribution(0, 5)(rng);
        const auto program = LsystemProgram::make(axiom, rules, 60, 0, depth);
        const std::string expected = naiveRewrite(axiom, rules, depth);
        ASSERT_EQ(streamed(program), expected) << "axiom " << axiom << " depth " << depth
                                               << " rules " << ::testing::PrintToString(rules);
        EXPECT_EQ(program.commandCount(), static_cast<double>(expected.size()));
    }
}

TEST(LsystemExpansion, StoppingEndsTheWalkAtOnce)
{
    const auto p = LsystemProgram::make("F", {"F=FF"}, 60, 0, 30);
    long steps = 0;
    const bool finished = expandProgram(
        p, [&] { return ++steps <= 1000; }, [](char) {});
    EXPECT_FALSE(finished);
    EXPECT_EQ(steps, 1001);
}

TEST(LsystemRandom, TheCRuntimeSequence)
{
    // The first draws of the C runtime after srand(1) and srand(0).
    CrtRandom r(1);
    EXPECT_EQ(r.next(), 41);
    EXPECT_EQ(r.next(), 18467);
    EXPECT_EQ(r.next(), 6334);
    EXPECT_EQ(r.next(), 26500);
    r.seed(0);
    EXPECT_EQ(r.next(), 38);
    EXPECT_EQ(r.next(), 7719);
}

namespace {

struct Recorder {
    std::vector<TurtleState> moves;
    std::vector<bool> drawn;
    std::vector<TurtleState> jumps;
    void move(const TurtleState&, const TurtleState& to, bool draw)
    {
        moves.push_back(to);
        drawn.push_back(draw);
    }
    void jump(const TurtleState& to) { jumps.push_back(to); }
};

TurtleState run(const std::string& commands, int increment = 60, int initial = 0,
                std::uint32_t seed = 1, Recorder* rec = nullptr)
{
    const auto p = LsystemProgram::make(commands, {}, increment, initial, 0);
    Turtle t(p, seed);
    Recorder local;
    for (char c : commands)
        t.interpret(c, rec ? *rec : local);
    return t.state();
}

} // namespace

TEST(LsystemTurtle, TurnsKeepTheSignOfTheDividend)
{
    EXPECT_EQ(run("-").heading, -60);
    EXPECT_EQ(run("-------").heading, -60); // -420 % 360
    EXPECT_EQ(run("+++++++").heading, 60);
    EXPECT_EQ(run("T", 60, 270).heading, 90);
    EXPECT_EQ(run("T", 60, 0).heading, 180);
    EXPECT_EQ(run("-T", 60, 0).heading, 120);
    EXPECT_EQ(run("<+").heading, 120);
    EXPECT_EQ(run("<").increment, 120);
    EXPECT_EQ(run(">>").increment, -60);
    EXPECT_EQ(run("{{}").length, 2);
    EXPECT_EQ(run("XYZ?1").heading, 0); // letters without a rule and others do nothing
}

TEST(LsystemTurtle, RandomCommandsFollowTheGenerator)
{
    // Seed 1 draws 41, 18467, 6334, 26500.
    EXPECT_EQ(run("*").heading, 60);         // 41 < 16383: left, no remainder
    EXPECT_EQ(run("**").heading, 0);         // then 18467: right
    EXPECT_EQ(run("^").increment, -30);      // 60 + 41*180/32767 - 90
    EXPECT_EQ(run("^^").increment, -19);     // -30 + 101 - 90
    EXPECT_EQ(run("|").length, 0);           // 41*6/32767
    EXPECT_EQ(run("||").length, 3);          // 18467*6/32767
    EXPECT_EQ(run("***", 200).heading, 200); // +200 -200 +200, beyond 180 without a remainder
    EXPECT_EQ(run("***", 200).heading % 360, 200);
}

TEST(LsystemTurtle, StepsUseTheOldConstantAndFloatFields)
{
    const TurtleState s = run("+F", 60);
    EXPECT_EQ(s.x, static_cast<float>(0.0 + std::cos(60 * 0.0174533) * 100));
    EXPECT_EQ(s.y, static_cast<float>(0.0 + std::sin(60 * 0.0174533) * 100));
    const TurtleState far = run("{{F", 60, 30);
    EXPECT_EQ(far.x, static_cast<float>(std::cos(30 * 0.0174533) * 300));
    // Headings outside -359..359 (after "*") compute the same way.
    const TurtleState wide = run("***F", 400);
    EXPECT_EQ(wide.heading, 400);
    EXPECT_EQ(wide.x, static_cast<float>(std::cos(400 * 0.0174533) * 100));

    Recorder rec;
    run("F[+F]M]F", 90, 0, 1, &rec);
    ASSERT_EQ(rec.moves.size(), 4u);
    EXPECT_EQ(rec.drawn, (std::vector<bool>{true, true, false, true}));
    ASSERT_EQ(rec.jumps.size(), 1u); // the second "]" has nothing to pop
    EXPECT_EQ(rec.jumps[0].x, 100.0f);
    EXPECT_EQ(rec.jumps[0].heading, 0);
    EXPECT_EQ(rec.moves[3].x, 300.0f); // F after M continues from the moved place
}

TEST(LsystemTurtle, ExtremeValuesFromAFileWrapInsteadOfOverflowing)
{
    const auto p = LsystemProgram::make("<<<{F", {}, 2147483647, 2147483600, 0);
    Turtle t(p, 1);
    Recorder rec;
    for (char c : p.axiom)
        t.interpret(c, rec);
    EXPECT_EQ(t.state().increment,
              wrapAdd(wrapAdd(wrapAdd(2147483647, 2147483647), 2147483647), 2147483647));
    EXPECT_TRUE(std::isfinite(t.state().x));
}

TEST(LsystemDrawing, TheDefaultsDrawAKochSnowflakeOf192Segments)
{
    const auto doc = CLsystemDoc::makeNew();
    const auto p = LsystemProgram::fromDocument(*doc);
    const auto segs = segmentsOf(p, 300, 300, false);
    EXPECT_EQ(segs.size(), 192u);
    // Each segment starts where the previous one ended: one closed path.
    for (std::size_t k = 1; k < segs.size(); ++k)
        EXPECT_EQ(segs[k].first, segs[k - 1].second) << k;
    EXPECT_LE(std::abs(segs.back().second.x - segs.front().first.x), 1);
    EXPECT_LE(std::abs(segs.back().second.y - segs.front().first.y), 1);
    const auto deeper = LsystemProgram::make(doc->axiom(), doc->rules(), 60, 0, 8);
    // Each F becomes 4 F and 4 turns per depth: 4^8 + 4 (4^8 - 1) / 3 characters, three
    // times, and the axiom's 4 turns.
    EXPECT_EQ(deeper.commandCount(), 3 * (65536.0 + 4 * 65535.0 / 3) + 4);
}

TEST(LsystemDrawing, DepthZeroDrawsTheAxiomItself)
{
    const auto p = LsystemProgram::make("F++F++F", {"F=F-F++F-F"}, 60, 0, 0);
    TurtleBox box;
    ASSERT_TRUE(measureLsystem(p, 1, always, box));
    const IntBox ib = truncateBox(box);
    EXPECT_EQ(ib.minX, 0);
    EXPECT_EQ(ib.maxX, 100);
    EXPECT_EQ(ib.minY, 0);
    EXPECT_EQ(ib.maxY, 86);
    const auto segs = segmentsOf(p, 400, 400, true);
    ASSERT_EQ(segs.size(), 3u);
    // (0,0) is 5 % in from the left and from the bottom; (100, 0) 5 % in from the right.
    const double sx = 400 / 110.0, sy = 400 / (1.1 * 86);
    EXPECT_EQ(segs[0].first, (Pixel{static_cast<int>(5 * sx), static_cast<int>((86 + 4.3) * sy)}));
    EXPECT_EQ(segs[0].second.x, static_cast<int>(105 * sx));
}

TEST(LsystemDrawing, OnlyMovesOrNothingDrawsNothing)
{
    for (const char* axiom : {"M+M+M", "", "+-[]XYZ", "F"}) {
        const auto p = LsystemProgram::make(axiom, {"F="}, 60, 0, 2);
        TurtleBox box;
        ASSERT_TRUE(measureLsystem(p, 1, always, box));
        const Placement placement = placeDrawing(truncateBox(box), 200, 100, false);
        EXPECT_TRUE(placement.empty) << axiom;
        int segments = 0;
        drawLsystem(p, 1, placement, always, [&](Pixel, Pixel) { ++segments; });
        EXPECT_EQ(segments, 0) << axiom;
    }
}

TEST(LsystemDrawing, RandomCommandsRepeatExactlyInTheDrawingPass)
{
    // "|" and "*" change lengths and turns at random: if the drawing pass drew other numbers
    // than the measuring pass, the picture would leave its measured box.
    const auto p = LsystemProgram::make("F", {"F=|F[*F]{F*F"}, 25, 90, 4);
    for (std::uint32_t seed : {1u, 7u, 1765000000u}) {
        TurtleBox box;
        ASSERT_TRUE(measureLsystem(p, seed, always, box));
        const Placement pl = placeDrawing(truncateBox(box), 500, 500, true);
        ASSERT_FALSE(pl.empty);
        int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
        // Without M, every segment starts at the origin or at the end of an earlier F.
        drawLsystem(p, seed, pl, always, [&](Pixel a, Pixel b) {
            minX = std::min({minX, a.x, b.x});
            maxX = std::max({maxX, a.x, b.x});
            minY = std::min({minY, a.y, b.y});
            maxY = std::max({maxY, a.y, b.y});
        });
        EXPECT_EQ(minX, pl.pixelOf(box.minX, 0).x) << seed;
        EXPECT_EQ(maxX, pl.pixelOf(box.maxX, 0).x) << seed;
        EXPECT_EQ(minY, pl.pixelOf(0, box.maxY).y) << seed;
        EXPECT_EQ(maxY, pl.pixelOf(0, box.minY).y) << seed;
    }
    // Different seconds, different drawings.
    EXPECT_NE(segmentsOf(p, 300, 300, true, 1000), segmentsOf(p, 300, 300, true, 1001));
}

TEST(LsystemPlacement, SquareStretchAndZeroExtents)
{
    const IntBox box{0, 100, 0, 100};
    // Stretch off, 400 x 200: a 200 x 200 square centred, its margin edge 100/1.1 from the left.
    const Placement off = placeDrawing(box, 400, 200, false);
    EXPECT_NEAR((-5 - off.left) * off.sx, 100 / 1.1, 1e-9);
    EXPECT_NEAR((105 - off.left) * off.sx, 100 / 1.1 + 200, 1e-9);
    EXPECT_NEAR((off.top - 105) * off.sy, 0, 1e-9);
    EXPECT_NEAR((off.top + 5) * off.sy, 200, 1e-9);
    EXPECT_EQ(off.pixelOf(-5.0f, 0).x, 90);
    // Taller than wide: moved down by the same 100/1.1 instead.
    const Placement tall = placeDrawing(box, 200, 400, false);
    EXPECT_NEAR((tall.top - 105) * tall.sy, 100 / 1.1, 1e-9);
    EXPECT_NEAR((-5 - tall.left) * tall.sx, 0, 1e-9);
    // Stretch on: the whole picture, each direction on its own.
    const Placement on = placeDrawing({0, 100, 0, 50}, 400, 200, true);
    EXPECT_NEAR(on.sx, 400 / 110.0, 1e-12);
    EXPECT_NEAR(on.sy, 200 / 55.0, 1e-12);
    // A horizontal line: the zero height counts as 1.
    const Placement flat = placeDrawing({0, 100, 0, 0}, 400, 200, true);
    EXPECT_FALSE(flat.empty);
    EXPECT_EQ(flat.sy, 200.0);
    EXPECT_TRUE(placeDrawing({3, 3, -2, -2}, 400, 200, true).empty);
}

TEST(LsystemPicture, LinesLeaveOutTheirEndAndClipOutside)
{
    std::vector<std::uint32_t> px(10 * 5, 0);
    drawLinePixels(px.data(), 10, 5, 10, {1, 2}, {6, 2}, 7);
    int count = 0;
    for (int x = 0; x < 10; ++x)
        count += px[2 * 10 + x] == 7;
    EXPECT_EQ(count, 5);
    EXPECT_EQ(px[2 * 10 + 6], 0u);
    EXPECT_EQ(px[2 * 10 + 1], 7u);
    // A line far beyond the picture on both ends crosses it and touches every column.
    std::vector<std::uint32_t> big(10 * 5, 0);
    drawLinePixels(big.data(), 10, 5, 10, {-100000000, 3}, {100000000, 3}, 1);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(big[3 * 10 + x], 1u) << x;
    std::vector<std::uint32_t> none(10 * 5, 0);
    drawLinePixels(none.data(), 10, 5, 10, {-50, -50}, {-10, 100}, 1);
    drawLinePixels(none.data(), 10, 5, 10, {4, 4}, {4, 4}, 1);
    for (auto v : none)
        EXPECT_EQ(v, 0u);
}

TEST(LsystemPicture, FileRenderDrawsBlackOnWhiteAndReportsProgress)
{
    const auto p = LsystemProgram::make("F++F++F", {"F=F-F++F-F"}, 60, 0, 8);
    LsystemPicture pic{120, 80, {}};
    std::vector<int> percents;
    ASSERT_TRUE(
        renderLsystemPicture(p, false, 1, pic, always, [&](int v) { percents.push_back(v); }));
    std::size_t black = 0;
    for (auto v : pic.pixels) {
        ASSERT_TRUE(v == 0 || v == 0x00FFFFFFu);
        black += v == 0;
    }
    EXPECT_GT(black, 100u);
    // Stretch off: the 80 x 80 square lies between columns 20 and 100.
    for (int y = 0; y < 80; ++y)
        for (int x : {0, 19, 101, 119})
            EXPECT_EQ(pic.pixels[static_cast<std::size_t>(y) * 120 + x], 0x00FFFFFFu);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_GT(percents.size(), 2u);

    long calls = 0;
    EXPECT_FALSE(renderLsystemPicture(p, false, 1, pic, [&] { return ++calls < 5000; }));
}

TEST(LsystemMemory, DepthDoesNotGrowTheMemory)
{
    // A branching plant whose depth-36 string would hold about 10^25 characters.
    const std::vector<std::string> rules{"F=F[+F]F[-F]F"};
    const auto shallow = LsystemProgram::make("F", rules, 25, 90, 5);
    const auto deep = LsystemProgram::make("F", rules, 25, 90, 36);
    TurtleBox box;
    measureLsystem(shallow, 1, always, box); // warm up the allocator and the tables

    // Runs a measuring pass until it ends or `limit` has passed, and returns how far the
    // resident size grew, read while everything the walk holds is still alive.
    const auto growth = [&](const LsystemProgram& p, std::chrono::milliseconds limit,
                            std::size_t& stack) {
        const long before = residentPages();
        const auto deadline = std::chrono::steady_clock::now() + limit;
        long at = 0, n = 0;
        measureLsystem(
            p, 1,
            [&] {
                if ((++n & 0xFFFF) != 0 || std::chrono::steady_clock::now() < deadline)
                    return true;
                at = residentPages();
                return false;
            },
            box, &stack);
        if (at == 0)
            at = residentPages();
        return at - before;
    };
    std::size_t shallowStack = 0, deepStack = 0;
    const long shallowGrowth = growth(shallow, std::chrono::hours(1), shallowStack);
    // A few seconds of a run that would take billions of years to end.
    const long deepGrowth = growth(deep, std::chrono::seconds(3), deepStack);
    const long page = sysconf(_SC_PAGESIZE);
    EXPECT_LE(deepGrowth, shallowGrowth + (256 << 10) / page);
    EXPECT_LT(deepGrowth * page, 1 << 20);
    // One state copy per open bracket, and every body opens at most one.
    EXPECT_EQ(shallowStack, 5u);
    EXPECT_LE(deepStack, 36u);
}

TEST(LsystemMemory, UnclosedBracketsFromAFileStayBounded)
{
    // Closing brackets without an opening one are ignored; opening ones past the cap count
    // only, so the turtle never jumps to a state it did not save.
    const auto p = LsystemProgram::make("]]F[[[+F", {}, 90, 0, 0);
    const auto segs = segmentsOf(p, 100, 100, true);
    EXPECT_EQ(segs.size(), 2u);
    std::string many(kMaxTurtleStack + 3, '[');
    many += "+F]]]]M";
    const auto q = LsystemProgram::make(many, {}, 90, 0, 0);
    Turtle t(q, 1);
    Recorder rec;
    for (char c : q.axiom)
        t.interpret(c, rec);
    EXPECT_EQ(t.deepestStack(), kMaxTurtleStack);
    EXPECT_EQ(rec.jumps.size(), 1u); // three of the four "]" undo uncounted pushes
    EXPECT_EQ(rec.jumps[0].heading, 0);
    EXPECT_EQ(t.state().heading, 0);
}

TEST(LsystemExamples, EveryExampleLoadsAndDrawsItsRewrittenString)
{
    struct Case {
        const char* file;
        const char* name;
        int depth;
    };
    for (const Case& c : {Case{"koch-snowflake.lsf", "Koch Snowflake", 3},
                          Case{"dragon-curve.lsf", "Dragon Curve", 10},
                          Case{"hilbert-curve.lsf", "Hilbert Curve", 5},
                          Case{"bracketed-plant.lsf", "Bracketed Plant", 5},
                          Case{"random-bush.lsf", "Random Bush", 4}}) {
        std::string bytes;
        ASSERT_TRUE(readWholeFile(std::string(LSYSTEM_EXAMPLES) + "/" + c.file, bytes)) << c.file;
        CLsystemDoc doc;
        doc.loadFromBytes(bytes);
        EXPECT_EQ(doc.name(), c.name);
        EXPECT_EQ(doc.saveToBytes(), bytes) << c.file;
        for (const auto& rule : doc.rules()) {
            EXPECT_EQ(checkReplacement(rule.substr(2)).error, nullptr) << rule;
            EXPECT_EQ(filterLsystemString(rule.substr(2)), rule.substr(2));
        }
        EXPECT_EQ(checkAxiom(doc.axiom()).error, nullptr);
        doc.setRunParameters(c.depth, false);
        const auto p = LsystemProgram::fromDocument(doc);
        const std::string all = naiveRewrite(doc.axiom(), doc.rules(), c.depth);
        const auto segs = segmentsOf(p, 200, 200, false);
        EXPECT_EQ(segs.size(), static_cast<std::size_t>(std::count(all.begin(), all.end(), 'F')))
            << c.file;
        for (const auto& [a, b] : segs) {
            ASSERT_TRUE(a.x >= 0 && a.x <= 200 && a.y >= 0 && a.y <= 200) << c.file;
            ASSERT_TRUE(b.x >= 0 && b.x <= 200 && b.y >= 0 && b.y <= 200) << c.file;
        }
    }
}
