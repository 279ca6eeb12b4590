#include "link/touchpad_api.h"

// Static, zero from the start and alive for the whole run; its layout is the library's.
alignas(8) unsigned char InitRecord[24];
