// The hopper's hardware test stream. Nothing in it has a frame length or a checksum the PC
// checks: every byte means what its place in the stream makes it mean.
//
//   header    3A, checksum byte 1, checksum byte 2, length L, the software text (L - 1
//             characters, at least one; extra characters until the closing 3A are ignored), 3A
//   block     BEarly and Generic only: 34 bytes skipped, then the DIP switch byte
//   prompt    3C (answered once with 60), then a second 3C; anything else there: new header
//   motors    forward, reverse, stop: 3D pass, 3B fail, anything else undetermined and back
//             to waiting for a header
//   sensors   three cycles of a shaft byte (41 counts, 3B clears) and an empty byte (43 counts,
//             3B clears); anything else there: new header. BEarly judges two empty bytes and
//             then skips one, HEarly skips three, the others nothing. After the third cycle's
//             empty byte a sensor passes when its count stands at exactly 3.
//   monitor   58 and the DIP switch byte; 46 counts, every third passes the prism sensor;
//             7B and a 105-byte flash record; everything else, a new 3A included, is ignored
//             until the receiver is reset.
#include "hwtest/teststreamreceiver.h"

#include <utility>

#include "common/codepage.h"
#include "common/text.h"

namespace pellix::hwtest {
namespace {

constexpr std::uint8_t kHeaderMarker = 0x3A;
constexpr std::uint8_t kPrompt = 0x3C;
constexpr std::uint8_t kPass = 0x3D;
constexpr std::uint8_t kFailOrClear = 0x3B;
constexpr std::uint8_t kShaft = 0x41;
constexpr std::uint8_t kEmpty = 0x43;
constexpr std::uint8_t kPrism = 0x46;
constexpr std::uint8_t kDipFollows = 0x58;
constexpr std::int16_t kSkipBlockLength = 34;
constexpr std::uint8_t kSensorCycles = 3;
constexpr std::uint8_t kSensorPassCount = 3;
constexpr std::uint8_t kPrismPassCount = 3;
constexpr std::uint8_t kBEarlyEmptyBytes = 2;
constexpr std::uint8_t kHEarlyFillerBytes = 3;
constexpr std::uint8_t kSerialBytes = 6;
constexpr std::uint8_t kModeBytes = 3;

std::uint8_t fieldLength(FlashField field) {
    return static_cast<std::uint8_t>(FlashRecord::layoutOf(field).length);
}

TestResult passOrFail(bool pass) {
    return pass ? TestResult::Pass : TestResult::Fail;
}

}  // namespace

FeedResult TestStreamReceiver::feed(std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        m_stop = false;
        feed(bytes[i]);
        if (m_stop) {
            return {true};
        }
    }
    return {};
}

void TestStreamReceiver::send(std::uint8_t byte) {
    if (!m_line.send(byte)) {
        m_stop = true;
    }
}

void TestStreamReceiver::feed(std::uint8_t b) {
    const TestStreamState before = m_state;
    handle(b);
    if (m_state != before) {
        m_view.stateChanged(m_state);
    }
}

void TestStreamReceiver::handle(std::uint8_t b) {
    using S = TestStreamState;
    switch (m_state) {
        case S::WaitHeader:
            waitHeader(b);
            break;
        case S::ChecksumFirst:
        case S::ChecksumSecond:
            checksumByte(b);
            break;
        case S::VersionLength:
            versionLength(b);
            break;
        case S::VersionText:
            versionText(b);
            break;
        case S::WaitVersionEnd:
            waitVersionEnd(b);
            break;
        case S::SkipBlock:
            skipBlock();
            break;
        case S::DipStatus:
            dipSwitches(b, S::WaitPrompt);
            break;
        case S::WaitPrompt:
            waitPrompt(b);
            break;
        case S::WaitSecondPrompt:
            m_state = b == kPrompt ? S::MotorForwardResult : S::WaitHeader;
            break;
        case S::MotorForwardResult:
            motorResult(b, TestItem::MotorForward, S::MotorReverseResult);
            break;
        case S::MotorReverseResult:
            motorResult(b, TestItem::MotorReverse, S::MotorStopResult);
            break;
        case S::MotorStopResult:
            motorResult(b, TestItem::MotorStop, S::ShaftCheck);
            m_cycleCount = 0;
            m_shaftCount = 0;
            m_emptyCount = 0;
            m_fillerCount = 0;
            break;
        case S::ShaftCheck:
            shaftCheck(b);
            break;
        case S::EmptyCheck:
            emptyCheck(b);
            break;
        case S::CycleFiller:
            cycleFiller();
            break;
        case S::Monitor:
            monitor(b);
            break;
        case S::DipUpdate:
            dipSwitches(b, S::Monitor);
            break;
        case S::RecordSoftwareVersion:
            recordText(FlashField::SoftwareVersion, b, S::RecordProductCode);
            break;
        case S::RecordProductCode:
            recordText(FlashField::ProductCode, b, S::RecordManufacturerId);
            break;
        case S::RecordManufacturerId:
            recordText(FlashField::ManufacturerId, b, S::RecordSerial);
            break;
        case S::RecordSerial:
            recordSerial(b);
            break;
        case S::RecordModes:
            recordModes(b);
            break;
        case S::RecordBuildCode:
            recordText(FlashField::BuildCode, b, S::RecordCategoryId);
            break;
        case S::RecordCategoryId:
            recordText(FlashField::CategoryId, b, S::RecordHopperCoin);
            break;
        case S::RecordHopperCoin:
            recordText(FlashField::HopperCoin, b, S::Monitor);
            break;
    }
}

