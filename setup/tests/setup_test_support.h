#pragma once
// Helpers shared by setup's tests: scripted message boxes, files with chosen times, and a
// minimal Windows executable carrying a version resource.
#include "bootstrapper.h"
#include "scripted_answers.h"
#include "temp_env.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace setup::test {

namespace fs = std::filesystem;

struct ScriptedBoxes : MessageBoxes {
    // Boxes beyond the script get Cancel, which ends every retry loop.
    suite::test::ScriptedAnswers<Answer> script{Answer::Cancel};
    std::vector<Buttons> buttons;
    std::vector<Answer> defaults;
    // Runs while a box is "open", as a user would fix things before pressing Retry.
    std::function<void(std::size_t boxIndex)> whileShown;

    Answer show(const std::string& text, const std::string& title, Buttons b,
                Answer defaultAnswer) override
    {
        buttons.push_back(b);
        defaults.push_back(defaultAnswer);
        if (whileShown)
            whileShown(buttons.size() - 1);
        return script.show(text, title);
    }

    // What a box that waits for a person would do now and then.
    void workWhileOpen()
    {
        if (whileOpen_)
            whileOpen_();
    }
};

struct RecordingWindow : WaitWindow {
    int shown = 0;
    int destroyed = 0;
    void show() override { ++shown; }
    void destroy() override { ++destroyed; }
};

inline void writeText(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    suite::test::writeFileBytes(file, text);
}

// Moves a file's modification time by `offset` from now, so "older" and "newer" do not depend
// on how fast the test runs.
inline void setAge(const fs::path& file, std::chrono::seconds offset)
{
    fs::last_write_time(file, fs::file_time_type::clock::now() + offset);
}

// Files in `dir` whose names start with the temporary-copy prefix.
inline std::vector<std::string> temporaryCopies(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("VER", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

// Programs are started without waiting; a file they write shows up a moment later.
inline bool waitForFile(const fs::path& file, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (fs::exists(file, error) && fs::file_size(file, error) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A 32-bit PE image with one ".rsrc" section holding RT_VERSION / 1 / 0x409 -> VS_VERSIONINFO
// whose fixed file version is a.b.c.d.
inline std::string makePeWithVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                     std::uint16_t d)
{
    std::string image(0x200 + 0xB4, '\0');
    const auto put16 = [&](std::size_t at, std::uint32_t v) {
        image[at] = static_cast<char>(v & 0xff);
        image[at + 1] = static_cast<char>((v >> 8) & 0xff);
    };
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xffff);
        put16(at + 2, v >> 16);
    };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    const std::size_t coff = 0x44;
    put16(coff, 0x14c);    // i386
    put16(coff + 2, 1);    // one section
    put16(coff + 16, 224); // optional header size of PE32
    put16(coff + 18, 0x102);
    const std::size_t optional = coff + 20;
    put16(optional, 0x10b);
    put32(optional + 92, 16);          // data directories
    put32(optional + 96 + 16, 0x1000); // resource tree address
    put32(optional + 96 + 20, 0xB4);   // and size
    const std::size_t section = optional + 224;
    image.replace(section, 5, ".rsrc");
    put32(section + 8, 0xB4);
    put32(section + 12, 0x1000);
    put32(section + 16, 0xB4);
    put32(section + 20, 0x200);
    const std::size_t tree = 0x200;
    put16(tree + 14, 1);
    put32(tree + 16, 16);
    put32(tree + 20, 0x80000000u | 0x18);
    put16(tree + 0x18 + 14, 1);
    put32(tree + 0x18 + 16, 1);
    put32(tree + 0x18 + 20, 0x80000000u | 0x30);
    put16(tree + 0x30 + 14, 1);
    put32(tree + 0x30 + 16, 0x409);
    put32(tree + 0x30 + 20, 0x48);
    put32(tree + 0x48, 0x1000 + 0x58);
    put32(tree + 0x48 + 4, 92);
    const std::size_t info = tree + 0x58;
    put16(info, 92);
    put16(info + 2, 52);
    const std::string key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i)
        put16(info + 6 + 2 * i, static_cast<unsigned char>(key[i]));
    put32(info + 40, 0xFEEF04BD);
    put32(info + 44, 0x10000);
    put32(info + 48, (std::uint32_t{a} << 16) | b);
    put32(info + 52, (std::uint32_t{c} << 16) | d);
    return image;
}

} // namespace setup::test
