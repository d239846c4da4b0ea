// The only gate to the operating system.
//
// Every layer above platform/ reaches kernel32, user32 and the C run-time
// library through the functions declared here, and through nothing else. They
// carry the Win32 names and contracts so that the code above reads as it would
// against the Windows API; the Windows backend forwards to the real services,
// the POSIX backend builds each of them from POSIX calls.
//
// Text is UTF-16 (char16_t) on both sides of this header. Nothing here may
// include <windows.h> or a POSIX header: the types below stand in for the
// Windows ones, and constant names differ from the Windows macros so that the
// Windows backend can include both.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

#if defined(_WIN32)
constexpr bool systemIsWindows = true;
#else
constexpr bool systemIsWindows = false;
#endif

using Bool = int;
using Dword = std::uint32_t;
using Word = std::uint16_t;

// An open system object: a standard handle or a find handle.
using Handle = void*;
const inline Handle invalidHandleValue = reinterpret_cast<Handle>(~std::uintptr_t{0});

// GetStdHandle selectors, with their Windows values.
constexpr Dword stdInputHandle = static_cast<Dword>(-10);
constexpr Dword stdOutputHandle = static_cast<Dword>(-11);
constexpr Dword stdErrorHandle = static_cast<Dword>(-12);

constexpr Dword invalidFileAttributes = 0xFFFFFFFF;
constexpr Dword fileAttributeDirectory = 0x10;
constexpr Dword fileAttributeReparsePoint = 0x400;

// The system's ANSI code page, for WideCharToMultiByte and MultiByteToWideChar.
constexpr unsigned cpAcp = 0;

constexpr Dword mbOk = 0;

// What getchar returns at the end of input.
constexpr int eof = -1;
// What _getwch returns when no key can be read.
constexpr int weof = 0xFFFF;

// _wsetlocale categories.
enum class LocaleCategory { all, ctype };

// Windows error codes that callers may see from GetLastError.
constexpr Dword errorSuccess = 0;
constexpr Dword errorFileNotFound = 2;
constexpr Dword errorPathNotFound = 3;
constexpr Dword errorAccessDenied = 5;
constexpr Dword errorInvalidHandle = 6;
constexpr Dword errorNotEnoughMemory = 8;
constexpr Dword errorNotSameDevice = 17;
constexpr Dword errorNoMoreFiles = 18;
constexpr Dword errorSharingViolation = 32;
constexpr Dword errorFileExists = 80;
constexpr Dword errorInvalidParameter = 87;
constexpr Dword errorInsufficientBuffer = 122;
constexpr Dword errorInvalidName = 123;
constexpr Dword errorDirNotEmpty = 145;
constexpr Dword errorAlreadyExists = 183;
constexpr Dword errorFilenameExcedRange = 206;
constexpr Dword errorNoUnicodeTranslation = 1113;
constexpr Dword errorCantResolveFilename = 1921;

// Longest name component that a find record holds, terminator included.
constexpr std::size_t maxPath = 260;

// Stands in for WIN32_FIND_DATAW: the parts of a find record that callers read.
struct FindData {
    Dword dwFileAttributes = 0;
    char16_t cFileName[maxPath] = {};
};

// Stands in for CONSOLE_SCREEN_BUFFER_INFO: the text attributes are all that
// callers read.
struct ConsoleScreenBufferInfo {
    Word wAttributes = 0;
};

// The system calls a handler routine with a calling convention of its own,
// which on 32-bit Windows is not the compiler's default.
#if defined(_WIN32)
#define PLATFORM_CALLBACK __stdcall
#else
#define PLATFORM_CALLBACK
#endif

using HandlerRoutine = Bool(PLATFORM_CALLBACK*)(Dword controlType);

// --- Process and console -------------------------------------------------

