// How many pictures load at once.
#pragma once

// As many workers as the processor has cores, never more than the pictures to load, and one for
// a processor that tells no count; none for no picture.
int WorkerCount(int cores, int pictures);
