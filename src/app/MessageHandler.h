#pragma once

// Where the program's diagnostics go: nowhere, so the program writes no log. Developers set the
// environment variable ZENTRIK_DEBUG=1 to see them on stderr, one line each with its severity.

void installMessageHandler();
