// The event pump: long computations call it where the window may process pending
// events (repaint, a stop request). Empty means no window.
#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace kalvex {

using TEventPump = std::function<void()>;

// A pump called at most once per Interval of elapsed time, so that a loop may offer it
// at every step: the window stays responsive however long or short the steps are, and
// quick loops never pay for the events.
class TPacedPump {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds DefaultInterval{50};

    explicit TPacedPump(TEventPump Pump, TClock::duration Interval = DefaultInterval)
        : FPump(std::move(Pump)), FInterval(Interval), FLast(TClock::now()) {}
    // Calls the pump when it is due; true when it did.
    bool operator()() {
        if (!FPump)
            return false;
        if (TClock::now() - FLast < FInterval)
            return false;
        FPump();
        FLast = TClock::now();
        return true;
    }

private:
    TEventPump FPump;
    TClock::duration FInterval;
    TClock::time_point FLast;
};

} // namespace kalvex
