// The frame's application base: the lifecycle that the entry function runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "console/console.h"
#include "frame/argument_set.h"
#include "frame/ctrl_c_event.h"

namespace kestrel {

// A console application with a fixed lifecycle: initialize, run, finish, and
// onFailure after a failed initialize or run. The entry function creates the
// one application object and reaches it through s_instance.
class ConsoleApp : public misc::CtrlCEvent {
public:
    void onCtrlC() override { finish(); }
    virtual ~ConsoleApp();
    virtual bool initialize() { return true; }
    virtual bool run(const ArgumentSet& arguments) = 0;
    virtual void finish() {}
    virtual void onFailure() {}

    // Calls initialize, run and finish in their order and returns the exit
    // code: 1 when initialize or run failed, else 0.
    std::int32_t runLifecycle(const ArgumentSet& arguments);

    // Shows prompt and waits for a key when the console will close with the
    // program, so that what the run printed stays in sight until then.
    void waitForKeyBeforeConsoleCloses(const char16_t* prompt);

    static ConsoleApp* s_instance;

protected:
    ConsoleApp();

    Console console;
    // Read afresh at every test: another thread may set it.
    std::atomic<bool> cancelRequested = false;
    void* consoleWindow = nullptr;
    // Taken before standard input, when redirected, is reopened on the
    // console: only a person at the console answers a prompt there.
    bool inputIsConsole = false;
    std::int32_t exitCode = 0;
    bool notifyOnFailure = true;

private:
    void fail();
};

}  // namespace kestrel
