// The CPU road's runtime behaves as the CUDA runtime does where the stages rely on it.
#include <hostRuntime.h>
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <thrust/device_vector.h>
#include <thrust/sort.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <algorithm>
#include <vector>

namespace {

__global__ void countThreads(unsigned int* counter, unsigned int* lastIndex)
{
    const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
    atomicAdd(counter, 1u);
    atomicAdd(&lastIndex[i], i);
}

// Each block notes the host thread that ran it.
std::mutex runnersMutex;
std::set<std::thread::id>* runners = nullptr;

__global__ void noteRunner(int* sum)
{
    atomicAdd(sum, 1);
    std::lock_guard<std::mutex> lock(runnersMutex);
    runners->insert(std::this_thread::get_id());
}

// The state letter of every thread of this process whose name is `name` (R running, S sleeping, ...).
std::vector<char> threadStates(const std::string& name)
{
    std::vector<char> states;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name)
            continue;
        std::string stat;
        std::getline(std::ifstream(task.path() / "stat"), stat);
        const std::size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size())
            states.push_back(stat[close + 2]);
    }
    return states;
}

class HostRuntime : public ::testing::Test {
protected:
    void TearDown() override
    {
        cudaStandin::clearFaults();
        cudaStandin::setDeviceMemory(std::size_t(80) << 30);
        cudaGetLastError();
    }
};

TEST_F(HostRuntime, LaunchRunsEveryThreadOfTheGrid)
{
    unsigned int counter = 0;
    std::vector<unsigned int> indices(7 * 33, 0);
    hostLaunch("countThreads", countThreads, dim3(7), dim3(33), &counter, indices.data());
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(counter, 7u * 33u);
    for (unsigned int i = 0; i < indices.size(); ++i)
        ASSERT_EQ(indices[i], i);
}

TEST_F(HostRuntime, RefusedConfigurationsDoNotRunAndLeaveTheError)
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

TEST_F(HostRuntime, NamedLaunchFaultFiresOnceOnTheChosenLaunch)
{
    unsigned int counter = 0;
    cudaStandin::failNextLaunch("detectCells", "cudaErrorLaunchFailure", 1);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);
    EXPECT_EQ(launchAsDetectCells(counter), cudaErrorLaunchFailure);
    EXPECT_EQ(launchAsDetectCells(counter), cudaSuccess);
    EXPECT_EQ(counter, 2u);
}

TEST_F(HostRuntime, EveryArmedFaultCountsTheCallsMadeSinceItWasArmed)
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

TEST_F(HostRuntime, ArmingANameNoCallChecksIsRefused)
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

// Launches from several host threads at once, as Maya's parallel evaluation makes them, share one pool: no more
// threads run kernels than the pool's and the callers' own. Between launches the pool's threads sleep.
TEST_F(HostRuntime, ConcurrentLaunchesShareOnePoolWhoseThreadsSleepBetweenLaunches)
{
    cudaStandin::setKernelThreads(3);
    std::set<std::thread::id> ran;
    runners = &ran;
    std::set<std::thread::id> callers;
    std::vector<std::thread> hosts;
    std::vector<int> sums(4, 0);
    for (int h = 0; h < 4; ++h)
        hosts.emplace_back([&, h] {
            {
                std::lock_guard<std::mutex> lock(runnersMutex);
                callers.insert(std::this_thread::get_id());
            }
            for (int launch = 0; launch < 20; ++launch)
                hostLaunch("countThreads", noteRunner, dim3(64), dim3(8), &sums[h]);
        });
    for (std::thread& host : hosts)
        host.join();
    runners = nullptr;
    for (int sum : sums)
        EXPECT_EQ(sum, 20 * 64 * 8);
    std::set<std::thread::id> pool;
    for (const std::thread::id& id : ran)
        if (!callers.count(id))
            pool.insert(id);
    EXPECT_LE(pool.size(), 2u) << "three threads a launch: the caller and two of the pool's";
    EXPECT_EQ(threadStates("kyScatterCPU").size(), 2u);

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (char state : threadStates("kyScatterCPU"))
        EXPECT_NE(state, 'R') << "an idle pool thread sleeps";
    cudaStandin::setKernelThreads(0);
}

TEST_F(HostRuntime, LastErrorIsPerHostThread)
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

TEST_F(HostRuntime, FreeMemoryFallsWhileBuffersAndDeviceVectorsAreHeld)
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

TEST_F(HostRuntime, InjectedMemoryFaults)
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

// The stages' stable sorts run on the pool: the one order a stable sort has, on any number of threads, for keys that
// share their high bytes (passes skipped) or not, and a sort whose scratch is not there fails as Thrust's does.
TEST_F(HostRuntime, StableSortByKeyOnThePoolKeepsTheStableOrder)
{
    std::mt19937 random(7);
    for (const std::size_t count : {std::size_t(1), std::size_t(1000), std::size_t(300001)}) {
        for (const unsigned int range : {50u, 70000u, 0xFFFFFFFFu}) {
            std::vector<unsigned int> keys(count), values(count);
            for (std::size_t i = 0; i < count; ++i) {
                keys[i] = random() % range;
                values[i] = static_cast<unsigned int>(i);
            }
            std::vector<std::size_t> order(count);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
            for (int threads : {1, 2, 3, 8}) {
                cudaStandin::setKernelThreads(threads);
                thrust::device_vector<unsigned int> k(keys.begin(), keys.end()), v(values.begin(), values.end());
                thrust::stable_sort_by_key(k.begin(), k.end(), v.begin(), thrust::less<unsigned int>());
                std::vector<unsigned int> sortedValues(count);
                thrust::copy(v.begin(), v.end(), sortedValues.begin());
                bool same = true;
                for (std::size_t i = 0; i < count && same; ++i)
                    same = sortedValues[i] == order[i] && k[i] == keys[order[i]];
                EXPECT_TRUE(same) << count << " keys below " << range << " on " << threads << " threads";
            }
        }
    }
    cudaStandin::setKernelThreads(0);

    thrust::device_vector<unsigned int> k(1000, 5u), v(1000, 0u);
    const size_t before = cudaStandin::deviceBytesInUse();
    cudaStandin::setDeviceMemory(before + 7999);
    EXPECT_THROW(thrust::stable_sort_by_key(k.begin(), k.end(), v.begin(), thrust::less<unsigned int>()),
                 std::bad_alloc);
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), before) << "the scratch is given back";
}

// The product asks for a device generator in both builds; here it gets the host generator and its sequence.
TEST_F(HostRuntime, CreateGeneratorMakesTheHostGenerator)
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
        << "the host generator's own call is not intercepted";
}

}  // namespace
