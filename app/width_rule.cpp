#include "width_rule.h"

#include <cmath>
#include <limits>

namespace tidelin::app {

std::int16_t ApplyWidthRule(std::int16_t record, float measuredTwips) {
    if (!(measuredTwips > static_cast<float>(record))) {
        return record;
    }
    constexpr float Limit = std::numeric_limits<std::int16_t>::max();
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    return static_cast<std::int16_t>(std::fmin(std::nearbyint(measuredTwips), Limit));
}

}  // namespace tidelin::app
