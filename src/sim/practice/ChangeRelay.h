#pragma once

// Carries "the model changed" from any thread to the GUI thread. The simulators call the trigger
// on whichever thread changed them (the desktop's event thread, the program's worker and HID
// threads, the GUI thread); a burst of calls becomes one changed() on the relay's thread, carrying
// the time of the first change not yet delivered, so a viewer redraws once per turn of the event
// loop and can tell how long a change took to reach the screen.

#include <QObject>

#include <functional>
#include <memory>

namespace practice {

class ChangeRelay : public QObject
{
    Q_OBJECT

public:
    explicit ChangeRelay(QObject* parent = nullptr);
    // After this, triggers still held elsewhere do nothing.
    ~ChangeRelay() override;

    // Callable from any thread, also after the relay is gone.
    std::function<void()> trigger() const;

    // Steady-clock nanoseconds (the clock of changed()).
    static qint64 nowNs();

signals:
    void changed(qint64 firstChangeNs);

protected:
    bool event(QEvent* event) override;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace practice
