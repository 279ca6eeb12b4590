// Builds the configurator's path from arbitrary registry data the way start-up does: the
// value is queried into a buffer of 261 units (520 bytes asked for), its text is cut and
// terminated by TerminateInstallDir, and the path is formatted into 520 units. Checks that
// the text is exactly the returned data up to its first zero, that the path is terminated
// and fits, and (through the sanitizer and exactly sized heap copies) that nothing is read
// past the returned bytes or the buffer.
//
// Input: a control byte, 4 bytes of a byte count (little-endian), then the value's data.
// With control bit 0 clear the query returns the data's own size, as the registry does;
// with it set it returns the given count, however little it matches the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/install_dir.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr size_t CONFIGURATOR_PATH_UNITS = 520;
constexpr size_t HEADER_SIZE = 5;
constexpr char16_t PATH_SUFFIX[] = u"DuVOViraro\\x64\\QuibTPConfigure64.exe";
constexpr size_t PATH_SUFFIX_UNITS = sizeof PATH_SUFFIX / sizeof PATH_SUFFIX[0] - 1;

// What wsprintfW with "%s" and the suffix writes: it knows nothing of the buffer's size,
// so only the length of the directory keeps the path inside it.
void FormatConfiguratorPath(char16_t* path, const char16_t* installDir)
{
    while (*installDir != 0) {
        *path++ = *installDir++;
    }
    for (const char16_t* suffix = PATH_SUFFIX; *suffix != 0; ++suffix) {
        *path++ = *suffix;
    }
    *path = 0;
}

uint32_t LittleEndian32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The text the path must start with, worked out apart from RegistryTextLength: the units of
// the returned bytes (an odd last byte is no unit), up to the first zero among them.
std::u16string ExpectedText(const char16_t* buffer, uint32_t returnedBytes)
{
    const size_t bytes = returnedBytes < INSTALL_DIR_BYTES ? returnedBytes : INSTALL_DIR_BYTES;
    const std::u16string returned(buffer, bytes / 2);
    return returned.substr(0, returned.find(u'\0'));
}

// The same length taken from an exactly sized copy of the returned bytes: any read past
// them lands outside the allocation.
void CheckReadsStayInReturnedBytes(const uint8_t* data, uint32_t returnedBytes, size_t length)
{
    void* const exact = std::malloc(returnedBytes == 0 ? 1 : returnedBytes);
    FUZZ_CHECK(exact != nullptr);
    std::memcpy(exact, data, returnedBytes);
    const size_t exactLength =
        RegistryTextLength(static_cast<const char16_t*>(exact), returnedBytes, INSTALL_DIR_UNITS);
    std::free(exact);
    FUZZ_CHECK(exactLength == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, input, size < HEADER_SIZE ? size : HEADER_SIZE);
    const uint8_t* const data = input + (size < HEADER_SIZE ? size : HEADER_SIZE);
    const size_t dataSize = size < HEADER_SIZE ? 0 : size - HEADER_SIZE;
    if (dataSize > INSTALL_DIR_BYTES) {
        return 0;  // the query fails for a value longer than the buffer; the path stays empty
    }
    const uint32_t returnedBytes = header[0] & 1 ? LittleEndian32(header + 1) : static_cast<uint32_t>(dataSize);

    // The program's buffer, exactly as large on the heap: whatever the stack held, then the
    // data the query wrote.
    const std::unique_ptr<char16_t[][INSTALL_DIR_UNITS + 1]> buffer(new char16_t[1][INSTALL_DIR_UNITS + 1]);
    char16_t(&installDir)[INSTALL_DIR_UNITS + 1] = buffer[0];
    std::memset(installDir, 0xA5, sizeof installDir);
    std::memcpy(installDir, data, dataSize);
    const std::u16string expected = ExpectedText(installDir, returnedBytes);

    const size_t length = TerminateInstallDir(installDir, returnedBytes);
    FUZZ_CHECK(length <= INSTALL_DIR_UNITS);
    FUZZ_CHECK(length == expected.size());
    FUZZ_CHECK(installDir[length] == 0);
    if (returnedBytes <= dataSize) {
        CheckReadsStayInReturnedBytes(data, returnedBytes, length);
    }

    const std::unique_ptr<char16_t[]> path(new char16_t[CONFIGURATOR_PATH_UNITS]());
    FormatConfiguratorPath(path.get(), installDir);
    const std::u16string built(path.get(), CONFIGURATOR_PATH_UNITS);
    const size_t end = built.find(u'\0');
    FUZZ_CHECK(end != std::u16string::npos);
    FUZZ_CHECK(end == length + PATH_SUFFIX_UNITS);
    FUZZ_CHECK(built.compare(0, length, expected) == 0);
    FUZZ_CHECK(built.compare(length, PATH_SUFFIX_UNITS, PATH_SUFFIX) == 0);
    return 0;
}
