#include "platform/command_line.h"

namespace tf::platform {

bool ArgumentReader::Next() {
    while (++index_ < argc_) {
        const std::string arg = argv_[index_];
        hasInline_ = false;
        inline_.clear();
        if (!optionsEnded_ && arg == "--") {
            optionsEnded_ = true;
            continue;
        }
        option_ = !optionsEnded_ && arg.size() > 1 && arg[0] == '-';
        text_ = arg;
        if (option_ && arg.compare(0, 2, "--") == 0) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                text_ = arg.substr(0, equals);
                inline_ = arg.substr(equals + 1);
                hasInline_ = true;
            }
        }
        return true;
    }
    return false;
}

bool ArgumentReader::Value(std::string& out) {
    if (hasInline_) {
        out = inline_;
    } else if (index_ + 1 < argc_) {
        out = argv_[++index_];
    } else {
        problem_ = text_ + " needs a value";
        return false;
    }
    if (out.empty()) problem_ = text_ + " needs a value that is not empty";
    return !out.empty();
}

std::string ArgumentReader::OptionalValue(const std::function<bool(const std::string&)>& takes) {
    if (hasInline_) return inline_;
    if (index_ + 1 < argc_ && takes(argv_[index_ + 1])) return argv_[++index_];
    return std::string();
}

bool ArgumentReader::NoValue() {
    if (hasInline_) problem_ = text_ + " takes no value";
    return !hasInline_;
}

}  // namespace tf::platform
