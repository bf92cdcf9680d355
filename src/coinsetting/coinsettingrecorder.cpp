#include "coinsetting/coinsettingrecorder.h"

#include "records/newrun.h"

namespace pellix {

void CoinSettingRecorder::setPort(std::string port, std::string device) {
    finish("the port changed");
    m_port = std::move(port);
    m_device = std::move(device);
}

void CoinSettingRecorder::setChannelText(int channelIndex, std::string_view text) {
    m_window.setChannelText(channelIndex, text);
    if (channelIndex < 0 || channelIndex >= kCoinChannels) {
        return;
    }
    m_block[static_cast<std::size_t>(channelIndex)] = std::string(text);
    if (channelIndex == kCoinChannels - 1) {
        blockRead();
    }
}

void CoinSettingRecorder::blockRead() {
    if (m_run && m_saved) {
        bool kept = true;
        for (int i = 0; i < kCoinChannels; ++i) {
            const auto index = static_cast<std::size_t>(i);
            m_run->add("coin number " + std::to_string(i + 1) + " after", m_block[index]);
            kept = kept && m_block[index] == std::to_string((*m_saved)[index]);
        }
        m_run->outcome = kept ? records::Outcome::Pass : records::Outcome::Fail;
        m_run->reason = kept ? "" : "the refreshed block shows other numbers than were saved";
        records::ServiceRun done = std::move(*m_run);
        m_run.reset();
        m_saved.reset();
        done.endedUtc = records::utcNow();
        m_keep(std::move(done));
        return;
    }
    finish("the next block came");
    m_run = records::newRun(records::Interface::CoinSetting, m_port, m_device);
    for (int i = 0; i < kCoinChannels; ++i) {
        m_run->add("coin number " + std::to_string(i + 1) + " before",
                   m_block[static_cast<std::size_t>(i)]);
    }
}

void CoinSettingRecorder::saveSent(const CoinNumbers& values) {
    if (!m_run) {
        m_run = records::newRun(records::Interface::CoinSetting, m_port, m_device);
    }
    for (int i = 0; i < kCoinChannels; ++i) {
        m_run->add("coin number " + std::to_string(i + 1) + " saved",
                   std::to_string(values[static_cast<std::size_t>(i)]));
    }
    m_saved = values;
}

void CoinSettingRecorder::finish(const std::string& why) {
    if (!m_run) {
        return;
    }
    records::ServiceRun done = std::move(*m_run);
    m_run.reset();
    done.endedUtc = records::utcNow();
    if (m_saved) {
        done.outcome = records::Outcome::Incomplete;
        done.reason = "no refreshed block after the save (" + why + ")";
        m_saved.reset();
    } else {
        done.outcome = records::Outcome::Pass;  // read only
    }
    m_keep(std::move(done));
}

}  // namespace pellix
