#include "listing/formats/report_file.h"

#include <cerrno>
#include <cstdio>

namespace tf::listing {
namespace {

// The code of the call that just failed; some C libraries leave errno unset
// on a short write.
int LastError() { return errno ? errno : EIO; }

}  // namespace

int ReportFile::Create() { return Write("wb"); }

int ReportFile::Flush() { return pending_.empty() ? 0 : Write("ab"); }

int ReportFile::Write(const char* mode) {
    errno = 0;
    std::FILE* f = std::fopen(path_.c_str(), mode);
    int error = f ? 0 : LastError();
    if (f) {
        errno = 0;
        if (!pending_.empty() && std::fwrite(pending_.data(), 1, pending_.size(), f) != pending_.size())
            error = LastError();
        errno = 0;
        if (std::fclose(f) != 0 && !error) error = LastError();
    }
    pending_.clear();  // what failed is not tried again: a full disk stays full
    return error;
}

}  // namespace tf::listing
