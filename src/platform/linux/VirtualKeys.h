#pragma once

// Windows virtual-key codes (the seam's vocabulary) as X keysyms.

#include <cstdint>

namespace platform {

// The keysym of the unshifted key that carries a virtual key: letters give the lower-case
// letter (the key, not the character, as on Windows). 0 for keys without a mapping here.
std::uint32_t keysymForVirtualKey(int virtualKey);

} // namespace platform
