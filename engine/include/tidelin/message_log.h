// The message list's model: one entry per file that a command skipped or failed on, in the
// order logged. An entry about a file names the path whose width the window records.
#pragma once

#include <string>
#include <vector>

namespace tidelin {

class MessageLogObserver {
public:
    virtual ~MessageLogObserver() = default;
    // `widthSubject`: the path the window measures for its record of the widest path, or
    // empty for an entry that does not count there.
    virtual void EntryAppended(const std::string& entry, const std::string& widthSubject) = 0;
    virtual void EntriesCleared() = 0;
};

class MessageLog {
public:
    void Append(const std::string& entry, const std::string& widthSubject = {});
    void Clear();
    const std::vector<std::string>& Entries() const { return entries_; }

    void SetObserver(MessageLogObserver* observer) { observer_ = observer; }

private:
    std::vector<std::string> entries_;
    MessageLogObserver* observer_ = nullptr;
};

}  // namespace tidelin
