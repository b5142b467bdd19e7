// Stand-alone driver for a libFuzzer-style LLVMFuzzerTestOneInput, so every reader is fuzzed
// in the ordinary sanitizer test run without clang's libFuzzer. It feeds each seed file (or
// every file of a seed directory) as is, truncated at several points, and then a fixed number
// of mutations drawn from a seeded generator: runs are repeatable, so a failure can be replayed.
//
//   driver [--mutations N] SEED...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::string> collectSeeds(const std::vector<std::string>& args)
{
    std::vector<std::string> seeds;
    for (const auto& arg : args) {
        std::filesystem::path p(arg);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(p);
        }
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "fuzz driver: cannot read seed %s\n", f.c_str());
                std::exit(2);
            }
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return seeds;
}

void run(const std::string& input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

std::string mutate(const std::string& seed, std::mt19937& rng)
{
    std::string s = seed;
    const int edits = 1 + static_cast<int>(rng() % 8);
    static const char* tokens[] = {"0", "-1", "1e308", "nan", "inf", "99999999999", " ", "\n",
                                   "\t", "\"", "<", ">", "/", "=", ",", ";", "\0", "\xff"};
    for (int e = 0; e < edits; ++e) {
        const std::size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (rng() % 6) {
        case 0: // flip a byte
            if (!s.empty())
                s[pos % s.size()] = static_cast<char>(rng());
            break;
        case 1: // insert a random byte
            s.insert(s.begin() + static_cast<std::ptrdiff_t>(pos), static_cast<char>(rng()));
            break;
        case 2: // delete a span
            if (!s.empty())
                s.erase(pos % s.size(), 1 + rng() % 16);
            break;
        case 3: // insert an interesting token
        {
            const char* t = tokens[rng() % std::size(tokens)];
            s.insert(pos, t, std::max<std::size_t>(1, std::char_traits<char>::length(t)));
            break;
        }
        case 4: // duplicate a span
            if (!s.empty()) {
                const std::size_t from = rng() % s.size();
                s.insert(pos, s.substr(from, 1 + rng() % 64));
            }
            break;
        default: // truncate
            s.resize(pos);
            break;
        }
    }
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    long mutations = 1000;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--mutations" && i + 1 < argc)
            mutations = std::strtol(argv[++i], nullptr, 10);
        else
            args.push_back(a);
    }
    const auto seeds = collectSeeds(args);
    run(std::string());
    for (const auto& seed : seeds) {
        run(seed);
        for (std::size_t cut = 0; cut < seed.size(); cut += 1 + seed.size() / 16)
            run(seed.substr(0, cut));
    }
    std::mt19937 rng(20261208u);
    if (!seeds.empty()) {
        for (long i = 0; i < mutations; ++i)
            run(mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], rng));
    }
    std::printf("fuzz driver: %zu seeds, %ld mutations, no crash\n", seeds.size(), mutations);
    return 0;
}
