#include <gtest/gtest.h>

#include <memory>

#include "app/install_dir.h"

namespace {

TEST(RegistryTextLengthTest, StopsAtTheFirstZeroOrTheEndOfTheData)
{
    const char16_t text[] = u"C:\\QUIB\\\0tail";
    const struct {
        const char* name;
        uint32_t bytes;
        size_t capacity;
        size_t length;
    } cases[] = {
        {"terminated", sizeof text, 260, 8},
        {"the returned data ends before the zero", 10, 260, 5},
        {"odd byte count drops the half unit", 11, 260, 5},
        {"one byte is no unit", 1, 260, 0},
        {"no data", 0, 260, 0},
        {"capacity limits the read", sizeof text, 3, 3},
        {"byte count larger than capacity", 0xFFFFFFFFu, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RegistryTextLength(text, c.bytes, c.capacity), c.length);
    }
}

TEST(RegistryTextLengthTest, FullBufferWithoutTerminatorIsWhole)
{
    char16_t data[260];
    for (char16_t& unit : data) {
        unit = u'x';
    }
    EXPECT_EQ(RegistryTextLength(data, 520, 260), 260u);
}

// The query may fill the buffer's 260 units without a zero: the text is then all of them,
// and the zero goes in the one unit kept for it (AddressSanitizer watches the edge).
TEST(TerminateInstallDirTest, EndsTheTextInsideTheBuffer)
{
    const struct {
        const char* name;
        uint32_t bytes;
        size_t zeroAt;  // 0 for none
        size_t length;
    } cases[] = {
        {"all 520 bytes, no zero", INSTALL_DIR_BYTES, 0, 260},
        {"a byte count past the buffer", 0xFFFFFFFFu, 0, 260},
        {"an odd byte count", 11, 0, 5},
        {"a zero inside the data", INSTALL_DIR_BYTES, 7, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto buffer = std::make_unique<char16_t[][INSTALL_DIR_UNITS + 1]>(1);
        char16_t(&text)[INSTALL_DIR_UNITS + 1] = buffer[0];
        for (char16_t& unit : text) {
            unit = u'x';
        }
        if (c.zeroAt != 0) {
            text[c.zeroAt] = 0;
        }
        EXPECT_EQ(TerminateInstallDir(text, c.bytes), c.length);
        EXPECT_EQ(text[c.length], 0);
    }
}

}  // namespace
