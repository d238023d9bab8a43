#pragma once
// The edge of a command-line tool: an exception that reaches its main is
// printed and the tool exits with its failure code, instead of ending
// without a word.
#include <cstdio>
#include <exception>

namespace tf::platform {

template <class Run>
int GuardedMain(const char* tool, int failureCode, Run&& run) noexcept {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", tool, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unknown failure\n", tool);
    }
    return failureCode;
}

}  // namespace tf::platform
