// Feeds arbitrary bytes to the RTF reader, once whole and once in chunks whose sizes come from
// the input itself, and checks what must hold for any file: both ways read the same document,
// the text is well-formed UTF-8, the document is bounded by the input, and every cap that
// keeps the manual window's layout cheap holds (font sizes, paragraphs, runs, text, words).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/codepage.h"
#include "fuzzcheck.h"
#include "manual/rtfkeywords.h"
#include "manual/rtfreader.h"

namespace {

using namespace pellix;

bool wellFormedUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (lead < 0x80) {
            extra = 0;
        } else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) {
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (extra > 0 && i + extra >= text.size()) {
            return false;  // cut-off sequence
        }
        if (lead == 0xED && static_cast<unsigned char>(text[i + 1]) >= 0xA0) {
            return false;  // a surrogate
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

bool sameDocument(const rtf::Document& a, const rtf::Document& b) {
    if (a.plainText() != b.plainText() || a.paragraphs.size() != b.paragraphs.size() ||
        a.fonts.size() != b.fonts.size() || a.colors.size() != b.colors.size()) {
        return false;
    }
    for (std::size_t p = 0; p < a.paragraphs.size(); ++p) {
        const auto& left = a.paragraphs[p];
        const auto& right = b.paragraphs[p];
        if (!(left.format == right.format) || left.runs.size() != right.runs.size()) {
            return false;
        }
        for (std::size_t r = 0; r < left.runs.size(); ++r) {
            if (!(left.runs[r].style == right.runs[r].style)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const RtfReadResult whole = readRtf(input);

    RtfReader reader;
    std::size_t at = 0;
    std::size_t chunk = 1;
    while (at < input.size()) {
        const std::size_t take = std::min(chunk, input.size() - at);
        reader.feed(input.substr(at, take));
        at += take;
        chunk = 1 + static_cast<std::uint8_t>(input[at - 1]) % 17;
    }
    const RtfError error = reader.finish();
    const rtf::Document pieces = reader.takeDocument();

    FUZZ_CHECK(error == whole.error);
    FUZZ_CHECK(sameDocument(pieces, whole.document));
    const rtf::Document& document = whole.document;
    FUZZ_CHECK(whole.error == RtfError::None || document.paragraphs.empty());
    FUZZ_CHECK(whole.error != RtfError::None || input.substr(0, 5) == "{\\rtf");
    FUZZ_CHECK(wellFormedUtf8(document.plainText()));
    FUZZ_CHECK(document.paragraphs.size() <= RtfReader::kMaxParagraphs);
    FUZZ_CHECK(document.fonts.size() <= RtfReader::kMaxFonts);
    FUZZ_CHECK(document.colors.size() <= RtfReader::kMaxColors);
    for (const rtf::Font& font : document.fonts) {
        FUZZ_CHECK(font.name.size() <= RtfReader::kMaxFontName + 3);
        FUZZ_CHECK(wellFormedUtf8(font.name));
    }
    // Bounded by the input: a paragraph takes at least a two-byte control symbol, a run at
    // least one byte, a character at most four bytes of UTF-8 (plus the breaks put in words).
    FUZZ_CHECK(document.paragraphs.size() <= input.size() / 2 + 1);
    // And bounded for the manual window's layout whatever the input's size.
    std::size_t runs = 0;
    std::size_t textBytes = 0;
    for (const rtf::Paragraph& paragraph : document.paragraphs) {
        FUZZ_CHECK(paragraph.mark.halfPoints > 0 &&
                   paragraph.mark.halfPoints <= rtf::kMaxHalfPoints);
        std::size_t unbroken = 0;
        for (const rtf::Run& run : paragraph.runs) {
            FUZZ_CHECK(!run.text.empty());
            FUZZ_CHECK(run.style.halfPoints > 0 && run.style.halfPoints <= rtf::kMaxHalfPoints);
            ++runs;
            textBytes += run.text.size();
            for (char32_t c : utf8ToCharacters(run.text)) {
                const bool breaks = c == ' ' || c == '\t' || c == '\n' ||
                                    c == RtfReader::kWordBreak || (c >= 0x3400 && c <= 0x9FFF) ||
                                    c >= 0x20000;
                unbroken = breaks ? 0 : unbroken + 1;
                FUZZ_CHECK(unbroken <= RtfReader::kMaxWordLength);
            }
        }
    }
    FUZZ_CHECK(runs <= RtfReader::kMaxRuns && runs <= input.size());
    FUZZ_CHECK(textBytes < RtfReader::kMaxTextBytes + 8);
    FUZZ_CHECK(textBytes <= 5 * input.size());
    return 0;
}
