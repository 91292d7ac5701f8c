// Paints one frame of the display.
#pragma once

#include <windows.h>

// Blackens a frame around where each picture was and copies it to where it is, slot by slot.
void PaintFrame(HWND window);
