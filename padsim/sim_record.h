// The records that the simulated library hands to the report callback: a 4-byte
// little-endian type, then the type's body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum : uint32_t {
    SIM_REPORT_RAW = 258,     // the body is the library's own; the program hands it back
    SIM_REPORT_STATUS = 259,  // buttons at offset 12, fingers at 13, contact at 14
};

constexpr size_t SIM_TYPE_SIZE = 4;
constexpr size_t SIM_STATUS_RECORD_SIZE = 15;
constexpr size_t SIM_STATUS_BUTTONS_OFFSET = 12;
constexpr size_t SIM_STATUS_FINGERS_OFFSET = 13;
constexpr size_t SIM_STATUS_CONTACT_OFFSET = 14;

// A record of any type with the given body after the type.
std::vector<uint8_t> TypedRecord(uint32_t type, const std::vector<uint8_t>& body);

// A 15-byte status record; bytes 4 to 11 are zero.
std::vector<uint8_t> StatusRecord(uint8_t buttonFlags, uint8_t fingers, uint8_t contact);

// A raw record whose body is payloadSize bytes counting up from 0 (byte i is i mod 256), so
// a reader can tell where in the body it is.
std::vector<uint8_t> RawRecord(size_t payloadSize);

// The little-endian type at the front of a record, or 0 when it is shorter than a type.
uint32_t RecordType(const uint8_t* record, size_t size);
