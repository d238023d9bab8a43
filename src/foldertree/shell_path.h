#pragma once
// Shell parsing paths in the form the tree's keys expect.
#include <string>

namespace tf::foldertree {

// Class-identifier segments ("::{...}") in upper case, as Windows reports
// them (some shells give them in lower case), and no trailing backslash
// except on a drive root.
std::string CanonicalShellPath(std::string path);

}  // namespace tf::foldertree
