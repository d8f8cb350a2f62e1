// An event a model raises and any number of listeners hear, in the order they subscribed.
// A listener holds its Subscription: when that goes (with the listener), so does the
// listener's handler, so a model never calls into an object that is gone.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kh {

template <class... Args> class Event {
    struct Slot {
        std::size_t id;
        std::shared_ptr<std::function<void(Args...)>> handler;
    };
    struct Slots {
        std::vector<Slot> slots;
        std::size_t next = 1;
    };

  public:
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept
            : slots_(std::move(other.slots_)), id_(std::exchange(other.id_, 0)) {}
        Subscription& operator=(Subscription&& other) noexcept {
            if (this != &other) {
                reset();
                slots_ = std::move(other.slots_);
                id_ = std::exchange(other.id_, 0);
            }
            return *this;
        }
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { reset(); }

        // Stops hearing the event now.
        void reset() {
            if (auto slots = slots_.lock()) {
                std::erase_if(slots->slots, [this](const Slot& s) { return s.id == id_; });
            }
            slots_.reset();
            id_ = 0;
        }

      private:
        friend class Event;
        Subscription(std::weak_ptr<Slots> slots, std::size_t id)
            : slots_(std::move(slots)), id_(id) {}
        std::weak_ptr<Slots> slots_;
        std::size_t id_ = 0;
    };

    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    [[nodiscard]] Subscription subscribe(std::function<void(Args...)> handler) {
        const std::size_t id = slots_->next++;
        slots_->slots.push_back(
            {id, std::make_shared<std::function<void(Args...)>>(std::move(handler))});
        return Subscription(slots_, id);
    }

    // Calls every listener subscribed now. A listener may subscribe or unsubscribe others
    // meanwhile: one that goes is not called any more, one that comes hears the next time.
    void operator()(Args... args) const {
        std::vector<std::pair<std::size_t, std::weak_ptr<std::function<void(Args...)>>>> now;
        now.reserve(slots_->slots.size());
        for (const Slot& slot : slots_->slots)
            now.emplace_back(slot.id, slot.handler);
        for (auto& [id, weak] : now) {
            const auto handler = weak.lock();
            if (handler && subscribed(id)) (*handler)(args...);
        }
    }

    bool empty() const { return slots_->slots.empty(); }

  private:
    bool subscribed(std::size_t id) const {
        for (const Slot& slot : slots_->slots)
            if (slot.id == id) return true;
        return false;
    }

    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
};

} // namespace kh
