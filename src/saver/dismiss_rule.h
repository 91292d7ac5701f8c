// When a mouse movement ends the display.
#pragma once

// Farther than this many pixels on either axis from where the cursor stood at start ends it.
constexpr int kMouseMoveThreshold = 20;

bool IsDismissingMove(int originX, int originY, int cursorX, int cursorY);
