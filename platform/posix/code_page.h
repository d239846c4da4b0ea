// POSIX backend only, to emulate Windows: the user's ANSI code page.
//
// The ANSI code page of a POSIX user: the one Windows would pick for the
// language and territory of the user's locale, so that names fold here as
// they would for the same user on Windows.
#pragma once

namespace platform::posix {

// The code page that cpAcp stands for: the user's, unless a test chose
// another.
unsigned ansiCodePage();

// Makes cpAcp stand for codePage from now on, in place of the user's code
// page, so that one process can fold names through every code page in turn.
// Only while no other thread converts text.
void setAnsiCodePage(unsigned codePage);

}  // namespace platform::posix
