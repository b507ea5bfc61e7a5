#pragma once

// The simulated desktop's clipboard joined to the real one: what a fake client copies (TDX's copy
// of the current stock) lands on the application's clipboard, as on Windows, where the client
// and the program share one. The text is set on the GUI thread, through context's event queue (a
// copy still queued when context goes is dropped); clear the desktop's sink before context goes.

class QObject;

namespace sim {

class SimDesktop;

void bridgeClipboard(SimDesktop& desktop, QObject* context);

} // namespace sim
