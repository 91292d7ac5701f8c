// The saver display's animation state: ten picture slots and the screen they move on.
#pragma once

constexpr int kSlotCount = 10;

// One picture on the screen. Positions and sizes are screen pixels; an empty slot has no bitmap,
// zero size and zero velocity, yet still moves once to (1, 1) and takes part in touch tests.
struct ImageSlot {
    void* bitmap;   // the fitted picture (an HBITMAP owned by the slot), or null
    int x, y;       // top-left corner
    int dx, dy;     // +1 or -1 per tick for a placed picture
    int cx, cy;     // size after fitting
    int fx, fy;     // reverse marks, scratch of one motion step
};

struct SaverRect {
    int left, top, right, bottom;
};

struct SaverState {
    int screenWidth, screenHeight;   // the virtual screen's size, which the pictures move on
    ImageSlot slots[kSlotCount];
    int imageCount;            // loaded pictures, at least 2: the divisor of the fitting
    SaverRect updateRect;      // the whole client area, repainted on every tick
    int eraseDone;             // the one background erase since the window covered its desk
    int cursorOriginX, cursorOriginY;
    int placementOk;           // verdict of the current placement attempt
    int dismissed;             // the display has ended; later dismissing messages do nothing
    int deskLeft, deskTop;     // where the virtual screen starts on the desktop
    int monitorCount;          // with the origin and size, what tells a change of desk
    int layoutOwed;            // the desk changed and the pictures wait to be laid out for it
    unsigned deskChangedAt;    // when it last changed, in the system's milliseconds
};

extern SaverState g_saver;
