// Faults that tests arm on the named calls of a stand-in, with one meaning in every stand-in: an armed fault counts
// the matching calls made after it was armed, fires on the (skip + 1)-th with its code and is gone. When several
// fire on one call, the one armed first gives the call its code; all that fired are spent.
#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standinFaults {

// Compiled into each stand-in library and kept private to it, so each library has its own.
class __attribute__((visibility("hidden"))) FaultTable {
public:
    // The names of the calls that check this table; no other name can be armed.
    explicit FaultTable(std::vector<std::string> checkedCalls);
    FaultTable(const FaultTable&) = delete;
    FaultTable& operator=(const FaultTable&) = delete;

    // A negative skip counts as none. Throws std::invalid_argument when no call checks `name`, so that a misspelt
    // name in a test cannot arm nothing.
    void arm(const std::string& name, long long code, int skip);
    // Called by each checked call: counts it and gives the code it must fail with, if a fault fires.
    std::optional<long long> take(std::string_view name);
    void clear();

private:
    struct Fault {
        std::string name;
        long long code;
        int callsToSkip;
    };

    const std::vector<std::string> checkedCalls_;
    std::mutex mutex_;
    std::list<Fault> armed_;        // in the order they were armed
    std::atomic<bool> any_{false};  // lets unarmed calls pass without the lock
};

}  // namespace standinFaults
