// Runs every fuzz entry over its seed corpus (tests/data/fuzz/<entry>/) and
// over a fixed number of deterministic mutations of those seeds, so that the
// entries run in every test run without libFuzzer.
#include <dirent.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#define TELLMAR_FUZZ_ENTRY(name) extern "C" int name##_entry(const std::uint8_t*, std::size_t);
#include "fuzz_entries.inc"
#undef TELLMAR_FUZZ_ENTRY

namespace {

using EntryFn = int (*)(const std::uint8_t*, std::size_t);

struct Entry {
    const char* name;
    EntryFn fn;
};

#define TELLMAR_FUZZ_ENTRY(name) {#name, name##_entry},
const Entry kEntries[] = {
#include "fuzz_entries.inc"
};
#undef TELLMAR_FUZZ_ENTRY

const int kMutationsPerEntry = 10000;

// xorshift32: the same inputs on every run and every machine.
class Random {
public:
    std::uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }

private:
    std::uint32_t m_state = 0x9E3779B9u;
};

std::vector<std::string> LoadCorpus(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return {};
    }
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        names.push_back(name);
    }
    closedir(d);
    // Directory order differs between file systems; the mutations must not.
    std::sort(names.begin(), names.end());
    std::vector<std::string> files;
    for (const std::string& name : names) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files.push_back(content.str());
    }
    return files;
}

// Edits in the spirit of libFuzzer's: byte changes biased to hex digits and
// length octets, insertions, deletions, duplications, cuts and splices.
std::string Mutate(std::string s, const std::vector<std::string>& corpus, Random& rng)
{
    static const char kAlphabet[] = "0123456789ABCDEFabcdefFF0005030000\r\n\x1A";
    const int edits = 1 + static_cast<int>(rng.Below(4));
    for (int i = 0; i < edits; ++i) {
        switch (rng.Below(7)) {
        case 0:
            if (!s.empty()) {
                s[rng.Below(s.size())] = kAlphabet[rng.Below(sizeof kAlphabet - 1)];
            }
            break;
        case 1:
            if (!s.empty()) {
                s[rng.Below(s.size())] = static_cast<char>(rng.Next());
            }
            break;
        case 2:
            s.insert(rng.Below(s.size() + 1), 1 + rng.Below(8),
                     kAlphabet[rng.Below(sizeof kAlphabet - 1)]);
            break;
        case 3:
            if (!s.empty()) {
                const std::size_t at = rng.Below(s.size());
                s.erase(at, 1 + rng.Below(16));
            }
            break;
        case 4:
            if (!s.empty()) {
                const std::size_t at = rng.Below(s.size());
                s.insert(at, s.substr(at, 1 + rng.Below(64)));
            }
            break;
        case 5:
            s.resize(rng.Below(s.size() + 1));
            break;
        default: {
            const std::string& other = corpus[rng.Below(corpus.size())];
            s = s.substr(0, rng.Below(s.size() + 1)) + other.substr(rng.Below(other.size() + 1));
            break;
        }
        }
    }
    return s;
}

void Run(EntryFn fn, const std::string& input)
{
    fn(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_ROOT\n", argv[0]);
        return 2;
    }
    // What the entries print (the probe's notes) is not looked at; the
    // summary goes to stderr.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 2;
    }
    Random rng;
    for (const Entry& entry : kEntries) {
        const std::vector<std::string> corpus = LoadCorpus(std::string(argv[1]) + "/" + entry.name);
        if (corpus.empty()) {
            std::fprintf(stderr, "%s: no seed files in %s/%s\n", entry.name, argv[1], entry.name);
            return 1;
        }
        for (const std::string& seed : corpus) {
            Run(entry.fn, seed);
        }
        for (int i = 0; i < kMutationsPerEntry; ++i) {
            Run(entry.fn, Mutate(corpus[rng.Below(corpus.size())], corpus, rng));
        }
        std::fprintf(stderr, "%s: %zu seeds, %d mutations\n", entry.name, corpus.size(),
                     kMutationsPerEntry);
    }
    return 0;
}
