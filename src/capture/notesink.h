#pragma once

#include <string_view>

namespace pellix {

// Where an engine's notes go: what it made of the traffic, in words, beside the bytes. The
// capture of the window's port implements it.
class NoteSink {
  public:
    virtual void note(std::string_view text) = 0;

  protected:
    ~NoteSink() = default;
};

}  // namespace pellix
