// Starts a Windows program with an exact command line, taken from the
// environment variable ANSIFOLD_COMMAND_LINE, so that a test can see how the
// program splits a line that no argument vector could express. Waits for the
// program and returns its exit code; the program inherits the standard handles.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 125;
    }
    const DWORD size = GetEnvironmentVariableW(L"ANSIFOLD_COMMAND_LINE", nullptr, 0);
    if (size == 0) {
        return 125;
    }
    std::wstring line(size, L'\0');
    GetEnvironmentVariableW(L"ANSIFOLD_COMMAND_LINE", line.data(), size);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 126;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 127;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
