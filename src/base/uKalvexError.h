// The base of every error the core reports.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace kalvex {

// Base of every error the core reports; what() is the user's message.
class TKalvexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One of the program's rules refused an input, a file or an action. what() is the
// Russian text the window shows; English() the twin the command line prints where its
// scripts rely on English (empty: the command line prints what() too).
class TRefusal : public TKalvexError {
public:
    explicit TRefusal(const std::string& Text, std::string EnglishText = {})
        : TKalvexError(Text), FEnglish(std::move(EnglishText)) {}
    const std::string& English() const { return FEnglish; }
    // The text for the command line.
    std::string CliText() const { return FEnglish.empty() ? std::string(what()) : FEnglish; }

private:
    std::string FEnglish;
};

} // namespace kalvex
