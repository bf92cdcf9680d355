// Reads 50 MB setting files from disk and reports how long it took, how far the reader had to
// look and how much the process grew meanwhile. A technician may pick any file in the load
// dialog, so a huge one must neither hang the window nor eat memory.
// Fails (exit 1) when a read grows the process by more than kMaxGrowthKb or gets a wrong result.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "coinsetting/settingfile.h"

namespace {

constexpr std::uint64_t kFileSize = 50ull * 1024 * 1024;
constexpr long kMaxGrowthKb = 1024;

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes `size` bytes of `pattern` repeated, a block at a time so the writer stays small too.
bool writeFile(const std::filesystem::path& path, const std::string& pattern, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block;
    while (block.size() < 64 * 1024) {
        block += pattern;
    }
    block.resize(64 * 1024 - (64 * 1024) % pattern.size());
    std::uint64_t written = 0;
    while (written < size && out) {
        const std::uint64_t n = std::min<std::uint64_t>(block.size(), size - written);
        out.write(block.data(), static_cast<std::streamsize>(n));
        written += n;
    }
    return static_cast<bool>(out);
}

struct Case {
    const char* name;
    std::string pattern;
    std::string firstBox;
    pellix::LoadEnd end;
};

}  // namespace

int main() {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "pellix_bench_settingfile.txt";
    const Case cases[] = {
        {"one 50 MB field of digits", "1234567890", "12345", pellix::LoadEnd::EndOfFile},
        {"one 50 MB line of comma fields", "7,", "7", pellix::LoadEnd::AllChannels},
        {"50 MB of NUL bytes", std::string(1, '\0'), "0", pellix::LoadEnd::NotDigits},
        {"50 MB of letters", "abc", "0", pellix::LoadEnd::NotDigits},
    };
    bool ok = true;
    std::printf("%-34s %10s %14s %10s\n", "case", "ms", "bytes used", "grew KB");
    for (const Case& c : cases) {
        if (!writeFile(path, c.pattern, kFileSize)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        const long before = peakKb();
        const auto start = std::chrono::steady_clock::now();
        std::ifstream in(path, std::ios::binary);
        const pellix::SettingFileContent content = pellix::readSettingFile(in);
        const auto ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const long grew = peakKb() - before;
        const bool right = content.boxes[0] == c.firstBox && content.end == c.end;
        std::printf("%-34s %10.1f %14llu %10ld%s\n", c.name, ms,
                    static_cast<unsigned long long>(content.bytesUsed), grew,
                    right ? "" : "  WRONG RESULT");
        ok = ok && right && grew <= kMaxGrowthKb;
    }
    std::filesystem::remove(path);
    if (!ok) {
        std::printf("FAILED: wrong result or more than %ld KB of growth\n", kMaxGrowthKb);
    }
    return ok ? 0 : 1;
}
