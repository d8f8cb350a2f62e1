// The hourglass for the lifetime of an object, also when an error leaves early.
#pragma once

#include <functional>
#include <utility>

namespace kh {

class BusyCursor {
  public:
    // `show(true)` now and `show(false)` at the end; an empty function shows nothing.
    explicit BusyCursor(std::function<void(bool)> show) : show_(std::move(show)) {
        if (show_) show_(true);
    }
    ~BusyCursor() {
        if (show_) show_(false);
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    std::function<void(bool)> show_;
};

} // namespace kh
