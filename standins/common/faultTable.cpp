#include "faultTable.h"

#include <algorithm>
#include <stdexcept>

namespace standinFaults {

FaultTable::FaultTable(std::vector<std::string> checkedCalls) : checkedCalls_(std::move(checkedCalls)) {}

void FaultTable::arm(const std::string& name, long long code, int skip)
{
    if (std::find(checkedCalls_.begin(), checkedCalls_.end(), name) == checkedCalls_.end()) {
        std::string known;
        for (const std::string& call : checkedCalls_)
            known += (known.empty() ? "" : ", ") + call;
        throw std::invalid_argument("no call checks the fault \"" + name + "\"; the calls checked are " + known);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    armed_.push_back({name, code, std::max(skip, 0)});
    any_ = true;
}

std::optional<long long> FaultTable::take(std::string_view name)
{
    if (!any_)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<long long> code;
    for (auto it = armed_.begin(); it != armed_.end();) {
        if (it->name != name) {
            ++it;
        } else if (it->callsToSkip > 0) {
            --it->callsToSkip;
            ++it;
        } else {
            if (!code)
                code = it->code;
            it = armed_.erase(it);
        }
    }
    any_ = !armed_.empty();
    return code;
}

void FaultTable::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    armed_.clear();
    any_ = false;
}

}  // namespace standinFaults
