// The fixture of every test that reads the executable under test.
#pragma once

#include "tests/windows/resources/resource_module.h"

#include <gtest/gtest.h>

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = ModuleUnderTest();
        ASSERT_NE(module, nullptr) << "cannot load the executable under test";
    }

    HMODULE module = nullptr;
};
