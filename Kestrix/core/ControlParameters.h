#pragma once

#include "Kestrix/core/EscapeSequenceParser.h"

#include <cstddef>
#include <cstdint>

namespace kestrix {

// How control-function handlers read their parameters. An absent parameter reads as 0, and 0 is
// the default of every count and position.
namespace controlParameters {

// Parameter `index`, or `fallback` when the list is shorter.
constexpr int64_t valueOr(ParameterSpan pars, size_t index, int64_t fallback)
{
    return index < pars.size() ? pars[index] : fallback;
}

// A repeat count: the parameter when above 1, else 1.
constexpr int64_t count(ParameterSpan pars, size_t index = 0)
{
    const int64_t value = valueOr(pars, index, 0);
    return value > 1 ? value : 1;
}

// A 1-based position made 0-based: the parameter less one when at least 2, else 0.
constexpr int64_t position(ParameterSpan pars, size_t index = 0)
{
    const int64_t value = valueOr(pars, index, 0);
    return value >= 2 ? value - 1 : 0;
}

} // namespace controlParameters

} // namespace kestrix
