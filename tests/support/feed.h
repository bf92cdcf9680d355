#pragma once

#include <QTest>

#include <cstdint>
#include <vector>

namespace pellix::test {

using Bytes = std::vector<std::uint8_t>;
using Chunks = std::vector<Bytes>;

// Runs `run` (Chunks -> outcome) on the bytes whole, one byte per chunk, and split in two at
// every point, and checks that every way gives the same outcome. Returns the outcome of the
// whole run for further checks. The outcome type needs operator== and should be printable by
// QTest::toString for readable failures (a QStringList of events works well).
template <typename Run>
auto sameOutcomeForEverySplit(const Bytes& bytes, Run run) {
    const auto whole = run(Chunks{bytes});
    Chunks single;
    for (std::uint8_t b : bytes) {
        single.push_back(Bytes{b});
    }
    const auto byteWise = run(single);
    if (!QTest::qCompare(byteWise, whole, "one byte at a time", "whole", __FILE__, __LINE__)) {
        return whole;
    }
    for (std::size_t k = 1; k < bytes.size(); ++k) {
        const Chunks split{Bytes(bytes.begin(), bytes.begin() + static_cast<long>(k)),
                           Bytes(bytes.begin() + static_cast<long>(k), bytes.end())};
        const auto outcome = run(split);
        if (!QTest::qCompare(outcome, whole, qPrintable(QStringLiteral("split at %1").arg(k)),
                             "whole", __FILE__, __LINE__)) {
            return whole;
        }
    }
    return whole;
}

inline Bytes bytesFromHex(const char* hex) {
    Bytes out;
    const QByteArray raw = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
    out.assign(raw.begin(), raw.end());
    return out;
}

}  // namespace pellix::test
