// The error box: a printf-style text in a message box.
#pragma once

namespace kestrel {

// Shows a printf-style formatted UTF-16 text in a message box with the
// system's caption and an OK button, and waits until it is closed. A null
// format shows a box without text.
void errorBox(const char16_t* format, ...);

}  // namespace kestrel
