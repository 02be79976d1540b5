// The event pump: long computations call it where the window may process pending
// events (repaint, a stop request). Empty means no window.
#pragma once

#include <functional>

namespace kalvex {

using TEventPump = std::function<void()>;

} // namespace kalvex
