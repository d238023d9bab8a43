#pragma once
// The arguments of a command-line tool, read the way scripts expect of any
// tool: "--name value" and "--name=value" alike, "--" ends the options (so
// a SOURCE may begin with a dash), "-" alone is an operand (standard
// output or input).
#include <functional>
#include <string>

namespace tf::platform {

class ArgumentReader {
public:
    ArgumentReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

    // Moves to the next argument; false when none is left.
    bool Next();
    // The current argument is an option ("--name" or "-x"), not an operand.
    bool IsOption() const { return option_; }
    // The option's name without any "=value", or the operand's text.
    const std::string& Text() const { return text_; }

    // The option's value: its "=value" or the next argument. False, with
    // Problem() set, when it has none or an empty one.
    bool Value(std::string& out);
    // An optional value: its "=value", or the next argument when `takes`
    // accepts it (else empty).
    std::string OptionalValue(const std::function<bool(const std::string&)>& takes);
    // True for an option that was given no "=value"; false, with Problem()
    // set, for a flag given one ("--duplicates=yes").
    bool NoValue();

    const std::string& Problem() const { return problem_; }

private:
    int argc_;
    char** argv_;
    int index_ = 0;
    bool optionsEnded_ = false;
    bool option_ = false;
    bool hasInline_ = false;
    std::string text_;
    std::string inline_;
    std::string problem_;
};

}  // namespace tf::platform
