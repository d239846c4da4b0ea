// The standard handles of the POSIX backend: each stands for a file
// descriptor and remembers whether that descriptor is a terminal, which is
// what makes it a console here.
#pragma once

namespace platform::posix {

// Standard input has been reopened: whether it is a terminal must be asked
// again.
void forgetStandardInputKind();

}  // namespace platform::posix
