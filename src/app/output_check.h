#pragma once
// Whether the file a command would write is one it reads: the report would
// replace its own input. Compared by the files' identity, links followed.
#include <string>
#include <vector>

#include "platform/content_hash.h"

namespace tf::app {

// The input `output` is, or "".
inline std::string OutputIsInput(const std::string& output, const std::vector<std::string>& inputs) {
    platform::ContentIdentity written;
    if (output.empty() || output == "-" || !platform::FileIdentityOf(output, written)) return std::string();
    for (const std::string& input : inputs) {
        platform::ContentIdentity read;
        if (platform::FileIdentityOf(input, read) && read.device == written.device && read.inode == written.inode)
            return input;
    }
    return std::string();
}

}  // namespace tf::app
