// The application lifecycle and the exit code it yields.
#include "frame/console_app.h"

namespace kestrel {

ConsoleApp* ConsoleApp::s_instance = nullptr;

ConsoleApp::ConsoleApp() : consoleWindow(platform::GetConsoleWindow()) {
    s_instance = this;
}

ConsoleApp::~ConsoleApp() {
    detachFromControlEvents();
}

std::int32_t ConsoleApp::runLifecycle(const ArgumentSet& arguments) {
    if (!initialize()) {
        fail();
        return exitCode;
    }
    if (!run(arguments)) {
        fail();
    }
    finish();
    return exitCode;
}

void ConsoleApp::fail() {
    if (notifyOnFailure) {
        onFailure();
    }
    exitCode = 1;
}

}  // namespace kestrel
