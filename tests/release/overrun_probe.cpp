// A test build made as the shipped program is, that overruns a stack buffer: its stack
// protection must end it at once, writing nothing.
#include <windows.h>

#include <cstring>

extern "C" UINT_PTR __stack_chk_guard;

namespace {

// Through volatile, so the compiler can neither see the overrun nor drop the writes.
volatile size_t overrunBytes = 64;
void (*volatile keepBuffer)(char*) = [](char*) {};

__attribute__((noinline)) void Overrun(size_t bytes)
{
    char buffer[16];
    memset(buffer, 0x5A, bytes);
    keepBuffer(buffer);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (__stack_chk_guard == 0) {
        return 1;  // the start-up code never drew the guard
    }
    Overrun(overrunBytes);
    return 0;
}
