// Taking a new desktop while the display runs: monitors added, removed or rearranged.
#pragma once

// Takes a screen of width x height for the display. Every slot's bitmap is handed to `release`
// and every slot cleared, for the pictures to be loaded and laid out again; the screen size and
// the update rectangle become the new screen's, and the one erase is owed again. An empty screen,
// which some monitors report while they go to sleep, changes nothing and gives false.
bool AdoptScreen(int width, int height, void (*release)(void* bitmap));
