#include "listing/formats/report_file.h"

#include <cerrno>

namespace tf::listing {

int ReportFile::Create() {
    error_ = file_.Open();
    open_ = error_ == 0;
    return error_ ? error_ : Flush();
}

int ReportFile::Flush() {
    if (!error_ && !open_) error_ = EBADF;
    if (!error_ && !pending_.empty()) error_ = file_.Write(pending_.data(), pending_.size());
    pending_.clear();
    return error_;
}

int ReportFile::Commit() {
    Flush();
    if (error_) {
        file_.Discard();
        return error_;
    }
    open_ = false;
    return error_ = file_.Commit();
}

}  // namespace tf::listing
