// The CUDA stand-in behaves as the runtime does where the plug-in relies on it.
#include <hostRuntime.h>
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <thrust/device_vector.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

__global__ void countThreads(unsigned int* counter, unsigned int* lastIndex)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    atomicAdd(counter, 1u);
    atomicAdd(&lastIndex[i], i);
}

class CudaStandin : public ::testing::Test {
protected:
    void TearDown() override
    {
        cudaStandin::clearFaults();
        cudaStandin::setDeviceMemory(std::size_t(80) << 30);
        cudaGetLastError();
    }
};

TEST_F(CudaStandin, LaunchRunsEveryThreadOfTheGrid)
{
    unsigned int counter = 0;
    std::vector<unsigned int> indices(7 * 33, 0);
    hostLaunch("countThreads", countThreads, dim3(7), dim3(33), &counter, indices.data());
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(counter, 7u * 33u);
    for (unsigned int i = 0; i < indices.size(); ++i)
        ASSERT_EQ(indices[i], i);
}

TEST_F(CudaStandin, RefusedConfigurationsDoNotRunAndLeaveTheError)
{
    unsigned int counter = 0;
    std::vector<unsigned int> indices(2048, 0);
    const dim3 refused[][2] = {{dim3(0), dim3(32)}, {dim3(1), dim3(0)}, {dim3(1), dim3(1025)},
                               {dim3(2147483648u), dim3(1)}, {dim3(1), dim3(32, 32, 2)}};
    for (const auto& config : refused) {
        hostLaunch("countThreads", countThreads, config[0], config[1], &counter, indices.data());
        EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
        EXPECT_EQ(cudaGetLastError(), cudaSuccess) << "reading the error clears it";
    }
    EXPECT_EQ(counter, 0u);
    EXPECT_STREQ(cudaGetErrorString(cudaErrorInvalidConfiguration), "invalid configuration argument");
    hostLaunch("countThreads", countThreads, dim3(2), dim3(1024), &counter, indices.data());
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(counter, 2048u);
}

// Faults can be armed only on the kernels the product launches, so the test kernel launches under one's name.
cudaError_t launchAsDetectCells(unsigned int& counter)
{
    std::vector<unsigned int> indices(1, 0);
    hostLaunch("detectCells", countThreads, dim3(1), dim3(1), &counter, indices.data());
    return cudaGetLastError();
}

TEST_F(CudaStandin, NamedLaunchFaultFiresOnceOnTheChosenLaunch)
{
    unsigned int counter = 0;
    cudaStandin::failNextLaunch("detectCells", "cudaErrorLaunchFailure", 1);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);
    EXPECT_EQ(launchAsDetectCells(counter), cudaErrorLaunchFailure);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);
    EXPECT_EQ(counter, 2u);
}

TEST_F(CudaStandin, EveryArmedFaultCountsTheCallsMadeSinceItWasArmed)
{
    unsigned int counter = 0;
    // Both count the first launch: the later-armed one fires on it, the earlier one on the next.
    cudaStandin::failNextLaunch("detectCells", "cudaErrorInvalidValue", 1);
    cudaStandin::failNextLaunch("detectCells", "cudaErrorLaunchFailure", 0);
    EXPECT_EQ(launchAsDetectCells(counter), cudaErrorLaunchFailure);
    EXPECT_EQ(launchAsDetectCells(counter), cudaErrorInvalidValue);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);

    // A fault armed after a launch does not count it; when two fire together the first armed gives the error.
    cudaStandin::failNextLaunch("detectCells", "cudaErrorInvalidValue", 1);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);
    cudaStandin::failNextLaunch("detectCells", "cudaErrorLaunchFailure", 0);
    EXPECT_EQ(launchAsDetectCells(counter), cudaErrorInvalidValue);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess) << "both faults were spent";
    EXPECT_EQ(counter, 3u);

    // The runtime's own calls keep to the same meaning.
    void* buffer = nullptr;
    cudaStandin::failMalloc("cudaErrorMemoryAllocation");
    cudaStandin::failMalloc("cudaErrorInvalidValue");
    EXPECT_EQ(cudaMalloc(&buffer, 16), cudaErrorMemoryAllocation);
    ASSERT_EQ(cudaMalloc(&buffer, 16), cudaSuccess);
    EXPECT_EQ(cudaFree(buffer), cudaSuccess);
}

TEST_F(CudaStandin, ArmingANameNoCallChecksIsRefused)
{
    try {
        cudaStandin::failNextLaunch("detectCell");
        FAIL() << "a misspelt kernel was armed";
    } catch (const std::invalid_argument& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("\"detectCell\""), std::string::npos) << message;
        EXPECT_NE(message.find("chooseSamplesInCells"), std::string::npos) << "the known names are listed: " << message;
    }
    EXPECT_THROW(cudaStandin::failNextLaunch("curandGenerateUniform"), std::invalid_argument);
    EXPECT_THROW(cudaStandin::failCurandCall("detectCells"), std::invalid_argument);
    EXPECT_THROW(cudaStandin::failCurandCall("curandGenerateNormal"), std::invalid_argument);
    unsigned int counter = 0;
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess) << "a refused fault arms nothing";
}

