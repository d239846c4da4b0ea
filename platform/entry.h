// The process entry point, spelled as each platform's console start-up
// expects it. Its arguments are never used: the program reads its command
// line through GetCommandLineW.
#pragma once

#if defined(_WIN32)
#define PLATFORM_ENTRY_POINT extern "C" int wmain(int, wchar_t**)
#else
#define PLATFORM_ENTRY_POINT int main(int, char**)
#endif
