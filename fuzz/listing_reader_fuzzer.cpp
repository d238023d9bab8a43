// The saved-listing reader on any bytes, through the comparison (which
// reads with the replay's reader and checks). A listing it accepts,
// compared with itself, differs nowhere but in folders neither side read;
// one it refuses says where, within the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "snapshot/snapshot_diff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/tallyfold-fuzz-listing-" + std::to_string(getpid()) + ".jsonl";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    const tf::snapshot::DiffResult result = tf::snapshot::DiffListings(path, path);
    if (!result.ok) {
        if (result.error.compare(0, path.size() + 1, path + ":") != 0) __builtin_trap();
        std::size_t lines = 1;
        for (std::size_t i = 0; i < size; ++i) lines += data[i] == '\n';
        const std::size_t line = std::strtoull(result.error.c_str() + path.size() + 1, nullptr, 10);
        if (line > lines) __builtin_trap();
        return 0;
    }
    for (const tf::snapshot::DiffItem& item : result.items)
        if (item.change != tf::snapshot::Change::kNotRead) __builtin_trap();
    if (result.oldTotal.count != result.newTotal.count || result.oldTotal.bytes != result.newTotal.bytes)
        __builtin_trap();
    return 0;
}