TEST_F(CudaStandin, LastErrorIsPerHostThread)
{
    unsigned int counter = 0;
    std::vector<unsigned int> indices(1, 0);
    std::atomic<int> step{0};
    cudaError_t seenByOther = cudaErrorUnknown;
    std::thread other([&] {
        while (step < 1)
            std::this_thread::yield();
        seenByOther = cudaGetLastError();  // after this thread's launch failed
        hostLaunch("countThreads", countThreads, dim3(0), dim3(1), &counter, indices.data());
        step = 2;
    });
    hostLaunch("countThreads", countThreads, dim3(1), dim3(2048), &counter, indices.data());
    step = 1;
    while (step < 2)
        std::this_thread::yield();
    other.join();
    EXPECT_EQ(seenByOther, cudaSuccess);
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess) << "the other thread's error stays with it";
}

TEST_F(CudaStandin, FreeMemoryFallsWhileBuffersAndDeviceVectorsAreHeld)
{
    cudaStandin::setDeviceMemory(1000000);
    size_t freeBytes = 0, totalBytes = 0;
    ASSERT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);
    const size_t baseline = freeBytes;
    EXPECT_EQ(totalBytes, 1000000u);

    void* buffer = nullptr;
    ASSERT_EQ(cudaMalloc(&buffer, 4000), cudaSuccess);
    {
        thrust::device_vector<float> v(1000, 0.0f);
        cudaMemGetInfo(&freeBytes, &totalBytes);
        EXPECT_EQ(freeBytes, baseline - 4000 - 4000);
    }
    cudaMemGetInfo(&freeBytes, &totalBytes);
    EXPECT_EQ(freeBytes, baseline - 4000);
    EXPECT_EQ(cudaFree(buffer), cudaSuccess);
    cudaMemGetInfo(&freeBytes, &totalBytes);
    EXPECT_EQ(freeBytes, baseline);

    EXPECT_EQ(cudaMalloc(&buffer, 2000000), cudaErrorMemoryAllocation);
    EXPECT_THROW(thrust::device_vector<float>(1000000, 0.0f), std::bad_alloc);
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), 1000000 - baseline);
    EXPECT_EQ(cudaFree(reinterpret_cast<void*>(0x1234)), cudaErrorInvalidValue);
}

TEST_F(CudaStandin, InjectedMemoryFaults)
{
    size_t freeBytes = 0, totalBytes = 0;
    cudaStandin::failMemGetInfo("cudaErrorInitializationError");
    EXPECT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaErrorInitializationError);
    EXPECT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);

    cudaStandin::setFreeMemoryForQuery(123, 1);
    cudaMemGetInfo(&freeBytes, &totalBytes);
    EXPECT_NE(freeBytes, 123u);
    cudaMemGetInfo(&freeBytes, &totalBytes);
    EXPECT_EQ(freeBytes, 123u);

    const size_t before = cudaStandin::deviceBytesInUse();
    cudaStandin::failDeviceVectorAllocation();
    EXPECT_THROW(thrust::device_vector<unsigned int>(10, 0u), std::bad_alloc);
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), before);

    void* buffer = nullptr;
    cudaStandin::failMalloc();
    EXPECT_EQ(cudaMalloc(&buffer, 16), cudaErrorMemoryAllocation);
    ASSERT_EQ(cudaMalloc(&buffer, 16), cudaSuccess);
    cudaStandin::failFree();
    EXPECT_EQ(cudaFree(buffer), cudaErrorInvalidValue);
    EXPECT_EQ(cudaFree(buffer), cudaSuccess);
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), before);
}

// The product asks for a device generator in both builds; here it gets the host generator and its sequence.
TEST_F(CudaStandin, CreateGeneratorMakesTheHostGenerator)
{
    const auto uniforms = [](decltype(&curandCreateGenerator) create) {
        std::vector<float> numbers(1000, -1.0f);
        curandGenerator_t generator;
        EXPECT_EQ(create(&generator, CURAND_RNG_PSEUDO_DEFAULT), CURAND_STATUS_SUCCESS);
        EXPECT_EQ(curandSetPseudoRandomGeneratorSeed(generator, 1234), CURAND_STATUS_SUCCESS);
        EXPECT_EQ(curandGenerateUniform(generator, numbers.data(), numbers.size()), CURAND_STATUS_SUCCESS);
        EXPECT_EQ(curandDestroyGenerator(generator), CURAND_STATUS_SUCCESS);
        return numbers;
    };
    cudaStandin::clearLaunchCounts();
    const std::vector<float> made = uniforms(curandCreateGenerator);
    EXPECT_EQ(cudaStandin::curandCallCount("curandCreateGenerator"), 1);
    EXPECT_EQ(made, uniforms(curandCreateGeneratorHost)) << "the real library's host generator, seeded alike";

    curandGenerator_t generator;
    cudaStandin::failCurandCall("curandCreateGenerator", "CURAND_STATUS_ALLOCATION_FAILED");
    EXPECT_EQ(curandCreateGenerator(&generator, CURAND_RNG_PSEUDO_DEFAULT), CURAND_STATUS_ALLOCATION_FAILED);
    EXPECT_THROW(cudaStandin::failCurandCall("curandCreateGeneratorHost"), std::invalid_argument)
        << "the stand-in does not intercept the host generator's own call";
}

}  // namespace
