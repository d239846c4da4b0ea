// Console control events (Ctrl+C, Ctrl+Break, closing the console, log-off,
// shut-down), passed on to listeners.
#pragma once

#include <mutex>
#include <vector>

#include "frame/non_copyable.h"
#include "platform/platform.h"

namespace kestrel::misc {

// Receives the console's control events (Ctrl+C, Ctrl+Break, closing the
// console, log-off, shut-down). The control handler notifies the listeners of
// the object constructed last.
class CtrlCEvent : private NonCopyable<CtrlCEvent> {
public:
    virtual void onCtrlC() = 0;

    // Installs the control handler before the first listener, then appends.
    void addListener(CtrlCEvent* listener);

    static CtrlCEvent* s_instance;

protected:
    CtrlCEvent();
    ~CtrlCEvent();

    // Stops the control handler from reaching this object. Destructors call it
    // first, so that an event arriving while the object goes away is dropped.
    void detachFromControlEvents();

private:
    friend platform::Bool PLATFORM_CALLBACK consoleControlHandler(platform::Dword controlType);

    std::vector<CtrlCEvent*> listeners;
};

// The handler routine given to SetConsoleCtrlHandler. Runs on a thread of the
// system; reports every event as handled, so none ends the process.
platform::Bool PLATFORM_CALLBACK consoleControlHandler(platform::Dword controlType);

}  // namespace kestrel::misc
