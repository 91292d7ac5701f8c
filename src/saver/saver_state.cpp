// The one process-wide saver state; zero-initialised before anything runs.
#include "saver/saver_state.h"

SaverState g_saver;
