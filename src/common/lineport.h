#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pellix {

// What an engine did with a batch of received bytes.
struct FeedResult {
    // The engine dropped the waiting input or the line went away: the rest of the batch is
    // thrown away unread, as if it had still been waiting in the port.
    bool stop = false;
    bool operator==(const FeedResult&) const = default;
};

// One of an engine's named one-shot time-outs: the control name of its timer and its interval.
struct LineTimeout {
    std::string_view name;
    int milliseconds = 0;
};

// An engine's side of the serial line. Time-outs are numbered by their position in the table
// the engine gave its line port.
class LinePort {
  public:
    // False when the line could not take the bytes (closed or lost); the port reports that itself.
    virtual bool send(std::span<const std::uint8_t> bytes) = 0;
    bool send(std::uint8_t byte) { return send(std::span(&byte, 1)); }
    // Drops every received byte still waiting.
    virtual void discardInput() = 0;
    virtual void startTimeout(std::size_t timeout) = 0;
    virtual void stopTimeout(std::size_t timeout) = 0;

  protected:
    ~LinePort() = default;
};

// What a line port hands received bytes and expired time-outs to.
class LineEngine {
  public:
    virtual FeedResult feed(std::span<const std::uint8_t> bytes) = 0;
    virtual void timeoutExpired(std::size_t timeout) = 0;

  protected:
    ~LineEngine() = default;
};

}  // namespace pellix
