// The base of every error the core reports.
#pragma once

#include <stdexcept>

namespace kalvex {

// Base of every error the core reports; what() is the user's message.
class TKalvexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kalvex
