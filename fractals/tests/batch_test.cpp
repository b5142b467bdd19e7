// Batch mode: the same document and bitmap code without a window.
#include "batch.h"
#include "doc_types.h"
#include "ifs_doc.h"
#include "julia_doc.h"
#include "lsystem_turtle.h"
#include "mandel_rule.h"
#include "palette.h"
#include "image_magick.h"
#include "save_rules.h"
#include "temp_env.h"

#include <QImage>
#include <algorithm>
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <sstream>

using namespace fractals;

namespace {

struct BatchRun {
    int code;
    std::string out, err;
};

BatchRun run(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = runBatch(args, out, err, false);
    return {code, out.str(), err.str()};
}

// The rule read straight from its description, independent of the program's code.
int straightforward(double cx, double cy)
{
    double x = cx, y = cy;
    int k = 0;
    while (k < 89 && !(x * x + y * y > 1e9)) {
        const double nx = x * x - y * y + cx;
        y = 2 * x * y + cy;
        x = nx;
        ++k;
    }
    return k;
}

} // namespace

TEST(Batch, DefaultMandelbrotMatchesTheRulePixelForPixel)
{
    suite::test::TempDir dir;
    const std::string out = (dir / "m.bmp").string();
    const BatchRun r = run({"--render", out, "--size", "320x200", "--new", "mandel"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string bytes = suite::test::readFileBytes(out);
    ASSERT_EQ(bytes.size(), 1078u + 320 * 200);
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8),
              1078);
    const double sx = (0.7 - -2.1) / 320, sy = (1.2 - -1.2) / 200;
    int mismatches = 0;
    for (int row = 0; row < 200; ++row) {
        const int j = 199 - row; // bitmap rows run bottom-up
        for (int i = 0; i < 320; ++i)
            mismatches +=
                static_cast<unsigned char>(bytes[1078 + static_cast<std::size_t>(row) * 320 + i]) !=
                straightforward(-2.1 + i * sx, 1.2 - j * sy);
    }
    EXPECT_EQ(mismatches, 0);
    QImage img(QString::fromStdString(out));
    ASSERT_EQ(img.size(), QSize(320, 200));
    EXPECT_EQ(img.pixel(250, 100), qRgb(0, 0, 0)); // inside the set: entry 89
}

TEST(Batch, SaveAndRenderFromAFile)
{
    suite::test::TempDir dir;
    const std::string mnd = (dir / "d.mnd").string();
    ASSERT_EQ(run({"--save", mnd, "--new", "mandel"}).code, 0);
    EXPECT_EQ(suite::test::readFileBytes(mnd), CMandelDoc().saveToBytes());
    const std::string bmp = (dir / "d.bmp").string();
    EXPECT_EQ(run({"--render", bmp, "--size", "8x4", mnd}).code, 0);
    EXPECT_EQ(std::filesystem::file_size(bmp), 1078u + 8 * 4);
    EXPECT_EQ(run({"--html", (dir / "d.html").string(), mnd}).code, 0);
    EXPECT_NE(
        suite::test::readFileBytes(dir / "d.html").find("<param name=\"c_im\" value=\"0.000000\">"),
        std::string::npos);
}

TEST(Batch, RefusedFilesWriteNothing)
{
    suite::test::TempDir dir;
    suite::test::writeFileBytes(dir / "renamed.jls", CMandelDoc().saveToBytes());
    const std::string out = (dir / "x.bmp").string();
    const BatchRun r = run({"--render", out, (dir / "renamed.jls").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad index"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
    const BatchRun missing = run({"--save", (dir / "y.mnd").string(), (dir / "none.mnd").string()});
    EXPECT_EQ(missing.code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "y.mnd"));
}

TEST(Batch, BadArgumentsExitTwoWithUsage)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--render"},
          {"--render", "a.bmp"},
          {"--render", "a.bmp", "--new", "nope"},
          {"--render", "a.bmp", "--size", "0x5", "--new", "mandel"},
          {"--frobnicate"},
          {"--save", "a.jls", "--new", "mandel"},
          {"--render", "a.bmp", "--save", "b.mnd", "--new", "mandel"}}) {
        const BatchRun r = run(args);
        EXPECT_EQ(r.code, 2) << args[0];
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(run({"--help"}).code, 0);
    EXPECT_NE(run({"--version"}).out.find("fractals"), std::string::npos);
    EXPECT_FALSE(isBatchCommandLine({"file.mnd", "--no-splash"}));
}

