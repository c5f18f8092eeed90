// Closes replaced sources on a thread of its own. The last close of a file that a rename has
// replaced frees all its pages, which for a large file takes a while that the window need not
// wait for: the conversion is over when the new content has its name.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "filesystem.h"

namespace tidelin {

class PageRelease {
public:
    PageRelease() = default;
    // Closes whatever is still handed over before it returns.
    ~PageRelease();
    PageRelease(const PageRelease&) = delete;
    PageRelease& operator=(const PageRelease&) = delete;

    // Closes `file` on the releasing thread, started on first use.
    void Hand(fs::File file);

private:
    void Run();

    std::deque<fs::File> files_;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable handed_;
    std::thread thread_;
};

}  // namespace tidelin
