#pragma once

#include "tools/driver/Driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// A window that names no place opens centred over its owner, or over the
// screen's work area when it has none, and wholly on that screen.
inline testing::AssertionResult IsCentredOverItsOwner(const Placement& placement)
{
    const Rect& window = placement.window;
    const Rect& screen = placement.screen;
    const bool owned = placement.owner.right > placement.owner.left;
    const Rect& around = owned ? placement.owner : screen;
    const auto describe = [](const Rect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right) + ","
               + std::to_string(r.bottom);
    };
    const auto offCentre = [](int low, int high, int aroundLow, int aroundHigh) {
        return std::abs((low + high) - (aroundLow + aroundHigh)) > 2;
    };
    if (window.right <= window.left)
        return testing::AssertionFailure() << "no window on top";
    if (window.left < screen.left || window.top < screen.top || window.right > screen.right
        || window.bottom > screen.bottom)
        return testing::AssertionFailure() << "the window at " << describe(window) << " is not wholly on the screen "
                                           << describe(screen);
    if (offCentre(window.left, window.right, around.left, around.right)
        || offCentre(window.top, window.bottom, around.top, around.bottom))
        return testing::AssertionFailure() << "the window at " << describe(window) << " is not centred over its "
                                           << (owned ? "owner" : "screen") << " at " << describe(around);
    return testing::AssertionSuccess();
}
