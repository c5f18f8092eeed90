// The converted copies of a folder walk that wait to replace their sources together. Instead
// of flushing each file and its folder, a batch flushes the file system that holds its copies
// once before any copy is renamed, puts each copy in the place of its source while that source
// is unchanged, then flushes the file system once more for the new names. Where that flush is
// not offered or fails, it flushes each copy and then each touched folder instead. Every copy
// is durable before its rename and every rename is durable when the batch ends, so after a
// crash at any moment each source holds either its old or its new content, and an unnamed
// copy leaves nothing behind.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tidelin/errors.h"
#include "filesystem.h"

namespace tidelin {

class PublishBatch {
public:
    // A batch is published when it holds this many copies or this many bytes.
    static constexpr std::size_t MaxFiles = 200;
    static constexpr std::int64_t MaxBytes = std::int64_t{64} << 20;

    using FailureReport = std::function<void(const std::string& path, const EngineError& error)>;

    // Takes the finished unnamed `copy` of `path`, whose content was read while the source
    // showed `read`.
    void Add(const std::string& path, const fs::PathInfo& read, fs::File copy);
    bool Full() const { return pending_.size() >= maxFiles_ || bytes_ >= MaxBytes; }
    // Publishes at fewer copies than MaxFiles (at least one): each waiting copy is an open file.
    void SetMaxFiles(std::size_t files) { maxFiles_ = std::clamp<std::size_t>(files, 1, MaxFiles); }
    bool Empty() const { return pending_.empty(); }

    // What became of each copy, in the order the copies were added.
    enum class Fate : unsigned char { Replaced, Failed, Dropped };
    // Lets renames through one at a time, where others may hold them back meanwhile.
    class RenameGate {
    public:
        // Before each rename; may wait. False drops that copy unnamed.
        virtual bool Enter() = 0;
        // After each rename that Enter let through, whether it succeeded or not.
        virtual void Leave() noexcept = 0;

    protected:
        ~RenameGate() = default;
    };
    // Publishes every waiting copy, each rename through `gate` when given. Each file that
    // cannot be replaced keeps its old content and is reported to `failed`, in the order the
    // copies were added. Returns how many files were replaced, the path of the last one (empty
    // when none was) and each copy's fate.
    struct Published {
        std::size_t replaced = 0;
        std::string last;
        std::vector<Fate> fates;
    };
    Published Publish(const FailureReport& failed, RenameGate* gate = nullptr);
    // Drops every waiting copy: their sources keep their old content. Never fails.
    void Drop() noexcept { pending_.clear(); bytes_ = 0; }
    // Drops every waiting copy but that of `path` (if it waits).
    void KeepOnly(const std::string& path) noexcept;

private:
    struct Pending {
        std::string path;
        fs::PathInfo read;
        fs::File copy;
        std::optional<EngineError> failure;
        bool dropped = false;
    };
    std::vector<Pending> pending_;
    std::int64_t bytes_ = 0;
    std::size_t maxFiles_ = MaxFiles;
};

}  // namespace tidelin
