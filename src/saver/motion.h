// One tick of the animation: move, bounce off the edges, bounce off each other.
#pragma once

// Pictures closer than this many pixels beyond the touching line count as touching.
constexpr int kTouchTolerance = 2;

// Advances every slot of g_saver, empty ones included, by one tick.
void StepImages();
