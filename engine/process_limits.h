// What this process may run and open at once: the threads a conversion may use, and how many
// more files it may open.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace tidelin {

// The threads that convert: TIDELIN_THREADS when it holds a whole number from 1, else the
// processors this process may run on. With two or more, a walk's own thread, which only hands
// the files out and takes them back, comes on top; with one, it converts them itself. Always
// 1 on Windows, where a walk goes through the named work file.
unsigned ThreadCount();

// Starts `work` on a thread of its own. A thread the system will not start (a limit on this
// user's processes or threads reached) is no failure: the result is then not joinable and the
// caller does the work on its own thread.
std::thread StartThread(std::function<void()> work);
// For tests: only `count` more threads start, none after them (a negative count: no limit).
void SetThreadsThatStart(int count);

// How many more files this process may open now: the soft limit on open descriptors less
// those open (a large number where the system sets no useful limit).
std::size_t FreeDescriptors();

}  // namespace tidelin
