#include "blockPool.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "hostRuntimeHooks.h"

namespace hostRuntime {
namespace {

// The processors this process may run on, which a host or a farm's scheduler may limit.
int availableProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return std::max(1u, std::thread::hardware_concurrency());
}

int wantedThreads()
{
    static const int processors = availableProcessors();
    const int asked = kyHostRuntimeHooks != nullptr ? kyHostRuntimeHooks()->threadCount() : 0;
    return asked > 0 ? asked : processors;
}

class BlockPool {
public:
    BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;
    ~BlockPool() { stopWorkers(); }

    int ensureThreads();
    void run(long long count, BlockRun run, const void* launch, int threads);

private:
    struct Job {
        BlockRun run;
        const void* launch;
        long long count;
        long long chunk;
        long long next;  // the first block nobody has claimed
        long long left;  // blocks not yet run
    };

    bool claim(Job& job, long long& begin, long long& end);
    void finish(Job& job, long long blocks);
    void work();
    void startWorkers(int count);
    void stopWorkers();

    std::mutex mutex_;
    std::condition_variable wake_;      // a job arrived, or the workers must stop
    std::condition_variable finished_;  // some job ran its last block
    std::deque<Job*> queue_;            // jobs with blocks nobody has claimed, oldest first
    bool stopping_ = false;
    std::mutex resizing_;
    std::vector<std::thread> workers_;
};

int BlockPool::ensureThreads()
{
    const int wanted = wantedThreads();
    std::lock_guard<std::mutex> resizing(resizing_);
    if (wanted != static_cast<int>(workers_.size()) + 1) {
        stopWorkers();
        startWorkers(wanted - 1);
    }
    return wanted;
}

// Under the lock. A job leaves the queue once all its blocks are claimed.
bool BlockPool::claim(Job& job, long long& begin, long long& end)
{
    if (job.next >= job.count)
        return false;
    begin = job.next;
    end = std::min(job.count, begin + job.chunk);
    job.next = end;
    if (end == job.count)
        queue_.erase(std::find(queue_.begin(), queue_.end(), &job));
    return true;
}

void BlockPool::finish(Job& job, long long blocks)
{
    std::lock_guard<std::mutex> lock(mutex_);
    job.left -= blocks;
    if (job.left == 0)
        finished_.notify_all();
}

void BlockPool::run(long long count, BlockRun run, const void* launch, int threads)
{
    Job job{run, launch, count, std::max(1LL, count / (4LL * threads)), 0, count};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(&job);
    }
    wake_.notify_all();
    // The caller works on its own launch only, so that it returns as soon as that is done.
    for (;;) {
        long long begin = 0, end = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!claim(job, begin, end))
                break;
        }
        run(launch, begin, end);
        finish(job, end - begin);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] { return job.left == 0; });
}

void BlockPool::work()
{
    for (;;) {
        Job* job = nullptr;
        long long begin = 0, end = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            job = queue_.front();
            claim(*job, begin, end);
        }
        job->run(job->launch, begin, end);
        finish(*job, end - begin);
    }
}

void BlockPool::startWorkers(int count)
{
    stopping_ = false;
    for (int i = 0; i < count; ++i) {
        workers_.emplace_back([this] { work(); });
        pthread_setname_np(workers_.back().native_handle(), "kyScatterCPU");
    }
}

// Workers finish the jobs still queued before they leave.
void BlockPool::stopWorkers()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
}

BlockPool& pool()
{
    static BlockPool instance;
    return instance;
}

}  // namespace

void runBlocks(long long count, BlockRun run, const void* launch)
{
    const int threads = pool().ensureThreads();
    if (threads == 1 || count <= 1) {
        run(launch, 0, count);
        return;
    }
    pool().run(count, run, launch, threads);
}

int kernelThreadCount()
{
    return pool().ensureThreads();
}

}  // namespace hostRuntime
