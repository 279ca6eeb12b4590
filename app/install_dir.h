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
