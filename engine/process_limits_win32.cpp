// What this process may run and open on Windows.
#include "process_limits.h"

namespace tidelin {

// One thread: a walk on Windows goes through the named work file, one file at a time.
unsigned ThreadCount() { return 1; }

// Handles are limited by memory alone.
std::size_t FreeDescriptors() { return std::size_t{1} << 20; }

}  // namespace tidelin
