#include "page_release.h"

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
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        files_.push_back(std::move(file));
    }
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
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
