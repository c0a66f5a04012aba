#include "stageClock.h"

#include <cuda_runtime_api.h>

StageSeconds& StageSeconds::operator+=(const StageSeconds& other)
{
    areas += other.areas;
    candidates += other.candidates;
    cellTable += other.cellTable;
    phases += other.phases;
    selection += other.selection;
    collect += other.collect;
    return *this;
}

void StageClock::start()
{
    seconds_ = StageSeconds();
    skip();
}

double StageClock::lap()
{
    cudaDeviceSynchronize();
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    return seconds;
}

void StageClock::skip()
{
    cudaDeviceSynchronize();
    last_ = std::chrono::steady_clock::now();
}
