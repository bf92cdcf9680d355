#include "hwtest/hwtestnotes.h"

#include <array>
#include <cstdio>

namespace pellix::hwtest {
namespace {

std::string_view variantName(FirmwareVariant variant) {
    switch (variant) {
        case FirmwareVariant::BEarly:
            return "BEarly";
        case FirmwareVariant::Generic:
            return "Generic";
        case FirmwareVariant::HEarly:
            return "HEarly";
        case FirmwareVariant::HLate:
            return "HLate";
        case FirmwareVariant::Undecided:
            break;
    }
    return "Undecided";
}

std::string_view fieldName(FlashField field) {
    static constexpr std::array<std::string_view, 10> kNames{
        "Software Version",      "Product Code", "Manufacturer ID", "Serial Number",
        "Company Mode",          "Address Mode", "Encryption Mode", "Build Code",
        "Equipment Category ID", "Hopper Coin",
    };
    return kNames[static_cast<std::size_t>(field)];
}

// A received character as it is, or as \xNN when it is a control character (C0, DEL or C1).
void appendCharacter(std::string& out, std::string_view character) {
    const auto first = static_cast<std::uint8_t>(character.empty() ? 0 : character[0]);
    const auto second = static_cast<std::uint8_t>(character.size() > 1 ? character[1] : 0);
    int control = -1;
    if (character.size() == 1 && (first < 0x20 || first == 0x7F)) {
        control = first;
    } else if (character.size() == 2 && first == 0xC2 && second < 0xA0) {
        control = second;
    }
    if (control < 0) {
        out.append(character);
        return;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", control);
    out.append(hex);
}

bool inRecord(TestStreamState state) {
    return state >= TestStreamState::RecordSoftwareVersion &&
           state <= TestStreamState::RecordHopperCoin;
}

}  // namespace

std::string_view testItemName(TestItem item) {
    static constexpr std::array<std::string_view, kTestItemCount> kNames{
        "Motor Forward", "Motor Reverse", "Motor Stop",
        "Empty Sensor",  "Prism Sensor",  "Shaft Sensor",
    };
    return kNames[static_cast<std::size_t>(item)];
}

void HwTestNotes::note(std::string_view text) {
    if (m_sink) {
        m_sink->note(text);
    }
}

void HwTestNotes::stateChanged(TestStreamState state) {
    m_window.stateChanged(state);
    if (m_field && !inRecord(state)) {
        endField();
    }
}

void HwTestNotes::endField() {
    if (m_field) {
        note(std::string(fieldName(*m_field)).append(" \"").append(m_fieldText).append("\""));
        m_field.reset();
        m_fieldText.clear();
    }
}

void HwTestNotes::showChecksum(std::string_view text) {
    m_window.showChecksum(text);
    // Noted once both bytes are in ("0x1F2E"); the software text starts after it.
    if (text.size() == 6) {
        note(std::string("checksum ").append(text));
        m_software.clear();
    }
}

void HwTestNotes::appendSoftwareText(std::string_view character) {
    m_window.appendSoftwareText(character);
    appendCharacter(m_software, character);
}

void HwTestNotes::firmwareVariantDecided(FirmwareVariant variant) {
    m_window.firmwareVariantDecided(variant);
    note("software \"" + m_software + "\", variant " + std::string(variantName(variant)));
}

void HwTestNotes::showDipSwitches(const DipSwitches& on) {
    m_window.showDipSwitches(on);
    std::string text = "DIP";
    for (std::size_t i = 0; i < on.size(); ++i) {
        text.append(" SW").append(std::to_string(i + 1)).append(on[i] ? " ON" : " OFF");
    }
    note(text);
}

void HwTestNotes::setResult(TestItem item, TestResult result) {
    m_window.setResult(item, result);
    const std::string_view word = result == TestResult::Pass   ? "pass"
                                  : result == TestResult::Fail ? "fail"
                                                               : "undetermined";
    note(std::string(testItemName(item)).append(" ").append(word));
}

void HwTestNotes::appendRecordText(FlashField field, std::string_view character) {
    m_window.appendRecordText(field, character);
    if (m_field != field) {
        endField();
        m_field = field;
    }
    appendCharacter(m_fieldText, character);
}

void HwTestNotes::showSerialNumber(std::string_view text) {
    endField();
    m_window.showSerialNumber(text);
    note("Serial Number " + std::string(text));
}

bool HwTestNotes::send(std::span<const std::uint8_t> bytes) {
    if (!m_line.send(bytes)) {
        return false;
    }
    for (std::uint8_t byte : bytes) {
        byteSent(byte);
    }
    return true;
}

void HwTestNotes::byteSent(std::uint8_t byte) {
    // The bytes after 0x7B are the record being written, whatever their values.
    if (m_recordBytesToSend > 0) {
        if (--m_recordBytesToSend == 0) {
            note("WriteFlashFrame");
        }
        return;
    }
    switch (byte) {
        case kPromptReply:
            note("PromptReply");
            break;
        case kReadFlashRequest:
            note("ReadFlashRequest");
            break;
        case kDipFinished:
            note("DipFinished");
            break;
        case FlashRecord::kFrameStart:
            m_recordBytesToSend = static_cast<int>(FlashRecord::kSize);
            break;
        default:
            break;
    }
}

}  // namespace pellix::hwtest
