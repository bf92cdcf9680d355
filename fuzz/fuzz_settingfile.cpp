// Setting file reader: the streaming reader, which keeps only a small piece of each field,
// against a whole-field reader that splits the file first and judges every field at once; then
// save -> load: what a load puts in the boxes, saved and loaded again, gives the same numbers.
//
// Input: the first byte chooses the size of the pieces the file is handed out in (as reads
// return them), the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coinsetting/settingfile.h"
#include "fuzzcheck.h"

namespace {

using namespace pellix;

// Splits the whole file into fields as the reader's rules say, holding each field entire.
std::vector<std::string> wholeFields(std::string_view file, bool& fieldPending) {
    std::vector<std::string> fields;
    std::string field;
    bool begun = false;   // spaces count: a field of spaces alone still loads
    bool atStart = true;  // nothing but spaces yet, so a quote opens a quoted part
    bool quoted = false;
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == ',' || c == '\n' || c == '\r') {
            fields.push_back(field);
            field.clear();
            begun = false;
            atStart = true;
            if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n') {
                ++i;
            }
            continue;
        }
        begun = true;
        if (c == '"' && atStart) {
            quoted = true;
            atStart = false;
            continue;
        }
        if (c != ' ') {
            atStart = false;
        }
        field += c;
    }
    fieldPending = begun;
    if (begun) {
        fields.push_back(field);
    }
    return fields;
}

SettingFileContent judgeWhole(std::string_view file) {
    bool pending = false;
    const std::vector<std::string> fields = wholeFields(file, pending);
    SettingFileContent out;
    out.boxes.fill("0");
    for (std::string field : fields) {
        std::erase(field, ' ');
        if (!std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            out.end = LoadEnd::NotDigits;
            return out;
        }
        out.boxes[static_cast<std::size_t>(out.loadedChannels)] =
            field.empty() ? "0" : field.substr(0, kBoxMaxLength);
        if (++out.loadedChannels == kSettingChannels) {
            out.end = LoadEnd::AllChannels;
            return out;
        }
    }
    out.end = LoadEnd::EndOfFile;
    return out;
}

SettingFileContent readInPieces(std::string_view file, std::size_t piece) {
    std::size_t at = 0;
    return readSettingFile([&](std::span<char> buffer) -> std::size_t {
        const std::size_t n = std::min({piece, buffer.size(), file.size() - at});
        std::copy_n(file.data() + at, n, buffer.data());
        at += n;
        return n;
    });
}

void checkSame(const SettingFileContent& a, const SettingFileContent& b) {
    FUZZ_CHECK(a.end == b.end);
    FUZZ_CHECK(a.loadedChannels == b.loadedChannels);
    FUZZ_CHECK(a.boxes == b.boxes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pellix::fuzz::Input input(data, size);
    const std::size_t piece = 1 + input.byte();
    const auto bytes = input.rest();
    const std::string_view file(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    SettingFileReader streamed;
    for (char c : file) {
        if (!streamed.feed(c)) {
            break;
        }
    }
    streamed.finish();
    const SettingFileContent loaded = streamed.content();
    checkSame(loaded, judgeWhole(file));
    checkSame(loaded, readInPieces(file, piece));
    FUZZ_CHECK(loaded.bytesUsed <= file.size());
    for (const std::string& box : loaded.boxes) {
        FUZZ_CHECK(!box.empty() && box.size() <= kBoxMaxLength);
    }

    // Whatever a load left in the boxes survives a save and a load, as its number.
    const std::string saved = settingFileText(loaded.boxes);
    const SettingFileContent again = readInPieces(saved, piece);
    FUZZ_CHECK(again.end == LoadEnd::AllChannels);
    FUZZ_CHECK(again.bytesUsed == saved.size() - 1);  // the last LF is never needed
    for (std::size_t i = 0; i < loaded.boxes.size(); ++i) {
        FUZZ_CHECK(again.boxes[i] == boxNumberText(loaded.boxes[i]));
    }
    return 0;
}
