// The three library entries that the program's report callback calls. The replay runs that
// callback over logged reports only for what it stores in TouchStatus; the library's own
// answers were already logged and change no picture, so these answer nothing.
#include "link/touchpad_api.h"

int32_t TpForwardRawReport(const void*)
{
    return 0;
}

int32_t TpCheckButtonFlags(int32_t)
{
    return 0;
}

int32_t TpButtonFollowUp(int32_t)
{
    return 0;
}