const char16_t* GetCommandLineW();
Handle GetStdHandle(Dword which);
Bool GetConsoleMode(Handle handle, Dword* mode);
Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info);
Bool SetConsoleTextAttribute(Handle handle, Word attributes);
Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written);
Bool WriteFile(Handle handle, const void* bytes, Dword size, Dword* written);
// Text for a standard handle that is no console, in the form that the
// system's own tools read there: on Windows its raw UTF-16LE units; on POSIX
// UTF-8, with each unit that stands for a byte of a name written as that
// byte, so that a name comes out as it is on disk. No byte-order mark and no
// line-end translation. written receives the units taken.
Bool WriteRedirectedText(Handle handle, const char16_t* text, Dword count, Dword* written);
void* GetConsoleWindow();
// The number of processes attached to the calling process's console, which
// list receives when count is enough for all of them; 0, with the last error
// set, when the process has no console. A console that the system made for
// the program alone (Explorer starts a console program so) closes with it.
Dword GetConsoleProcessList(Dword* list, Dword count);
// The routine is called on a thread of the system (of the backend, on POSIX)
// for every console control event; TRUE means the event was handled.
Bool SetConsoleCtrlHandler(HandlerRoutine routine, Bool add);
int MessageBoxW(void* window, const char16_t* text, const char16_t* caption, Dword type);

// How the system reads the names on a command line, where Windows and POSIX
// differ. On Windows a name may start with a drive designator ("C:", which on
// its own or before a relative name stands for that drive's current
// directory), and an option may start with "-", "/" or ":". On POSIX a colon
// is an ordinary character and "/" starts an absolute path, so only "-" and
// ":" start an option. Facts of the system rather than services, they are
// known when the program is built.
constexpr bool namesHaveDriveDesignators() {
    return systemIsWindows;
}
constexpr const char16_t* optionMarkers() {
    return systemIsWindows ? u"-/:" : u"-:";
}
// Whether the system's own volumes take names that differ only in letter
// case for one name: Windows' do, Linux file systems tell them apart.
constexpr bool namesIgnoreCase() {
    return systemIsWindows;
}

// --- Strings and code pages ----------------------------------------------

int lstrlenW(const char16_t* text);
// An ordinal comparison, unit by unit: no linguistic rule may make "." equal
// to "." followed by a character that a collation ignores.
int lstrcmpW(const char16_t* a, const char16_t* b);
// Lower case of one UTF-16 unit (the single-character form of CharLowerW).
char16_t CharLowerW(char16_t c);
// Upper case of one UTF-16 unit (the single-character form of CharUpperW):
// the mapping under which Windows volumes take two names for one.
char16_t CharUpperW(char16_t c);
int WideCharToMultiByte(unsigned codePage, Dword flags, const char16_t* text, int length, char* out,
                        int outSize, const char* defaultChar, Bool* usedDefault);
int MultiByteToWideChar(unsigned codePage, Dword flags, const char* bytes, int length,
                        char16_t* out, int outSize);
// The code page that cpAcp stands for.
unsigned GetACP();
// Whether the system can convert through the code page: on POSIX, those of
// its tables and UTF-8.
Bool IsValidCodePage(unsigned codePage);
// The UTF-8 code page, which takes no default character.
constexpr unsigned cpUtf8 = 65001;

// NormalizeString's canonical composition (NormalizationC) and
// decomposition (NormalizationD). Returns the length written; with no room
// given, the room needed; 0 or less on failure, which includes a text that is
// no valid UTF-16 (a lone surrogate).
constexpr int normalizationC = 1;
constexpr int normalizationD = 2;
int NormalizeString(int form, const char16_t* text, int length, char16_t* out, int outSize);
// GetStringTypeW with CT_CTYPE3: for each unit, its C3_ bits. Only
// C3_NONSPACING is given on POSIX, the one bit callers read.
constexpr Dword ctCtype3 = 4;
constexpr Word c3Nonspacing = 0x0001;
Bool GetStringTypeW(Dword infoType, const char16_t* text, int length, Word* types);

