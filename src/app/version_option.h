// --version for every command-line tool: "NAME VERSION" on stdout.
#pragma once

#include <cstdio>
#include <cstring>

#include "app/version.h"

namespace tf::app {

// True when --version comes before any "--"; the caller then ends with 0.
inline bool AnswerVersion(int argc, char** argv, const char* tool) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", tool, TALLYFOLD_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace tf::app
