#include "records/servicerun.h"

#include <array>

namespace pellix::records {
namespace {

constexpr std::array<std::string_view, 4> kInterfaces{"hardware test", "coin number setting",
                                                      "cny tester", "tzv simulation"};
constexpr std::array<std::string_view, 3> kOutcomes{"pass", "fail", "incomplete"};

template <typename Enum, std::size_t N>
std::optional<Enum> fromName(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view interfaceName(Interface interface) {
    return kInterfaces[static_cast<std::size_t>(interface)];
}

std::string_view outcomeName(Outcome outcome) {
    return kOutcomes[static_cast<std::size_t>(outcome)];
}

std::optional<Interface> interfaceFromName(std::string_view name) {
    return fromName<Interface>(kInterfaces, name);
}

std::optional<Outcome> outcomeFromName(std::string_view name) {
    return fromName<Outcome>(kOutcomes, name);
}

}  // namespace pellix::records
