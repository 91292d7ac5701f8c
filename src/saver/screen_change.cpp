// The display's state for a new desk; the Win32 side re-covers, repaints and lays out around it.
#include "saver/screen_change.h"

#include "saver/saver_state.h"

bool TakeDesk(const Desk& desk)
{
    if (desk.width <= 0 || desk.height <= 0)
        return false;
    g_saver.deskLeft = desk.left;
    g_saver.deskTop = desk.top;
    g_saver.screenWidth = desk.width;
    g_saver.screenHeight = desk.height;
    g_saver.monitorCount = desk.monitors;
    return true;
}

bool IsNewDesk(const Desk& desk)
{
    return desk.left != g_saver.deskLeft || desk.top != g_saver.deskTop
        || desk.width != g_saver.screenWidth || desk.height != g_saver.screenHeight
        || desk.monitors != g_saver.monitorCount;
}

void ClearForNewDesk(unsigned now, void (*release)(void* bitmap))
{
    // A slot whose file is gone by now must not stay behind as an invisible obstacle.
    for (ImageSlot& slot : g_saver.slots) {
        if (slot.bitmap != nullptr)
            release(slot.bitmap);
        slot = ImageSlot{};
    }
    g_saver.layoutOwed = 1;
    g_saver.deskChangedAt = now;
}

bool TakeDueLayout(unsigned now)
{
    // Unsigned, so that the difference holds across the wrap of the millisecond count.
    if (!g_saver.layoutOwed || now - g_saver.deskChangedAt < kDeskSettleMilliseconds)
        return false;
    g_saver.layoutOwed = 0;
    return true;
}
