#include "publish_batch.h"

#include <algorithm>
#include <utility>

namespace tidelin {

void PublishBatch::Add(const std::string& path, const fs::PathInfo& read, fs::File copy) {
    bytes_ += read.size;
    pending_.push_back(Pending{path, read, std::move(copy), std::nullopt});
}

void PublishBatch::KeepOnly(const std::string& path) noexcept {
    std::erase_if(pending_, [&path](const Pending& file) { return file.path != path; });
    bytes_ = pending_.empty() ? 0 : pending_.front().read.size;
}

PublishBatch::Published PublishBatch::Publish(const FailureReport& failed, RenameGate* gate) {
    std::vector<Pending> batch = std::exchange(pending_, {});
    bytes_ = 0;
    // One flush of each file system that holds copies still on their way (a copy lies beside
    // its source). False where that flush is not offered or fails: the caller then flushes
    // file by file, which also tells which files could not be written.
    const auto syncFileSystems = [&batch] {
        std::vector<std::uint64_t> devices;
        bool synced = true;
        for (Pending& file : batch) {
            if (!file.failure && !file.dropped && std::find(devices.begin(), devices.end(), file.read.device) == devices.end()) {
                devices.push_back(file.read.device);
                try {
                    synced = file.copy.SyncFileSystem() && synced;
                } catch (const EngineError&) {
                    synced = false;
                }
            }
        }
        return synced;
    };
    // Every copy reaches the disk before any source is replaced.
    if (!syncFileSystems()) {
        for (Pending& file : batch) {
            try {
                file.copy.Sync();
            } catch (const EngineError& error) {
                file.failure = error;
            }
        }
    }
    for (Pending& file : batch) {
        if (file.failure) {
            continue;
        }
        if (gate != nullptr && !gate->Enter()) {
            file.dropped = true;
            file.copy = fs::File();  // unnamed: its source keeps its old content
            continue;
        }
        try {
            fs::PublishOver(file.copy, std::string(), file.path, file.read);
        } catch (const EngineError& error) {
            file.failure = error;
        }
        if (gate != nullptr) {
            gate->Leave();
        }
    }
    // The new names reach the disk: one flush of each file system again, or of each folder
    // that holds a replaced file.
    if (!syncFileSystems()) {
        std::vector<std::string> folders;
        for (Pending& file : batch) {
            if (file.failure || file.dropped) {
                continue;
            }
            const std::string folder = fs::FolderOf(file.path);
            if (std::find(folders.begin(), folders.end(), folder) != folders.end()) {
                continue;
            }
            folders.push_back(folder);
            try {
                fs::SyncFolderOf(file.path);
            } catch (const EngineError& error) {
                // As without a batch: each file replaced in that folder reports the failure.
                for (Pending& other : batch) {
                    if (!other.failure && !other.dropped && fs::FolderOf(other.path) == folder) {
                        other.failure = error;
                    }
                }
            }
        }
    }
    Published published;
    published.fates.reserve(batch.size());
    for (const Pending& file : batch) {
        if (file.failure) {
            failed(file.path, *file.failure);
            published.fates.push_back(Fate::Failed);
        } else if (file.dropped) {
            published.fates.push_back(Fate::Dropped);
        } else {
            ++published.replaced;
            published.last = file.path;
            published.fates.push_back(Fate::Replaced);
        }
    }
    return published;
}

}  // namespace tidelin
