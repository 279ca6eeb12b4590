#include <gtest/gtest.h>

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

}  // namespace
