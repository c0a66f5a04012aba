#pragma once

#include <stdexcept>
#include <string>

namespace kyscatter {

// Bad command line: the tool exits with status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// Anything that goes wrong after the command line was accepted: exit status 1.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kyscatter
