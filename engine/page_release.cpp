#include "page_release.h"

#include "process_limits.h"

namespace tidelin {

PageRelease::~PageRelease() {
    if (!thread_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    handed_.notify_one();
    thread_.join();
}

void PageRelease::Hand(fs::File file) {
    if (!thread_.joinable()) {
        thread_ = StartThread([this] { Run(); });
        if (!thread_.joinable()) {
            file.CloseQuietly();  // no thread to be had: closed here, as without one
            return;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        files_.push_back(std::move(file));
    }
    handed_.notify_one();
}

void PageRelease::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        handed_.wait(lock, [this] { return stop_ || !files_.empty(); });
        if (files_.empty()) {
            return;  // stopped, and nothing left to close
        }
        fs::File file = std::move(files_.front());
        files_.pop_front();
        lock.unlock();
        file.CloseQuietly();
        lock.lock();
    }
}

}  // namespace tidelin