// The help and the parser are made from the shared table and the kinds' own options; this fails
// when an entry has no parser branch, takes its value differently from what its line says, or
// the help leaves it out.
TEST(Batch, HelpGivesEveryOptionOneLineAndTheParserTakesEachOfThem)
{
    const BatchRun help = run({"--help"});
    ASSERT_EQ(help.code, 0);
    std::vector<std::string> lines;
    std::istringstream in(help.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const auto linesStarting = [&](const std::string& head) {
        int found = 0;
        for (const std::string& line : lines)
            found += line.starts_with("  " + head + "  ");
        return found;
    };
    // --version ends the parse with 0, so every option before it must have been taken.
    const std::map<std::string, std::string> accepted = {
        {"--render", "a.bmp"}, {"--save", "a.mnd"}, {"--html", "a.html"},  {"--new", "mandel"},
        {"--size", "8x8"},     {"--threads", "2"},  {"--palette", "a.pal"}};
    for (const CommandOption& option : commandOptions()) {
        const std::string name(option.name);
        const std::string head = (option.alias.empty() ? "" : std::string(option.alias) + ", ") +
                                 name +
                                 (option.value.empty() ? "" : " " + std::string(option.value));
        EXPECT_EQ(linesStarting(head), 1) << name;
        if (name == "--")
            continue;
        std::vector<std::string> spellings{name};
        if (!option.alias.empty())
            spellings.emplace_back(option.alias);
        for (const std::string& spelled : spellings) {
            EXPECT_EQ(findOption(spelled), &option);
            EXPECT_TRUE(isBatchCommandLine({spelled})) << spelled;
            std::vector<std::string> args{spelled};
            if (!option.value.empty()) {
                ASSERT_TRUE(accepted.count(name)) << name << " takes a value the test lacks";
                args.push_back(accepted.at(name));
            }
            args.push_back("--version");
            const BatchRun r = run(args);
            EXPECT_EQ(r.code, 0) << spelled << ": " << r.err;
        }
    }
    // The kinds' own options: one line each, however many kinds share it, and taken.
    int kindOptions = 0;
    for (const DocType& type : docTypes())
        for (const BatchOption& option : type.batchOptions) {
            ++kindOptions;
            const std::string head =
                option.name + (option.valueName.empty() ? "" : " " + option.valueName);
            EXPECT_EQ(linesStarting(head), 1) << head;
            EXPECT_TRUE(isBatchCommandLine({option.name})) << option.name;
            std::vector<std::string> args{option.name};
            if (!option.valueName.empty())
                args.push_back("1");
            args.push_back("--version");
            EXPECT_EQ(run(args).code, 0) << option.name;
        }
    EXPECT_GE(kindOptions, 4);
    EXPECT_EQ(linesStarting("--seed S"), 1);
    const BatchRun unknown = run({"--sizes", "8x8", "--version"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.err.rfind("fractals: unknown option --sizes\nusage:", 0), 0u);

    // Every example is a command line the parser takes.
    const auto examples = std::find(lines.begin(), lines.end(), std::string("Examples:"));
    ASSERT_NE(examples, lines.end());
    int count = 0;
    for (auto line = examples + 1; line != lines.end() && line->starts_with("  fractals ");
         ++line, ++count) {
        std::vector<std::string> args;
        std::istringstream words(line->substr(11, line->find("  ", 2) - 11));
        for (std::string word; words >> word;)
            args.push_back(word);
        args.push_back("--version");
        EXPECT_EQ(run(args).code, 0) << *line;
    }
    EXPECT_GE(count, 1);
}

// Ormolith keeps its documents in text .ifs files; ours are binary.
TEST(Batch, AnOrmolithDocumentIsNamedWithTheProgramThatOpensIt)
{
    suite::test::TempDir dir;
    const std::string orbit = ORMOLITH_IFS_EXAMPLE;
    const std::string named = "Failed to open document \"" + orbit +
                              "\".\nThis is a document of Ormolith, not of fractals: open it "
                              "with Ormolith.\n";
    for (const std::string action : {"--render", "--save", "--html"}) {
        const auto out = dir / ("o" + std::string(action == "--render" ? ".bmp" : ".ifs"));
        const BatchRun r = run({action, out.string(), orbit});
        EXPECT_EQ(r.code, 1) << action;
        EXPECT_EQ(r.err, named) << action;
        EXPECT_FALSE(std::filesystem::exists(out)) << action;
    }
    // Saved with CR LF it is still Ormolith's; other text keeps the archive's reason.
    const auto crlf = dir / "crlf.ifs";
    suite::test::writeFileBytes(crlf, "<?xml version=\"1.0\"?>\r\n<document>\r\n</document>\r\n");
    EXPECT_NE(
        run({"--save", (dir / "c.ifs").string(), crlf.string()}).err.find("open it with Ormolith"),
        std::string::npos);
    const auto other = dir / "other.ifs";
    suite::test::writeFileBytes(other, "<?xml version=\"1.0\"?>\n<svg>\n</svg>\n");
    const BatchRun r = run({"--save", (dir / "d.ifs").string(), other.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.find("Ormolith"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Unexpected file format"), std::string::npos) << r.err;
}

TEST(Batch, OnlyBatchOptionsSelectBatchModeAndDoubleDashEndsOptions)
{
    EXPECT_FALSE(isBatchCommandLine({"-platform", "offscreen", "file.mnd"}));
    EXPECT_FALSE(isBatchCommandLine({"-style", "fusion"}));
    EXPECT_FALSE(isBatchCommandLine({"-x.mnd"}));
    EXPECT_FALSE(isBatchCommandLine({"--", "--render", "a.bmp"}));
    EXPECT_TRUE(isBatchCommandLine({"file.mnd", "--render", "a.bmp"}));

    // A document named "-x.mnd" is read after "--"; before it, it is an unknown option.
    suite::test::TempDir dir;
    ASSERT_EQ(run({"--save", (dir / "a.mnd").string(), "--new", "mandel"}).code, 0);
    std::filesystem::rename(dir / "a.mnd", dir / "-x.mnd");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const BatchRun copied = run({"--save", "b.mnd", "--", "-x.mnd"});
    const BatchRun refused = run({"--save", "c.mnd", "-x.mnd"});
    std::filesystem::current_path(here);
    EXPECT_EQ(copied.code, 0) << copied.err;
    EXPECT_EQ(suite::test::readFileBytes(dir / "b.mnd"),
              suite::test::readFileBytes(dir / "-x.mnd"));
    EXPECT_EQ(refused.code, 2);
}

TEST(Batch, EveryEscapeTimeTypeRendersAndSaves)
{
    suite::test::TempDir dir;
    for (const std::string type : {"mandel", "julia", "juliacos", "henon"}) {
        const std::string ext = type == "mandel"     ? ".mnd"
                                : type == "julia"    ? ".jls"
                                : type == "juliacos" ? ".cjs"
                                                     : ".hmf";
        const std::string saved = (dir / (type + ext)).string();
        ASSERT_EQ(run({"--save", saved, "--new", type}).code, 0) << type;
        const std::string bmp = (dir / (type + ".bmp")).string();
        const BatchRun r = run({"--render", bmp, "--size", "24x16", saved});
        EXPECT_EQ(r.code, 0) << type << ": " << r.err;
        EXPECT_EQ(std::filesystem::file_size(bmp), 1078u + 24 * 16) << type;
    }
}

TEST(Batch, IfsTakesItsOwnOptionsAndOthersRefuseThem)
{
    suite::test::TempDir dir;
    // A new IFS document has no frame: the window's message, and no file.
    const std::string empty = (dir / "e.bmp").string();
    const BatchRun none = run({"--render", empty, "--new", "ifs", "--points", "10"});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, "You much at least one frame to run this fractal. However, you will need "
                        "at least two frames for an interesting fractal.\n");
    EXPECT_FALSE(std::filesystem::exists(empty));

    CIfsDoc doc;
    doc.AddFrame(CIfsFrame{});
    CIfsFrame second;
    second.vertex = {0, 0};
    second.side1 = {6000, 1000};
    doc.AddFrame(second);
    const std::string file = (dir / "two.ifs").string();
    suite::test::writeFileBytes(file, doc.saveToBytes());
    const auto renderTo = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--render", (dir / name).string(), "--size", "40x30"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(file);
        const BatchRun r = run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return suite::test::readFileBytes(dir / name);
    };
    // Few points, so that where they land depends on the seed.
    const std::string a = renderTo("a.bmp", {"--points", "40", "--seed", "5"});
    const std::string b = renderTo("b.bmp", {"--seed", "5", "--points", "40"});
    const std::string c = renderTo("c.bmp", {"--points", "40", "--seed", "6"});
    EXPECT_EQ(a.size(), 14u + 52 + 40 * 30 * 4);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);

    EXPECT_EQ(run({"--render", (dir / "m.bmp").string(), "--new", "mandel", "--points", "5"}).code,
              2);
    EXPECT_EQ(run({"--render", (dir / "x.bmp").string(), "--points", "0", file}).code, 2);
    EXPECT_EQ(run({"--render", (dir / "x.bmp").string(), "--seed", "-1", file}).code, 2);
    EXPECT_EQ(run({"--render", (dir / "x.bmp").string(), "--points", file}).code, 2);
    // The L-System type takes none of them.
    EXPECT_EQ(run({"--render", (dir / "l.bmp").string(), "--new", "lsystem", "--points", "5"}).code,
              2);
}

TEST(Batch, PaletteFileColoursTheBitmap)
{
    suite::test::TempDir dir;
    PaletteColors colors{};
    for (int k = 0; k < kPaletteSize; ++k)
        colors[k] = RGB(k, 0, 255 - k);
    suite::test::writeFileBytes(dir / "p.pal", writePaletteBytes(colors));
    const std::string out = (dir / "m.bmp").string();
    ASSERT_EQ(run({"--render", out, "--size", "4x4", "--palette", (dir / "p.pal").string(), "--new",
                   "mandel"})
                  .code,
              0);
    const std::string bytes = suite::test::readFileBytes(out);
    // Entry 5 of the colour table: blue, green, red, 0.
    EXPECT_EQ(bytes.substr(54 + 4 * 5, 4), std::string("\xFA\x00\x05\x00", 4));

    std::string foreign = writePaletteBytes(colors);
    foreign[1] = 'Z';
    suite::test::writeFileBytes(dir / "f.pal", foreign);
    const BatchRun bad = run({"--render", (dir / "n.bmp").string(), "--palette",
                              (dir / "f.pal").string(), "--new", "mandel"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("Kaleidra was unable to load the palette from the specified file."),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "n.bmp"));
}

// ImageMagick reads the PNG of an escape-time picture as the indexed picture it is: the size
// asked, palette type, and a colour map equal to the BMP's colour table, entry for entry. The
// L-System picture (24-bit) comes out as an RGB PNG.
TEST(Batch, PngPicturesOpenInImageMagickWithTheBitmapsColours)
{
    if (!suite::test::haveIdentify())
        GTEST_SKIP() << "ImageMagick's identify is not installed (scripts/install-deps adds it)";
    suite::test::TempDir dir;
    PaletteColors colors{};
    for (int k = 0; k < kPaletteSize; ++k)
        colors[k] = RGB(k * 2, 255 - k, (k * 37) % 256); // 90 different colours
    suite::test::writeFileBytes(dir / "p.pal", writePaletteBytes(colors));
    const std::string bmp = (dir / "m.bmp").string(), png = (dir / "m.png").string();
    for (const std::string& out : {bmp, png})
        ASSERT_EQ(run({"--render", out, "--size", "64x40", "--palette", (dir / "p.pal").string(),
                       "--new", "mandel"})
                      .code,
                  0)
            << out;

    const auto facts = suite::test::identify(
        "%m %w %h %[type] %[png:IHDR.color-type-orig] %[png:PLTE.number_colors]", png);
    ASSERT_TRUE(facts.has_value()) << "identify cannot read " << png;
    EXPECT_EQ(*facts, "PNG 64 40 Palette 3 256");

    // The colour map as identify lists it: "   5: (10,250,185) #0AFAB9 srgb(...)".
    const auto verbose = suite::test::identify("", png, true);
    ASSERT_TRUE(verbose.has_value());
    const std::string bytes = suite::test::readFileBytes(bmp);
    std::istringstream lines(verbose->substr(verbose->find("Colormap:")));
    std::string line;
    std::getline(lines, line);
    int entries = 0;
    for (int k, r, g, b; std::getline(lines, line) &&
                         std::sscanf(line.c_str(), " %d: (%d,%d,%d)", &k, &r, &g, &b) == 4;
         ++entries) {
        ASSERT_EQ(k, entries);
        // The bitmap's table entry k: blue, green, red, 0.
        const auto table = [&](int c) {
            return static_cast<int>(static_cast<unsigned char>(bytes[54 + 4 * k + c]));
        };
        EXPECT_EQ(r, table(2)) << "entry " << k;
        EXPECT_EQ(g, table(1)) << "entry " << k;
        EXPECT_EQ(b, table(0)) << "entry " << k;
    }
    EXPECT_EQ(entries, 256);
    // And the same indices, pixel for pixel.
    const QImage fromBmp(QString::fromStdString(bmp)), fromPng(QString::fromStdString(png));
    ASSERT_EQ(fromPng.format(), QImage::Format_Indexed8);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(fromPng.pixelIndex(x, y), fromBmp.pixelIndex(x, y)) << x << "," << y;

    const std::string lsystemPng = (dir / "dragon.PNG").string();
    ASSERT_EQ(
        run({"--render", lsystemPng, "--size", "50x30", LSYSTEM_EXAMPLES "/dragon-curve.lsf"}).code,
        0);
    EXPECT_EQ(suite::test::identify("%m %w %h %[png:IHDR.color-type-orig]", lsystemPng),
              "PNG 50 30 2");
    // A name without ".png" still gets the bitmap, byte for byte as before.
    EXPECT_EQ(suite::test::readFileBytes(bmp).substr(0, 2), "BM");
}

TEST(Batch, LsystemDocumentsHaveNoWebPage)
{
    suite::test::TempDir dir;
    const std::string saved = (dir / "snow.lsf").string();
    ASSERT_EQ(run({"--save", saved, "--new", "lsystem"}).code, 0);
    for (const std::vector<std::string>& input :
         {std::vector<std::string>{"--new", "lsystem"}, std::vector<std::string>{saved}}) {
        std::vector<std::string> args{"--html", (dir / "page.html").string()};
        args.insert(args.end(), input.begin(), input.end());
        const BatchRun r = run(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "We're sorry, but currently there is no Java applet available for "
                         "generating the L-System fractal.\n");
        EXPECT_FALSE(std::filesystem::exists(dir / "page.html"));
    }
}

TEST(Batch, LsystemRendersWithItsOwnOptions)
{
    suite::test::TempDir dir;
    const std::string koch = (dir / "koch.bmp").string();
    const BatchRun r = run({"--render", koch, "--size", "90x60", "--iterations", "2", "--seed",
                            "7", "--new", "lsystem"});
    ASSERT_EQ(r.code, 0) << r.err;
    const QImage picture(QString::fromStdString(koch));
    ASSERT_EQ(picture.size(), QSize(90, 60));
    EXPECT_EQ(picture.depth(), 32); // read from a 24-bit file
    const std::string bytes = suite::test::readFileBytes(koch);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);
    // The same picture as the turtle draws it at depth 2, stretch off.
    LsystemPicture expected{90, 60, {}};
    ASSERT_TRUE(renderLsystemPicture(
        LsystemProgram::make("F++F++F", {"F=F-F++F-F"}, 60, 0, 2), false, 7, expected,
        [] { return true; }));
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x)
            ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFF,
                      expected.pixels[static_cast<std::size_t>(y * 90 + x)])
                << x << "," << y;

    // Stretch fills the width as well; the random bush repeats with its seed.
    const std::string stretched = (dir / "stretched.bmp").string();
    ASSERT_EQ(run({"--render", stretched, "--size", "90x60", "--stretch", "--new", "lsystem"}).code,
              0);
    EXPECT_NE(QImage(QString::fromStdString(stretched)), picture);
    const std::string bush = std::string(LSYSTEM_EXAMPLES) + "/random-bush.lsf";
    const auto bushPicture = [&](const std::string& seed, const std::string& name) {
        const std::string out = (dir / name).string();
        EXPECT_EQ(run({"--render", out, "--size", "64x64", "--seed", seed, bush}).code, 0);
        return suite::test::readFileBytes(out);
    };
    EXPECT_EQ(bushPicture("11", "a.bmp"), bushPicture("11", "b.bmp"));
    EXPECT_NE(bushPicture("11", "c.bmp"), bushPicture("12", "d.bmp"));

    // Values out of range are usage errors, and the options belong to L-Systems only.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--iterations", "37"}, {"--iterations", "-1"},
          {"--iterations", "x"}, {"--seed", "4294967296"}}) {
        std::vector<std::string> args{"--render", (dir / "bad.bmp").string()};
        args.insert(args.end(), bad.begin(), bad.end());
        args.insert(args.end(), {"--new", "lsystem"});
        EXPECT_EQ(run(args).code, 2) << bad[0] << " " << bad[1];
    }
    EXPECT_EQ(run({"--render", (dir / "m.bmp").string(), "--stretch", "--new", "mandel"}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.bmp"));
}

TEST(Batch, ARenderOverAReadOnlyFileFailsAndKeepsIt)
{
    SUITE_EXPECT_AS_ORDINARY_USER([] {
        suite::test::ScratchFolder folder;
        const auto bmp = folder.path() / "kept.bmp";
        const auto page = folder.path() / "kept.html";
        suite::test::putFile(bmp, "old", 0444);
        suite::test::putFile(page, "old", 0444);
        std::string failures;
        if (run({"--render", bmp.string(), "--size", "8x8", "--new", "mandel"}).code != 1)
            failures += "rendering over a read-only bitmap did not fail\n";
        if (run({"--html", page.string(), "--new", "mandel"}).code != 1)
            failures += "writing over a read-only web page did not fail\n";
        if (suite::test::fileText(bmp) != "old" || suite::test::fileText(page) != "old")
            failures += "a read-only file changed\n";
        return failures;
    });
}
