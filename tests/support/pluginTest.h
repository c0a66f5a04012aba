// The GoogleTest fixture of the node-level tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "scatterHarness.h"

namespace harness {

// Loads the plug-in once for a test suite; every test must give back each device byte, and leaves no fault armed.
class PluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    std::size_t baseline_ = 0;
};

}  // namespace harness
