#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace pellix {

// A setting file keeps the 16 coin numbers of the coin number setting window as plain text, so a
// set of numbers can be saved once and loaded into several hoppers alike.

inline constexpr int kSettingChannels = 16;
// A channel box holds at most this many characters; a longer field is cut to its start.
inline constexpr std::size_t kBoxMaxLength = 5;

using SettingBoxTexts = std::array<std::string, kSettingChannels>;

// The number a box holds, as written to a file: decimal without leading zeros, "0" for an empty
// box. Boxes only ever hold digits; should anything else get in, the number ends there.
std::string boxNumberText(std::string_view boxText);

// The whole file: per channel one space, the number, CR LF.
std::string settingFileText(const SettingBoxTexts& boxes);

enum class LoadEnd {
    AllChannels,  // 16 fields read; anything after them is never looked at
    EndOfFile,    // the file ran out (or could not be read further) before 16 fields
    NotDigits,    // a field held something other than digits and spaces
};

struct SettingFileContent {
    SettingBoxTexts boxes;  // "0" for every channel the file did not fill
    int loadedChannels = 0;
    LoadEnd end = LoadEnd::EndOfFile;
    // How far into the file the reader had to look to decide.
    std::uint64_t bytesUsed = 0;
};

// Splits a setting file into fields, fed a byte at a time, and decides each channel's text.
// The reader keeps a small fixed amount of each field however long it is, so a huge file or a
// line without end costs no more memory than a normal one, and it stops as soon as the result
// cannot change any more.
class SettingFileReader {
  public:
    SettingFileReader();

    // Returns false once the reader needs no more bytes (16 fields read or a bad field met).
    bool feed(char byte);
    // The file has ended; a field that was begun counts.
    void finish();
    bool done() const { return m_done; }
    const SettingFileContent& content() const { return m_content; }

  private:
    enum class State { FieldStart, Plain, Quoted, AfterQuote, AfterCarriageReturn };

    void append(char byte);
    void judgeChunk();
    void endField();

    // A field is judged in chunks of this size: spaces removed, digits checked, the first
    // characters kept for the box. A field of any length needs no more than this.
    static constexpr std::size_t kChunk = 256;

    State m_state = State::FieldStart;
    bool m_fieldBegun = false;
    bool m_fieldDigits = true;
    std::string m_chunk;
    std::string m_head;  // the first kBoxMaxLength characters left after space removal
    bool m_done = false;
    SettingFileContent m_content;
};

// Hands out the next bytes of a file into `buffer`; returns how many, 0 at the end or on error.
using ByteSource = std::function<std::size_t(std::span<char> buffer)>;

// Reads a setting file from `source` in small pieces, only as far as the 16 fields need.
SettingFileContent readSettingFile(const ByteSource& source);
SettingFileContent readSettingFile(std::istream& in);

}  // namespace pellix
