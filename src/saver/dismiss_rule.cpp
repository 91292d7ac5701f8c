// The mouse-movement threshold; small jitters of a resting mouse must not end the display.
#include "saver/dismiss_rule.h"

bool IsDismissingMove(int originX, int originY, int cursorX, int cursorY)
{
    const long long ddx = static_cast<long long>(cursorX) - originX;
    const long long ddy = static_cast<long long>(cursorY) - originY;
    return ddx > kMouseMoveThreshold || ddx < -kMouseMoveThreshold || ddy > kMouseMoveThreshold
        || ddy < -kMouseMoveThreshold;
}
