#include "Kestrix/model/Position.h"

namespace kestrix {

Position::compareResult Position::compare(const Position &a, const Position &b)
{
    if (a.row != b.row) {
        return a.row < b.row ? compareResult::before : compareResult::after;
    }
    if (a.col != b.col) {
        return a.col < b.col ? compareResult::before : compareResult::after;
    }
    return compareResult::equal;
}

std::string Position::debugDescription() const
{
    return "col=" + std::to_string(col) + " row=" + std::to_string(row);
}

} // namespace kestrix
