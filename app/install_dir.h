// How much of a registry string value is usable text. Registry data is untrusted: it may
// lack its terminating zero, have an odd length or not be a string at all.
#pragma once

#include <cstddef>
#include <cstdint>

// The number of UTF-16 units before the first zero within the first `bytes` bytes of
// `text`, reading no further than `capacity` units. An odd trailing byte is not a unit.
template <typename Unit>
size_t RegistryTextLength(const Unit* text, uint32_t bytes, size_t capacity)
{
    static_assert(sizeof(Unit) == 2, "registry text is UTF-16");
    size_t units = bytes / sizeof(Unit);
    if (units > capacity) {
        units = capacity;
    }
    size_t length = 0;
    while (length < units && text[length] != 0) {
        ++length;
    }
    return length;
}

// The install directory is queried with at most this many bytes: 260 units, the zero
// included, when the value carries one.
constexpr uint32_t INSTALL_DIR_BYTES = 520;
constexpr size_t INSTALL_DIR_UNITS = INSTALL_DIR_BYTES / 2;

// Ends the text that the query left in `text`, having returned `bytes` bytes: at its first
// zero, or after its last whole unit. A value of the full 520 bytes without a zero fills
// every unit the query may write, so the buffer needs one unit more; a smaller buffer does
// not compile.
template <typename Unit, size_t Units>
size_t TerminateInstallDir(Unit (&text)[Units], uint32_t bytes)
{
    static_assert(Units >= INSTALL_DIR_UNITS + 1, "room for the query's units and the terminating zero");
    const size_t length = RegistryTextLength(text, bytes, INSTALL_DIR_UNITS);
    text[length] = 0;
    return length;
}
