// Linked into the shipped stub only. An elevated program takes no behaviour
// from the user's environment: the seams that tests use (test_build.cpp) are
// fixed here.
#include "activation.h"
#include "pause_interval.h"

namespace ssi {

UINT PauseIntervalMs() { return 1000; }

bool SetScreenSaverActive() { return SetScreenSaverActiveThroughSystem(); }

}  // namespace ssi
