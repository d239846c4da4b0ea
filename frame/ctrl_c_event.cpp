// The control handler and the listener list that it shares with the main thread.
#include "frame/ctrl_c_event.h"

namespace kestrel::misc {

namespace {

// The handler runs on a thread of its own while the main thread builds and
// destroys the application; this lock keeps it from walking a list that is
// being changed, or reaching an object that is being destroyed.
std::mutex& handlerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

CtrlCEvent* CtrlCEvent::s_instance = nullptr;

CtrlCEvent::CtrlCEvent() {
    std::lock_guard guard(handlerLock());
    s_instance = this;
}

CtrlCEvent::~CtrlCEvent() {
    detachFromControlEvents();
}

void CtrlCEvent::detachFromControlEvents() {
    std::lock_guard guard(handlerLock());
    if (s_instance == this) {
        s_instance = nullptr;
    }
    listeners.clear();
}

void CtrlCEvent::addListener(CtrlCEvent* listener) {
    bool first;
    {
        std::lock_guard guard(handlerLock());
        first = listeners.empty();
    }
    if (first) {
        platform::SetConsoleCtrlHandler(consoleControlHandler, 1);
    }
    std::lock_guard guard(handlerLock());
    listeners.push_back(listener);
}

platform::Bool PLATFORM_CALLBACK consoleControlHandler(platform::Dword) {
    std::lock_guard guard(handlerLock());
    if (CtrlCEvent* instance = CtrlCEvent::s_instance) {
        for (CtrlCEvent* listener : instance->listeners) {
            listener->onCtrlC();
        }
    }
    return 1;
}

}  // namespace kestrel::misc
