// The display's state for a new desktop; the Win32 side reloads and re-covers around it.
#include "saver/screen_change.h"

#include "saver/saver_state.h"

bool AdoptScreen(int width, int height, void (*release)(void* bitmap))
{
    if (width <= 0 || height <= 0)
        return false;
    // A slot whose file is gone by now must not stay behind as an invisible obstacle.
    for (ImageSlot& slot : g_saver.slots) {
        if (slot.bitmap != nullptr)
            release(slot.bitmap);
        slot = ImageSlot{};
    }
    g_saver.screenWidth = width;
    g_saver.screenHeight = height;
    // The whole new client area: the window's own update region would hold only what a resize
    // newly exposed.
    g_saver.updateRect = SaverRect{0, 0, width, height};
    g_saver.eraseDone = 0;
    return true;
}
