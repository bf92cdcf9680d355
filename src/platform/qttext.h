#pragma once

#include <QString>

#include <string_view>

namespace pellix {

// Texts are kept as UTF-8 in each subsystem's texts header; this is how they become QStrings.
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pellix
