// The number of loading workers: it bounds the pictures decoded at once, and so the memory.
#include "pictures/worker_count.h"

int WorkerCount(int cores, int pictures)
{
    const int workers = cores < 1 ? 1 : cores;
    return pictures < workers ? (pictures < 0 ? 0 : pictures) : workers;
}
