// The arguments of a tool, read as scripts write them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/command_line.h"

namespace tf::platform {
namespace {

// Reads every argument as "option=value" or "operand"; `valued` options
// take a value, the rest are flags.
std::vector<std::string> Read(std::vector<std::string> args, const std::vector<std::string>& valued,
                              std::string* problem = nullptr) {
    args.insert(args.begin(), "tool");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    ArgumentReader reader(static_cast<int>(argv.size()), argv.data());
    std::vector<std::string> seen;
    while (reader.Next()) {
        if (!reader.IsOption()) {
            seen.push_back(reader.Text());
            continue;
        }
        std::string value;
        const bool takes = std::find(valued.begin(), valued.end(), reader.Text()) != valued.end();
        if (takes ? !reader.Value(value) : !reader.NoValue()) {
            if (problem) *problem = reader.Problem();
            seen.push_back("!");
            break;
        }
        seen.push_back(reader.Text() + "=" + value);
    }
    return seen;
}

TEST(ArgumentReader, ValuesFollowOrAreJoinedAndDoubleDashEndsOptions) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Read({"--format", "csv", "src", "--output=a=b", "-"}, {"--format", "--output"}),
              (V{"--format=csv", "src", "--output=a=b", "-"}));
    // A value may itself begin with a dash; after "--" everything is an operand.
    EXPECT_EQ(Read({"--output", "--", "--format", "-x"}, {"--output", "--format"}),
              (V{"--output=--", "--format=-x"}));
    EXPECT_EQ(Read({"--", "--format", "-x", "--"}, {"--format"}), (V{"--format", "-x", "--"}));

    std::string problem;
    EXPECT_EQ(Read({"--format"}, {"--format"}, &problem), V{"!"});
    EXPECT_EQ(problem, "--format needs a value");
    EXPECT_EQ(Read({"--format="}, {"--format"}, &problem), V{"!"});
    EXPECT_EQ(problem, "--format needs a value that is not empty");
    EXPECT_EQ(Read({"--flag=1"}, {}, &problem), V{"!"});
    EXPECT_EQ(problem, "--flag takes no value");
}

}  // namespace
}  // namespace tf::platform