void TestStreamReceiver::waitHeader(std::uint8_t b) {
    if (b == kHeaderMarker) {
        m_state = TestStreamState::ChecksumFirst;
    }
}

// "0x" and the two checksum bytes as upper-case hexadecimal digits, shown as they come.
void TestStreamReceiver::checksumByte(std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const bool first = m_state == TestStreamState::ChecksumFirst;
    if (first) {
        m_checksumText.assign("0x");
    }
    m_checksumText.push_back(kDigits[b >> 4]);
    m_checksumText.push_back(kDigits[b & 0x0F]);
    m_view.showChecksum(m_checksumText);
    m_state = first ? TestStreamState::ChecksumSecond : TestStreamState::VersionLength;
}

void TestStreamReceiver::versionLength(std::uint8_t b) {
    m_versionLength = b;
    m_positionCount = 0;
    m_state = TestStreamState::VersionText;
}

void TestStreamReceiver::versionText(std::uint8_t b) {
    ++m_positionCount;
    m_softwareText.append(b);
    m_character.clear();
    appendWindows1252(m_character, b);
    m_view.appendSoftwareText(m_character);
    // The length byte counts the closing colon; 0, 1 and 2 all still take one character,
    // because the test comes after the character is taken.
    if (m_positionCount >= static_cast<int>(m_versionLength) - 1) {
        m_positionCount = 0;
        m_state = TestStreamState::WaitVersionEnd;
    }
}

void TestStreamReceiver::waitVersionEnd(std::uint8_t b) {
    if (b != kHeaderMarker) {
        return;
    }
    m_variant = m_softwareText.variant();
    m_view.firmwareVariantDecided(m_variant);
    const bool lateHeader =
        m_variant == FirmwareVariant::HEarly || m_variant == FirmwareVariant::HLate;
    m_state = lateHeader ? TestStreamState::WaitPrompt : TestStreamState::SkipBlock;
}

void TestStreamReceiver::skipBlock() {
    ++m_positionCount;
    if (m_positionCount >= kSkipBlockLength) {
        m_state = TestStreamState::DipStatus;
    }
}

void TestStreamReceiver::dipSwitches(std::uint8_t b, TestStreamState next) {
    m_view.showDipSwitches(dipSwitchValues(b));
    m_state = next;
}

void TestStreamReceiver::waitPrompt(std::uint8_t b) {
    if (b == kPrompt) {
        send(kPromptReply);
        m_state = TestStreamState::WaitSecondPrompt;
    }
}

// 3D pass, 3B fail and on to `next`; anything else undetermined and back to a header.
void TestStreamReceiver::motorResult(std::uint8_t b, TestItem item, TestStreamState next) {
    if (b == kPass || b == kFailOrClear) {
        m_view.setResult(item, passOrFail(b == kPass));
        m_state = next;
    } else {
        m_view.setResult(item, TestResult::Undetermined);
        m_state = TestStreamState::WaitHeader;
    }
}

void TestStreamReceiver::shaftCheck(std::uint8_t b) {
    ++m_cycleCount;
    if (b == kShaft) {
        ++m_shaftCount;
        m_state = TestStreamState::EmptyCheck;
    } else if (b == kFailOrClear) {
        m_shaftCount = 0;
        m_state = TestStreamState::EmptyCheck;
    } else {
        m_state = TestStreamState::WaitHeader;
    }
}

