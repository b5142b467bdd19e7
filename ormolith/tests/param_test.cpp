#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "param.h"

using namespace ormolith;

namespace {

const char* const kThree[] = {"Lamp", "Spot", "Parallel"};
const char* const kLowHigh[] = {"Low", "High"};

ParamNode node(void* value, std::uint16_t kind, ChoiceNames choices = {})
{
    // Constructed rather than assigned: g++ 12 at -O3 warns falsely (-Wrestrict) on assigning
    // a short literal to the name.
    return ParamNode{.name = "x", .choices = choices, .kind = kind, .value = value};
}

} // namespace

TEST(ParamValue, RealsKeepSixSignificantDigits)
{
    double v = 0.1234567;
    EXPECT_EQ(formatValue(node(&v, kKindReal)), "0.123457");
    for (auto [value, text] : {std::pair{2.0, "2"},
                               {-80.0, "-80"},
                               {0.05, "0.05"},
                               {1e-5, "1e-05"},
                               {1234567.0, "1.23457e+06"},
                               {-0.0, "-0"}}) {
        v = value;
        EXPECT_EQ(formatValue(node(&v, kKindReal)), text) << value;
    }
}

TEST(ParamValue, NumbersDoNotFollowTheProcessLocale)
{
    // A desktop session may run with a decimal comma; the files must not.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C.UTF-8");
    double v = 1.5;
    EXPECT_EQ(formatValue(node(&v, kKindReal)), "1.5");
    parseValue(node(&v, kKindReal), "2.25");
    EXPECT_EQ(v, 2.25);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ParamValue, ParsingNumbers)
{
    std::int32_t i = 7;
    const ParamNode in = node(&i, kKindInt);
    EXPECT_TRUE(parseValue(in, "  -12 trailing"));
    EXPECT_EQ(i, -12);
    parseValue(in, "+3");
    EXPECT_EQ(i, 3);
    parseValue(in, "letters");
    EXPECT_EQ(i, 0);
    parseValue(in, "99999999999");
    EXPECT_EQ(i, 2147483647);
    parseValue(in, "-99999999999");
    EXPECT_EQ(i, -2147483647 - 1);
    EXPECT_EQ(formatValue(in), "-2147483648");

    double d = 5;
    const ParamNode dn = node(&d, kKindReal);
    parseValue(dn, " 1e3");
    EXPECT_EQ(d, 1000);
    parseValue(dn, "-.5x");
    EXPECT_EQ(d, -0.5);
    for (const char* bad : {"nan", "inf", "-inf", "1e999", "abc", ""}) {
        d = 5;
        parseValue(dn, bad);
        EXPECT_EQ(d, 0) << bad;
    }

    float f = 1;
    parseValue(node(&f, kKindFloat), "0.25");
    EXPECT_EQ(f, 0.25f);
    parseValue(node(&f, kKindFloat), "1e300"); // beyond a float
    EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(formatValue(node(&f, kKindFloat)), ""); // 32-bit reals are never written
}

TEST(ParamValue, ChoicesAndBooleans)
{
    std::int32_t c = 1;
    const ParamNode cn = node(&c, 3, kThree);
    EXPECT_EQ(formatValue(cn), "Spot");
    c = 5; // modulo the number of names
    EXPECT_EQ(formatValue(cn), "Parallel");
    c = -1; // never an index before the table
    EXPECT_EQ(formatValue(cn), "Parallel");
    parseValue(cn, "Parallel");
    EXPECT_EQ(c, 2);
    parseValue(cn, "parallel"); // case sensitive: no name matches, index 0
    EXPECT_EQ(c, 0);

    // A group carrying a choice formats like the choice.
    std::int32_t kind = 2;
    EXPECT_EQ(formatValue(node(&kind, static_cast<std::uint16_t>(kKindGroup + 3), kThree)),
              "Parallel");

    bool b = true;
    const ParamNode bn = node(&b, kKindBool, kLowHigh);
    EXPECT_EQ(formatValue(bn), "Low");
    parseValue(bn, "High");
    EXPECT_FALSE(b);
    parseValue(bn, "Low");
    EXPECT_TRUE(b);
    parseValue(bn, "low");
    EXPECT_FALSE(b);
}

TEST(ParamValue, TextsAndTextPointers)
{
    std::string s = "old";
    parseValue(node(&s, kKindText), "a \"quoted\" text");
    EXPECT_EQ(s, "a \"quoted\" text");
    EXPECT_EQ(formatValue(node(&s, kKindText)), "a \"quoted\" text");

    const char* p = nullptr;
    EXPECT_EQ(formatValue(node(&p, kKindTextPtr)), "");
    const std::string source = "Camera.X Position";
    parseValue(node(&p, kKindTextPtr), source);
    EXPECT_EQ(p, source.c_str()); // the receiver copies it; nothing is allocated behind its back
    EXPECT_EQ(formatValue(node(&p, kKindTextPtr)), "Camera.X Position");

    EXPECT_FALSE(parseValue(node(nullptr, kKindGroup), "x"));
    EXPECT_EQ(formatValue(node(nullptr, kKindGroup)), "");
}

TEST(ParamArchiveProtocol, CollectorCopiesNodesWithTheirDepth)
{
    ParamCollector collector;
    double a = 1, b = 2;
    std::int32_t kind = 1;
    describeGroup(collector, "Outer", [&] {
        describeParam(collector, "A", &a, kKindReal);
        describeGroup(
            collector, "Inner", [&] { describeParam(collector, "B", &b, kKindReal, {}, "help"); },
            &kind, 3, kThree);
    });
    ASSERT_EQ(collector.nodes.size(), 4u);
    EXPECT_EQ(collector.depth, 0);
    const auto& n = collector.nodes;
    EXPECT_EQ(n[0].name, "Outer");
    EXPECT_EQ(n[0].kind, kKindGroup);
    EXPECT_EQ(n[0].depth, 0);
    EXPECT_EQ(n[1].name, "A");
    EXPECT_EQ(n[1].depth, 1);
    EXPECT_EQ(n[2].kind, 259);
    EXPECT_EQ(n[2].value, &kind);
    EXPECT_EQ(n[3].depth, 2);
    EXPECT_STREQ(n[3].help, "help");

    // Writing through a collected pointer edits the original value.
    parseValue(n[3], "7.5");
    EXPECT_EQ(b, 7.5);

    collector.closeGroup(); // never below zero
    EXPECT_EQ(collector.depth, 0);
}
