// When a mouse movement ends the display.
#pragma once

// Farther than this many pixels on either axis from the pointer's origin ends it: where the
// pointer stood when the display started, or when it last took a new desk.
constexpr int kMouseMoveThreshold = 20;

bool IsDismissingMove(int originX, int originY, int cursorX, int cursorY);