void TestStreamReceiver::emptyCheck(std::uint8_t b) {
    if (b == kEmpty) {
        ++m_emptyCount;
    } else if (b == kFailOrClear) {
        m_emptyCount = 0;
    } else {
        m_state = TestStreamState::WaitHeader;
        return;
    }
    ++m_fillerCount;
    if (m_cycleCount >= kSensorCycles) {
        endSensorCycles();
    } else if (m_variant == FirmwareVariant::BEarly) {
        if (m_fillerCount >= kBEarlyEmptyBytes) {
            m_fillerCount = 0;
            m_state = TestStreamState::CycleFiller;
        }
    } else if (m_variant == FirmwareVariant::HEarly) {
        m_fillerCount = 0;
        m_state = TestStreamState::CycleFiller;
    } else {
        m_state = TestStreamState::ShaftCheck;
    }
}

void TestStreamReceiver::cycleFiller() {
    if (m_variant == FirmwareVariant::HEarly) {
        ++m_fillerCount;
        if (m_fillerCount >= kHEarlyFillerBytes) {
            m_state = TestStreamState::ShaftCheck;
        }
    } else {
        m_state = TestStreamState::ShaftCheck;
    }
}

void TestStreamReceiver::monitor(std::uint8_t b) {
    if (b == kDipFollows) {
        m_state = TestStreamState::DipUpdate;
    } else if (b == kPrism) {
        ++m_prismCount;
        if (m_prismCount >= kPrismPassCount) {
            m_view.setResult(TestItem::PrismSensor, TestResult::Pass);
            m_prismCount = 0;
        }
    } else if (b == FlashRecord::kFrameStart) {
        m_state = TestStreamState::RecordSoftwareVersion;
    }
}

void TestStreamReceiver::recordSerial(std::uint8_t b) {
    m_serialBytes[m_fieldCount] = b;
    ++m_fieldCount;
    if (m_fieldCount >= kSerialBytes) {
        std::array<char, FlashRecord::kSerialDigits> digits{};
        formatSerialNumber(m_serialBytes[0], m_serialBytes[1], m_serialBytes[2], digits);
        m_view.showSerialNumber(std::string_view(digits.data(), digits.size()));
        m_fieldCount = 0;
        m_state = TestStreamState::RecordModes;
    }
}

void TestStreamReceiver::recordModes(std::uint8_t byte) {
    // The mode bytes are not shown: the lists keep what the operator chose. A listener that
    // checks a record read back still hears them.
    m_view.recordMode(
        static_cast<FlashField>(static_cast<int>(FlashField::CompanyMode) + m_fieldCount), byte);
    ++m_fieldCount;
    if (m_fieldCount >= kModeBytes) {
        m_fieldCount = 0;
        m_state = TestStreamState::RecordBuildCode;
    }
}

void TestStreamReceiver::recordText(FlashField field, std::uint8_t byte, TestStreamState next) {
    ++m_fieldCount;
    if (isShownRecordByte(byte)) {
        m_character.clear();
        appendWindows1252(m_character, byte);
        m_view.appendRecordText(field, m_character);
    }
    if (m_fieldCount >= fieldLength(field)) {
        m_fieldCount = 0;
        m_state = next;
    }
}

void TestStreamReceiver::endSensorCycles() {
    m_view.setResult(TestItem::ShaftSensor, passOrFail(m_shaftCount == kSensorPassCount));
    m_view.setResult(TestItem::EmptySensor, passOrFail(m_emptyCount == kSensorPassCount));
    m_prismCount = 0;
    m_state = TestStreamState::Monitor;
}

void TestStreamReceiver::restartAtHeader() {
    if (m_state != TestStreamState::WaitHeader) {
        m_state = TestStreamState::WaitHeader;
        m_view.stateChanged(m_state);
    }
    m_positionCount = 0;
}

void TestStreamReceiver::clearSoftwareText() {
    m_softwareText.clear();
}

void TestStreamReceiver::sendReadFlashRequest() {
    send(kReadFlashRequest);
}

void TestStreamReceiver::sendDipFinished() {
    send(kDipFinished);
}

std::vector<FieldMessage> TestStreamReceiver::writeFlash(const FlashRecord& record) {
    FlashWrite write = record.encodeForWrite();
    for (std::uint8_t b : write.frame) {
        send(b);
    }
    return std::move(write.messages);
}

DipSwitches dipSwitchValues(std::uint8_t byte) {
    DipSwitches values{};
    for (std::uint8_t i = 0; i < values.size(); ++i) {
        values[i] = Bit_judge(i, byte);
    }
    return values;
}

}  // namespace pellix::hwtest
