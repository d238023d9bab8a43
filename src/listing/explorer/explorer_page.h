#pragma once
// The explorer page as built from src/listing/explorer: everything before
// the listing data and everything after it.
#include <cstddef>

namespace tf::listing {

extern const char kExplorerPageHead[];
extern const std::size_t kExplorerPageHeadSize;
extern const char kExplorerPageTail[];
extern const std::size_t kExplorerPageTailSize;

}  // namespace tf::listing
