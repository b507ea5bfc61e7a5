#pragma once

// The Windows backend as one set of services, for platform::install() at start on Windows.

#include "platform/api/Platform.h"

namespace platform {

// Every member set except hid (the keyboard transport brings the hidapi library itself): desktop
// and hostDesktop are the same object; the clock is the system clock with Windows' fine timer
// (Win32Clock). The objects live until the process ends.
Services win32Services();

} // namespace platform
