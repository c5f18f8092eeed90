// The program's bundled images (icon and hand pointer).
#pragma once

namespace tidelin {

// Makes the bundled images available; they live in a static library, whose resources are
// not registered by themselves. Safe to call any number of times.
void EnsureResources();

}  // namespace tidelin
