// Drops a fitted picture at a random free spot and gives it a random diagonal direction.
#pragma once

constexpr int kPlacementAttempts = 1000;

// Places slot i of g_saver (its cx, cy already fitted). Consumes the runtime's rand() in this
// order: x then y for each attempt, then dx, then dy.
void PlaceImages(int i);
