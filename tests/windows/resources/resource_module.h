// Access to the resources of the executable under test, and a bounds-checked reader for
// their raw bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr LANGID kEnglishUs = 0x0409;     // 1033
constexpr LANGID kChineseTaiwan = 0x0404; // 1028

// The executable whose resources are checked: the first command-line argument that is
// not an option, else resource_probe.exe. A relative name is taken from the directory of
// this test program, so "QuibTPCenter.exe" names the program built beside it.
std::wstring ModuleUnderTestPath();

// That executable, loaded once as an image resource data file: its code never runs.
// Null when it cannot be loaded.
HMODULE ModuleUnderTest();

// Whether the resource exists in exactly that language.
bool HasResourceLanguage(LPCWSTR type, WORD id, LANGID language);

// The raw bytes of one resource in exactly one language; empty when there is none.
std::vector<uint8_t> ResourceBytes(LPCWSTR type, WORD id, LANGID language);

// Reads little-endian fields from resource bytes. A read past the end yields zeros and
// marks the reader failed, so a short or damaged record never reads out of bounds.
struct ByteReader {
    const std::vector<uint8_t>* bytes;
    size_t pos;
    size_t end;
    bool failed;
};

ByteReader MakeReader(const std::vector<uint8_t>& bytes);
// A reader over [begin, end) of the same bytes; failed when the range does not fit.
ByteReader SubReader(const ByteReader& outer, size_t begin, size_t end);
uint8_t ReadByte(ByteReader& reader);
uint16_t ReadWord(ByteReader& reader);
uint32_t ReadDword(ByteReader& reader);
int32_t ReadLong(ByteReader& reader);
// A NUL-terminated UTF-16 string; fails when the terminator is missing.
std::wstring ReadWideString(ByteReader& reader);
void SkipBytes(ByteReader& reader, size_t count);
// Moves to the next multiple of alignment, counted from the start of the bytes, or to the
// end when that comes first: a record's last part needs no padding after it.
void AlignReader(ByteReader& reader, size_t alignment);
size_t BytesLeft(const ByteReader& reader);
