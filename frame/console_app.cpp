// The application lifecycle and the exit code it yields, and the wait for a
// key before a console that was made for the program alone closes.
#include "frame/console_app.h"

namespace kestrel {

namespace {

// Explorer starts a console program (double-clicked, a folder dropped on it,
// or from Send to) on a console made for it alone, whose window closes when
// the program ends; a shell shares its console with the program and keeps it.
bool consoleClosesWithProgram() {
    platform::Dword process = 0;
    return platform::GetConsoleProcessList(&process, 1) == 1;
}

}  // namespace

ConsoleApp* ConsoleApp::s_instance = nullptr;

ConsoleApp::ConsoleApp()
    : consoleWindow(platform::GetConsoleWindow()), inputIsConsole(standardInputIsConsole()) {
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

// Output that is redirected is read elsewhere, and input that is redirected
// comes from a file or a program rather than from a person at the console:
// neither waits.
void ConsoleApp::waitForKeyBeforeConsoleCloses(const char16_t* prompt) {
    if (!inputIsConsole || console.isRedirected() || !consoleClosesWithProgram()) {
        return;
    }
    console.print(u"%s\n", prompt);
    platform::_getwch();
}

void ConsoleApp::fail() {
    if (notifyOnFailure) {
        onFailure();
    }
    exitCode = 1;
}

}  // namespace kestrel
