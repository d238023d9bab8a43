#pragma once
// Threads that work ahead of another (reading folders, or an earlier
// listing, before the scan needs them) run at a lower priority than the
// thread they serve. On a busy processor the scan then gets the time it
// needs when it needs it, and what is read ahead fills the rest, instead of
// the scan falling behind and finishing alone after the readers are done.

namespace tf::platform {

// Lowers the calling thread's priority a step; other threads keep theirs.
void LowerThreadPriority();

}  // namespace tf::platform
