// Setting file reading. The stream is a sequence of fields:
//   - a field ends at a comma or a line end; CR LF, a lone LF and a lone CR each end one line;
//   - a field whose first non-space byte is a double quote runs to the closing quote, commas and
//     line ends included; what follows the closing quote up to the next separator still belongs
//     to the field, so stray text there is caught by the digit check;
//   - the end of the file ends a field that was begun; after a final separator it adds nothing.
// States: FieldStart waits for the first byte of a field (spaces skipped, a quote opens a quoted
// field), Plain and AfterQuote collect up to a separator, Quoted collects up to the closing
// quote, AfterCarriageReturn swallows the LF of a CR LF pair.
// Each field loses its spaces; an empty field loads "0", one with anything other than digits
// stops the load, the rest go into the box cut to its five characters, leading zeros kept. The
// range is not checked here: the window's save command does that before anything is sent.
#include "coinsetting/settingfile.h"

#include <algorithm>
#include <istream>

#include "common/text.h"

namespace pellix {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kComma = ',';
constexpr char kQuote = '"';
constexpr std::size_t kReadPiece = 4096;

bool isSeparator(char byte) {
    return byte == kComma || byte == kLineFeed || byte == kCarriageReturn;
}

}  // namespace

std::string boxNumberText(std::string_view boxText) {
    const auto digitsEnd =
        std::find_if(boxText.begin(), boxText.end(), [](char c) { return c < '0' || c > '9'; });
    const auto first = std::find_if(boxText.begin(), digitsEnd, [](char c) { return c != '0'; });
    if (first == digitsEnd) {
        return "0";
    }
    return std::string(first, digitsEnd);
}

std::string settingFileText(const SettingBoxTexts& boxes) {
    std::string out;
    for (const std::string& box : boxes) {
        out += ' ';
        out += boxNumberText(box);
        out += "\r\n";
    }
    return out;
}

SettingFileReader::SettingFileReader() {
    m_chunk.reserve(kChunk);
    m_content.boxes.fill("0");
}

bool SettingFileReader::feed(char byte) {
    if (m_done) {
        return false;
    }
    ++m_content.bytesUsed;
    switch (m_state) {
        case State::AfterCarriageReturn:
            m_state = State::FieldStart;
            if (byte == kLineFeed) {
                break;
            }
            [[fallthrough]];
        case State::FieldStart:
            if (byte == ' ') {
                m_fieldBegun = true;
                break;
            }
            if (byte == kQuote) {
                m_fieldBegun = true;
                m_state = State::Quoted;
                break;
            }
            m_state = State::Plain;
            [[fallthrough]];
        case State::Plain:
        case State::AfterQuote:
            if (isSeparator(byte)) {
                endField();
                if (!m_done && byte == kCarriageReturn) {
                    m_state = State::AfterCarriageReturn;
                }
            } else {
                append(byte);
            }
            break;
        case State::Quoted:
            if (byte == kQuote) {
                m_state = State::AfterQuote;
            } else {
                append(byte);
            }
            break;
    }
    return !m_done;
}

void SettingFileReader::finish() {
    if (m_done) {
        return;
    }
    if (m_fieldBegun) {
        endField();
    }
    if (!m_done) {
        m_content.end = LoadEnd::EndOfFile;
        m_done = true;
    }
}

void SettingFileReader::append(char byte) {
    m_fieldBegun = true;
    m_chunk.push_back(byte);
    if (m_chunk.size() == kChunk) {
        judgeChunk();
        // One non-digit fails the field whatever follows, so there is no need to read on.
        if (!m_fieldDigits) {
            m_content.end = LoadEnd::NotDigits;
            m_done = true;
        }
    }
}

void SettingFileReader::judgeChunk() {
    if (m_chunk.empty()) {
        return;
    }
    // Space removal deletes every space, so doing it piece by piece gives the same text as
    // doing it on the whole field.
    removeSpaces(m_chunk);
    if (!isAllDigits(m_chunk)) {
        m_fieldDigits = false;
    } else if (m_head.size() < kBoxMaxLength) {
        m_head.append(m_chunk, 0, kBoxMaxLength - m_head.size());
    }
    m_chunk.clear();
}

void SettingFileReader::endField() {
    judgeChunk();
    if (!m_fieldDigits) {
        m_content.end = LoadEnd::NotDigits;
        m_done = true;
        return;
    }
    m_content.boxes[static_cast<std::size_t>(m_content.loadedChannels)] =
        m_head.empty() ? std::string("0") : m_head;
    ++m_content.loadedChannels;
    m_head.clear();
    m_fieldBegun = false;
    m_state = State::FieldStart;
    if (m_content.loadedChannels == kSettingChannels) {
        m_content.end = LoadEnd::AllChannels;
        m_done = true;
    }
}

SettingFileContent readSettingFile(const ByteSource& source) {
    SettingFileReader reader;
    std::array<char, kReadPiece> piece{};
    while (!reader.done()) {
        const std::size_t got = std::min(source(piece), piece.size());
        if (got == 0) {
            reader.finish();
            break;
        }
        for (std::size_t i = 0; i < got && reader.feed(piece[i]); ++i) {
        }
    }
    return reader.content();
}

SettingFileContent readSettingFile(std::istream& in) {
    return readSettingFile([&in](std::span<char> buffer) -> std::size_t {
        if (!in) {
            return 0;
        }
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        return static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    });
}

}  // namespace pellix
