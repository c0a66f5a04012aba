#include "pluginTest.h"

#include <cudaStandinControls.h>
#include <mayaStandin/host.h>

namespace harness {

void PluginTest::SetUpTestSuite()
{
    CapturedOutput quiet;
    ASSERT_EQ(mayaStandin::loadPlugin(pluginPath()), MS::kSuccess);
}

void PluginTest::TearDownTestSuite()
{
    CapturedOutput quiet;
    mayaStandin::unloadPlugin(pluginPath());
}

void PluginTest::SetUp()
{
    baseline_ = cudaStandin::deviceBytesInUse();
}

void PluginTest::TearDown()
{
    cudaStandin::clearFaults();
    mayaStandin::clearFaults();
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), baseline_) << "device memory given back";
}

}  // namespace harness