// --- File system -----------------------------------------------------------

// A path or pattern that a walk hands the file services: terminated as the
// Windows calls take it, and with its length, which a caller that holds it
// in a string knows already. A walk's paths grow with its depth: counted
// again at each call, the walk's time would grow with the square of it.
// Its conversions are implicit, so that a call reads as the Windows one does.
class PathText {
public:
    PathText(const char16_t* text)
        : text(text), length(text != nullptr ? std::char_traits<char16_t>::length(text) : 0) {}
    PathText(const std::u16string& text) : text(text.c_str()), length(text.size()) {}

    bool isNull() const { return text == nullptr; }
    const char16_t* c_str() const { return text; }
    operator std::u16string_view() const { return {text, length}; }

private:
    const char16_t* text;
    std::size_t length;
};

// FindFirstFileW: enumerates the entries that a pattern matches.
Handle FindFirstFileW(PathText pattern, FindData* found);
// FindFirstFileExW with FindExInfoStandard, FindExSearchNameMatch, no search
// filter and no flags.
Handle FindFirstFileExW(PathText pattern, FindData* found);
Bool FindNextFileW(Handle search, FindData* found);
Bool FindClose(Handle search);
Dword GetFileAttributesW(PathText path);
Dword GetFullPathNameW(const char16_t* path, Dword size, char16_t* buffer, char16_t** filePart);
Dword GetCurrentDirectoryW(Dword size, char16_t* buffer);
Bool SetCurrentDirectoryW(PathText path);
// Never replaces an existing entry; succeeds when source and target are the
// same existing name.
Bool MoveFileW(const char16_t* from, const char16_t* to);
Dword GetLastError();
void SetLastError(Dword code);
// FormatMessageW with FORMAT_MESSAGE_FROM_SYSTEM and
// FORMAT_MESSAGE_IGNORE_INSERTS in the user's language: the system's own text
// for an error code that GetLastError gave, with its terminator. Returns its
// length; 0 when the system has no text for the code or the buffer is too
// small. The POSIX backend gives strerror's text for the errno value that the
// code came from, in the locale in force.
Dword FormatMessageW(Dword code, char16_t* buffer, Dword size);

// --- Files and directories that the program opens ---------------------------
//
// Whole files that a user names (a log, an undo's record), as opposed to the
// entries that the walk renames, and the directories that a run holds. WriteFile
// above writes to file handles too.

// CreateFileW access rights, with their Windows values. A handle with
// fileAppendData and without the right to write elsewhere writes every byte at
// the end of the file, whatever else writes there. A directory opened with
// fileListDirectory and openExisting is held until CloseHandle: meanwhile the
// file services resolve its path, and a name below it, against the directory
// that was opened, whatever took its place. A handle with fileReadAttributes
// alone only tells what it holds (GetFileInformationByHandle).
constexpr Dword genericRead = 0x80000000;
constexpr Dword fileAppendData = 0x4;
constexpr Dword fileListDirectory = 0x1;
constexpr Dword fileReadAttributes = 0x80;
constexpr Dword fileShareRead = 0x1;
constexpr Dword fileShareWrite = 0x2;
constexpr Dword fileShareDelete = 0x4;
// CreateFileW dispositions.
constexpr Dword openExisting = 3;
constexpr Dword openAlways = 4;
// CreateFileW flags. fileFlagOpenReparsePoint: a link that the path's last
// component names is not followed. A link is then opened as itself, or, for
// a directory to hold, refused; and an existing entry below a held
// directory is opened relative to it (openExisting), as the walk opens the
// entries of the directories it lists. fileFlagBackupSemantics: a directory
// may be opened as a file, to tell what it is.
constexpr Dword fileFlagBackupSemantics = 0x02000000;
constexpr Dword fileFlagOpenReparsePoint = 0x00200000;

