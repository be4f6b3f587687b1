#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrix {

// The pattern that finds URLs and paths in terminal text, run under a work budget.
//
// The text comes from the host, and the pattern backtracks steeply on some inputs ("http://"
// followed by many commas), while every click looks for a link: so one lookup gets one budget of
// matcher steps, shared by all the runs it makes, and a bounded backtracking stack. A run that
// exhausts either fails, and so does every later run of the same budget: the lookup finds nothing.
class LinkPattern {
public:
    // Offsets in UTF-16 units of the text.
    struct Match {
        int32_t start = 0;
        int32_t end = 0;
    };

    // The matcher reports every this many steps; the budget counts these reports.
    static constexpr int32_t stepsPerTick = 10000;
    // A few milliseconds of matching at most, for all runs of one lookup together; an ordinary
    // line needs a small part of it.
    static constexpr int32_t defaultTickBudget = 20;
    static constexpr int32_t stackLimitBytes = 256 * 1024;

    explicit LinkPattern(int32_t tickBudget = defaultTickBudget);

    // False when the pattern does not compile: nothing ever matches.
    static bool isAvailable();

    // Every non-empty match in text order; nothing when the budget ran out or the stack overflowed.
    std::optional<std::vector<Match>> matches(const std::u16string &text);
    bool exhausted() const { return exhausted_; }

private:
    int32_t ticksLeft_;
    bool exhausted_ = false;

    friend struct LinkPatternAccess;
};

} // namespace kestrix
