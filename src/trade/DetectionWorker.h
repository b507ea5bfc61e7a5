#pragma once

#include "trade/TradeTypes.h"

// What the control detector runs for each foreground window: the order dialog worker
// (EditBoxChangeWorker) implements it, next to its QObject base, with these as its slots.
class DetectionWorker
{
public:
    virtual ~DetectionWorker() = default;
    // Works on the state machine's current window until the transaction ends, the state becomes
    // Idle, the time limit runs out or stop() is called. Runs synchronously on the detector thread.
    virtual void performDetection(trade::WPARAM hwnd) = 0;
    // Called from another thread: makes a running performDetection return at its next check.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};