// CreateFileW with no security attributes and no template;
// invalidHandleValue on failure, with the last error set.
Handle CreateFileW(const char16_t* path, Dword access, Dword shareMode, Dword disposition,
                   Dword flags = 0);
// ReadFile without an overlapped structure: 0 bytes read at the end of the file.
Bool ReadFile(Handle file, void* bytes, Dword size, Dword* read);
Bool CloseHandle(Handle object);

// Stands in for FILETIME: 100-nanosecond intervals since January 1, 1601 (UTC).
struct FileTime {
    Dword dwLowDateTime = 0;
    Dword dwHighDateTime = 0;
};

// Stands in for BY_HANDLE_FILE_INFORMATION: what tells one entry from every
// other, whatever its name: the volume's serial number and the file index
// (POSIX: the device and the inode) while it exists, and when it was
// created, which tells it from an entry made later under the same index
// (POSIX: its birth time where the file system keeps one; under Wine, which
// keeps none, and else, zero).
struct ByHandleFileInformation {
    Dword dwFileAttributes = 0;
    FileTime ftCreationTime;
    Dword dwVolumeSerialNumber = 0;
    Dword nNumberOfLinks = 0;
    Dword nFileIndexHigh = 0;
    Dword nFileIndexLow = 0;
};
Bool GetFileInformationByHandle(Handle file, ByHandleFileInformation* information);

// GetFileType: what a handle holds. An entry of a file system, a file or a
// directory, is fileTypeDisk; a device such as a console or a terminal is
// fileTypeChar; a pipe, a FIFO or a socket is fileTypePipe.
constexpr Dword fileTypeUnknown = 0;
constexpr Dword fileTypeDisk = 1;
constexpr Dword fileTypeChar = 2;
constexpr Dword fileTypePipe = 3;
Dword GetFileType(Handle file);

// GetFinalPathNameByHandleW with FILE_NAME_NORMALIZED and VOLUME_NAME_DOS, for
// a held directory: its full path as the system knows it, with no link on
// the way. On Windows it starts with "\\?\". The length written, or the size
// that would fit it with its terminator, or 0 with the last error set.
Dword GetFinalPathNameByHandleW(Handle file, char16_t* buffer, Dword size);

// LockFileEx and UnlockFileEx with the range given by an overlapped
// structure's offsets: lockfileExclusiveLock waits until no other handle
// holds any part of the range. Only the program's own handles lock each
// other out; on Windows a locked range is also closed to reads and writes,
// so a range beyond any data the file will hold serves as a mutex.
struct Overlapped {
    Dword Offset = 0;
    Dword OffsetHigh = 0;
};
constexpr Dword lockfileExclusiveLock = 0x2;
Bool LockFileEx(Handle file, Dword flags, Dword bytesLow, Dword bytesHigh, Overlapped* range);
Bool UnlockFileEx(Handle file, Dword bytesLow, Dword bytesHigh, Overlapped* range);

// --- Process ------------------------------------------------------------------

Dword GetCurrentProcessId();
void GetSystemTimeAsFileTime(FileTime* time);

// --- C run-time library -----------------------------------------------------

// Returns the name of the locale now in force for the category, or null.
const char16_t* _wsetlocale(LocaleCategory category, const char16_t* locale);
// Microsoft semantics: %s takes a UTF-16 string, %c a UTF-16 unit.
int _vscwprintf(const char16_t* format, std::va_list args);
// Writes at most count units, terminator included when it fits; returns the
// length written, or a negative value when the text did not fit.
int _vsnwprintf(char16_t* buffer, std::size_t count, const char16_t* format, std::va_list args);
// fgetws, getchar and _wfreopen on the standard input stream.
char16_t* fgetws(char16_t* buffer, int count);
int getchar();
Bool _wfreopen(const char16_t* path, const char16_t* mode);
// Waits for a key on the console, not on standard input, and returns its
// UTF-16 unit without echoing it; a key that types no character (Shift
// alone) is not taken.
int _getwch();

}  // namespace platform
