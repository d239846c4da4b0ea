// The ansifold application, a console application of the frame.
#pragma once

#include "frame/console_app.h"

namespace ansifold {

// The application: renames every named entry, and everything below a named
// directory, to names that the system's ANSI code page can hold.
class Ansifold : public kestrel::ConsoleApp {
public:
    // Control events change nothing: every argument is handled to the end.
    void onCtrlC() override {}
    bool run(const kestrel::ArgumentSet& arguments) override;
};

}  // namespace ansifold
