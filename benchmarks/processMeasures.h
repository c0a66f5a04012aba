// What a benchmark reads of its own process: processor time, every thread's, and resident memory from the kernel.
#pragma once

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

// The processor time of the whole process, every thread's: threads that spin while they wait show here.
inline double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 where the kernel gives none.
inline double statusBytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return 1024.0 * std::stod(line.substr(prefix.size()));
    return -1.0;
}

// Sets the peak resident memory back to what is resident now, so that the next peak is the next work's; false where
// the kernel does not allow it.
inline bool resetPeakMemory()
{
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (refs == nullptr)
        return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}
