#pragma once

// X errors on the backend's own connections. Xlib's default error handler ends the process, and a
// window of another program may vanish between any two requests; every call of this backend checks
// its own results, so errors on its connections are dropped. Errors on other connections still go
// to whatever handler was installed before (Qt's, or Xlib's default).

struct _XDisplay;

namespace platform {
namespace x11 {

void adoptDisplay(_XDisplay* display);
void releaseDisplay(_XDisplay* display);

} // namespace x11
} // namespace platform
