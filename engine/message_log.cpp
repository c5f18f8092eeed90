#include "tidelin/message_log.h"

namespace tidelin {

void MessageLog::Append(const std::string& entry, const std::string& widthSubject) {
    entries_.push_back(entry);
    if (observer_ != nullptr) {
        observer_->EntryAppended(entry, widthSubject);
    }
}

void MessageLog::Clear() {
    entries_.clear();
    if (observer_ != nullptr) {
        observer_->EntriesCleared();
    }
}

}  // namespace tidelin
