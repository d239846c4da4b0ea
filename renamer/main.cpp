// The program's entry function: it makes the application, runs its lifecycle
// and, on a console that closes with the program, waits for a key after all
// that the run printed.
#include "frame/argument_set.h"
#include "frame/console_app.h"
#include "platform/entry.h"
#include "renamer/ansifold.h"
#include "renamer/messages.h"

// The run-time library's console start-up calls this and hands the result to
// exit. The command line is read through GetCommandLineW, not from here.
PLATFORM_ENTRY_POINT {
    new ansifold::Ansifold;
    kestrel::ConsoleApp* application = kestrel::ConsoleApp::s_instance;
    application->addListener(application);
    kestrel::ArgumentSet arguments;
    kestrel::buildArgumentSet(arguments);
    const int exitCode = application->runLifecycle(arguments);
    application->waitForKeyBeforeConsoleCloses(ansifold::closingPrompt());
    if (kestrel::ConsoleApp::s_instance != nullptr) {
        delete kestrel::ConsoleApp::s_instance;
    }
    return exitCode;
}
