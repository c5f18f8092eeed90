// MaxEntryWidth, the walk's record of the widest logged path, in twips.
#pragma once

#include <cstdint>

namespace tidelin::app {

// The record after a path measured `measuredTwips` wide: a width strictly greater than the
// record is stored, rounded to the nearest whole twip (a half to the even neighbour). The
// record is a signed 16-bit number and stops at 32767: it no longer drives anything visible,
// so a very long path must not fail its file.
std::int16_t ApplyWidthRule(std::int16_t record, float measuredTwips);

}  // namespace tidelin::app
