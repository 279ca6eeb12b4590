#include "status/touch_status.h"

// Constant-initialised: nothing runs before the entry function to build it.
TOUCHSTATUS TouchStatus;
