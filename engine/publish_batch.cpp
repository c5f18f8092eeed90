#include "publish_batch.h"

#include <algorithm>
#include <utility>

namespace tidelin {

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

}  // namespace

void PublishBatch::Add(const std::string& path, const fs::PathInfo& read, fs::File copy) {
    bytes_ += read.size;
    pending_.push_back(Pending{path, read, std::move(copy), std::nullopt});
}

void PublishBatch::Publish(const FailureReport& failed) {
    std::vector<Pending> batch = std::exchange(pending_, {});
    bytes_ = 0;
    // Every copy reaches the disk before any source is replaced: one flush of each file system
    // (a copy lies beside its source), or of each copy where that flush is not offered or fails
    // (the copies' own flushes then tell which of them could not be written).
    bool eachCopy = false;
    std::vector<std::uint64_t> devices;
    for (Pending& file : batch) {
        if (std::find(devices.begin(), devices.end(), file.read.device) == devices.end()) {
            devices.push_back(file.read.device);
            try {
                eachCopy = !file.copy.SyncFileSystem() || eachCopy;
            } catch (const EngineError&) {
                eachCopy = true;
            }
        }
    }
    for (Pending& file : batch) {
        try {
            if (eachCopy) {
                file.copy.Sync();
            }
        } catch (const EngineError& error) {
            file.failure = error;
        }
    }
    std::vector<const Pending*> folders;  // a published file of each touched folder
    for (Pending& file : batch) {
        if (file.failure) {
            continue;
        }
        try {
            fs::PublishOver(file.copy, std::string(), file.path, file.read);
            // A walk lists a folder's files together, so they stand together in the batch.
            if (folders.empty() || FolderOf(folders.back()->path) != FolderOf(file.path)) {
                folders.push_back(&file);
            }
        } catch (const EngineError& error) {
            file.failure = error;
        }
        file.copy.CloseQuietly();
    }
    for (const Pending* published : folders) {
        try {
            fs::SyncFolderOf(published->path);
        } catch (const EngineError& error) {
            // As without a batch: each file replaced in that folder reports the failed flush.
            for (Pending& file : batch) {
                if (!file.failure && FolderOf(file.path) == FolderOf(published->path)) {
                    file.failure = error;
                }
            }
        }
    }
    for (const Pending& file : batch) {
        if (file.failure) {
            failed(file.path, *file.failure);
        }
    }
}

}  // namespace tidelin
