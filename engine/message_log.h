// The message list's model: one entry per file that a command skipped or failed on, and the
// width of the widest logged path, from which the list's horizontal extent is set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidelin {

class MessageLogObserver {
public:
    virtual ~MessageLogObserver() = default;
    virtual void EntryAppended(const std::string& entry) = 0;
    virtual void EntriesCleared() = 0;
};

class MessageLog {
public:
    void Append(const std::string& entry);
    void Clear();
    const std::vector<std::string>& Entries() const { return entries_; }

    // Width rule: a measured width (twips) strictly greater than MaxEntryWidth is stored,
    // rounded half to even. A rounded width past 32767 raises the overflow error and leaves
    // the value as it was.
    void ApplyWidthRule(float measuredTwips);
    std::int16_t MaxEntryWidth() const { return maxEntryWidth_; }
    void ResetMaxEntryWidth() { maxEntryWidth_ = 0; }

    // The horizontal extent handed to the list: MaxEntryWidth + 3. The sum cannot pass
    // 32767 as a 16-bit number, so it stops there.
    std::int32_t Extent() const;

    void SetObserver(MessageLogObserver* observer) { observer_ = observer; }

private:
    std::vector<std::string> entries_;
    std::int16_t maxEntryWidth_ = 0;
    MessageLogObserver* observer_ = nullptr;
};

}  // namespace tidelin
