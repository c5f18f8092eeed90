#include "message_log.h"

#include <algorithm>
#include <cmath>

#include "errors.h"

namespace tidelin {

void MessageLog::Append(const std::string& entry) {
    entries_.push_back(entry);
    if (observer_ != nullptr) {
        observer_->EntryAppended(entry);
    }
}

void MessageLog::Clear() {
    entries_.clear();
    if (observer_ != nullptr) {
        observer_->EntriesCleared();
    }
}

void MessageLog::ApplyWidthRule(float measuredTwips) {
    if (!(measuredTwips > static_cast<float>(maxEntryWidth_))) {
        return;
    }
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    const float rounded = std::nearbyint(measuredTwips);
    if (rounded > 32767.0f) {
        RaiseOverflow();
    }
    maxEntryWidth_ = static_cast<std::int16_t>(rounded);
}

std::int32_t MessageLog::Extent() const {
    return std::min<std::int32_t>(std::int32_t{maxEntryWidth_} + 3, 32767);
}

}  // namespace tidelin
