#pragma once

#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "sim/desktop/SimSystem.h"

#include <string>
#include <vector>

// A simulated Windows machine installed behind the platform seam for one test, on a manual clock
// that runs the desktop's due events whenever it moves. Removed again on destruction, so no
// test leaves pointers to a dead simulator behind.
struct SimFixture
{
    platform::ManualClock clock;
    sim::SimSystem system{clock};

    SimFixture()
    {
        system.install();
        system.driveEventsFrom(clock);
    }
    ~SimFixture()
    {
        clock.setObserver(nullptr);
        platform::install({});
    }

    sim::SimDesktop& desktop() { return system.desktop(); }

    // A process of another program, owning the windows made below.
    platform::ProcessId client(const std::u16string& exe = u"client.exe")
    {
        sim::ProcessSpec spec;
        spec.exeFile = exe;
        return system.processes().startProcess(spec);
    }

    struct Child
    {
        std::u16string className;
        std::u16string text;
        int controlId = 0;
        std::uint32_t style = platform::style::Visible;
    };

    platform::WindowId window(platform::ProcessId pid, const std::u16string& className,
                              const std::u16string& title, const std::vector<Child>& children = {})
    {
        sim::WindowSpec spec;
        spec.className = className;
        spec.text = title;
        spec.pid = pid;
        const platform::WindowId top = desktop().createWindow(spec);
        for (const Child& c : children) {
            sim::WindowSpec child;
            child.className = c.className;
            child.text = c.text;
            child.parent = top;
            child.controlId = c.controlId;
            child.style = c.style;
            desktop().createWindow(child);
        }
        return top;
    }
};
