// The direction of a conversion, from the button the user pressed down to the kernels.
#pragma once

namespace tidelin {

enum class Direction {
    WinToUnix,  // CR LF becomes LF
    UnixToWin,  // every line break becomes CR LF
};

}  // namespace tidelin
