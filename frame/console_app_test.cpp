// The application lifecycle's order and exit codes, and how control events reach
// the listeners.
#include "frame/console_app.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/recording_console.h"

namespace {

// Records the lifecycle calls in order.
class ScriptedApp : public kestrel::ConsoleApp {
public:
    ScriptedApp(bool initializes, bool runs, bool notifies) : initializes(initializes), runs(runs) {
        notifyOnFailure = notifies;
    }
    bool initialize() override {
        calls += "initialize ";
        return initializes;
    }
    bool run(const kestrel::ArgumentSet&) override {
        calls += "run ";
        return runs;
    }
    void finish() override { calls += "finish "; }
    void onFailure() override { calls += "onFailure "; }
    void onCtrlC() override { ++events; }

    std::string calls;
    int events = 0;

private:
    bool initializes;
    bool runs;
};

struct LifecycleCase {
    bool initializes;
    bool runs;
    bool notifies;
    const char* calls;
    int exitCode;
};

TEST(ConsoleAppLifecycle, CallsTheOperationsInOrderAndSetsTheExitCode) {
    const LifecycleCase cases[] = {
        {false, true, true, "initialize onFailure ", 1},
        {false, true, false, "initialize ", 1},
        {true, false, true, "initialize run onFailure finish ", 1},
        {true, false, false, "initialize run finish ", 1},
        {true, true, true, "initialize run finish ", 0},
    };
    testsupport::RecordingConsole device;
    for (const LifecycleCase& c : cases) {
        ScriptedApp app(c.initializes, c.runs, c.notifies);
        kestrel::ArgumentSet arguments;
        EXPECT_EQ(app.runLifecycle(arguments), c.exitCode) << c.calls;
        EXPECT_EQ(app.calls, c.calls);
        EXPECT_EQ(kestrel::ConsoleApp::s_instance, &app);
    }
}

// Only a console that Explorer made for the program alone closes with it. A
// redirected standard input is reopened on the console while the arguments
// are read, so what counts is what it was when the application was made.
TEST(ConsoleAppKeyWait, WaitsOnlyWhenTheConsoleClosesWithTheProgram) {
    const struct {
        platform::Dword processes;
        bool outputIsConsole;
        bool inputWasConsole;
        bool waits;
    } cases[] = {
        {1, true, true, true},    // started from Explorer
        {2, true, true, false},   // started from a shell, which keeps the console
        {3, true, true, false},   // a batch file's cmd.exe and its caller
        {0, true, true, false},   // no console at all
        {1, false, true, false},  // output redirected
        {1, true, false, false},  // input redirected
    };
    for (const auto& c : cases) {
        testsupport::RecordingConsole device(c.outputIsConsole);
        device.consoleProcesses = c.processes;
        device.inputIsConsole = c.inputWasConsole;
        ScriptedApp app(true, true, true);
        device.inputIsConsole = true;
        app.waitForKeyBeforeConsoleCloses(u"Press a key.");
        EXPECT_EQ(device.keysRead, c.waits ? 1 : 0) << "case " << &c - cases;
        EXPECT_EQ(device.output, c.waits ? u"Press a key.\n" : u"");
    }
}

TEST(ConsoleControlHandler, NotifiesEveryListenerInOrderAndReportsHandled) {
    testsupport::RecordingConsole device;
    ScriptedApp app(true, true, true);
    ScriptedApp other(true, true, true);  // constructed last: its listeners are notified
    other.addListener(&app);
    other.addListener(&app);
    EXPECT_EQ(kestrel::misc::consoleControlHandler(0), 1);
    EXPECT_EQ(app.events, 2);
    EXPECT_EQ(other.events, 0);
}

TEST(ConsoleControlHandler, ReportsHandledWithoutListeners) {
    testsupport::RecordingConsole device;
    ScriptedApp app(true, true, true);
    EXPECT_EQ(kestrel::misc::consoleControlHandler(1), 1);
    EXPECT_EQ(app.events, 0);
}

TEST(ConsoleControlHandler, NeverReachesADestroyedApplication) {
    testsupport::RecordingConsole device;
    auto* app = new ScriptedApp(true, true, true);
    app->addListener(app);
    delete app;
    EXPECT_EQ(kestrel::misc::CtrlCEvent::s_instance, nullptr);
    EXPECT_EQ(kestrel::misc::consoleControlHandler(0), 1);
}

TEST(ConsoleControlHandler, ConsoleAppFinishesOnAnEvent) {
    testsupport::RecordingConsole device;
    class Plain : public kestrel::ConsoleApp {
    public:
        bool run(const kestrel::ArgumentSet&) override { return true; }
        void finish() override { ++finished; }
        int finished = 0;
    } app;
    app.addListener(&app);
    kestrel::misc::consoleControlHandler(0);
    EXPECT_EQ(app.finished, 1);
}

}  // namespace
