#pragma once

// The last line of defence of main(): an exception that escapes the building of the main window
// or the event loop becomes one critical message box ("程序异常") and exit code 1.

#include <functional>

// Runs body and returns its result; when it throws, shows the box and returns 1.
int runReportingFatalErrors(const std::function<int()>& body);
