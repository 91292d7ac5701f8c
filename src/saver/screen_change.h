// Taking a new desk while the display runs: monitors added, removed, rearranged or asleep.
#pragma once

// The virtual screen as the system reports it: its origin on the desktop, its size, and how many
// monitors make it up.
struct Desk {
    int left, top, width, height;
    int monitors;
};

// Docking, undocking and waking monitors send several display changes within a second; the
// pictures are laid out again once the desk has been still this long.
constexpr unsigned kDeskSettleMilliseconds = 250;

// Takes `desk` for the display: its size for the pictures, its origin and monitor count to tell
// later changes by. An empty desk, which some monitors report while they sleep, changes nothing
// and gives false.
bool TakeDesk(const Desk& desk);

// Whether `desk` is not the one the display took: the desk has changed, whether or not its
// display change has been told yet.
bool IsNewDesk(const Desk& desk);

// After a change of desk: hands every slot's bitmap to `release`, clears every slot, and owes a
// layout once the desk has been still for the settling time from `now` (milliseconds).
void ClearForNewDesk(unsigned now, void (*release)(void* bitmap));

// Whether the owed layout is due at `now`; once due it is no longer owed.
bool TakeDueLayout(unsigned now);
