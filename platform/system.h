// Operating system facts and services: version, code pages, locale, processes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/worker_pool.h"

namespace bv {

// What GetVersionExA reports.
struct OsVersion {
    bool ok = false;
    uint32_t platformId = 0;  // 1 = Windows 9x, 2 = Windows NT
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string servicePack;  // szCSDVersion
};

// The user's date and time pictures as Windows keeps them ("dd.MM.yyyy", "HH:mm:ss" in
// Germany; "M/d/yyyy", "h:mm:ss tt" in the USA) and the designators that "t"/"tt" write.
struct LocaleDateFormats {
    std::string shortDate;   // LOCALE_SSHORTDATE
    std::string timeFormat;  // LOCALE_STIMEFORMAT
    std::string am;          // LOCALE_S1159
    std::string pm;          // LOCALE_S2359
};

struct ProcessEntry {
    uint32_t id = 0;
    std::string exeFile;  // as the process snapshot reports it
};

// A program to start (CreateProcessA).
struct ProcessStart {
    std::string application;  // empty: the first word of the command line
    std::string commandLine;
    std::string currentFolder;  // empty: the caller's
    bool hidden = false;        // SW_HIDE instead of SW_SHOWNORMAL
    // Waits at most this long until the program is ready for input; 0 does not wait.
    uint32_t waitForInputIdleMs = 0;
};

// An exported function of a loaded library, called as BOOL WINAPI f(BYTE* flag) with the
// same flag (0 at first) each time; the library stays loaded while the object lives.
class LibraryFunction {
public:
    virtual ~LibraryFunction() = default;
    virtual bool Call() = 0;
};

class System {
public:
    virtual ~System() = default;

    virtual OsVersion GetVersion() = 0;

    // ANSI (1252) <-> OEM (850) as CharToOemA / OemToCharA do.
    virtual std::string AnsiToOem(const std::string& text) = 0;
    virtual std::string OemToAnsi(const std::string& text) = 0;

    // Locale: the decimal separator, month names (1..12) and the local date-time text
    // of the user's settings: short date, blank, time ("08.12.2026 21:47:05" in Germany,
    // "12/8/2026 9:47:05 PM" in the USA). DateFormats are the pictures that text is
    // written with, so that it can be read back.
    virtual char DecimalSeparator() = 0;
    virtual std::string MonthName(int month) = 0;
    virtual std::string DateTimeText(const DateTime& when) = 0;
    virtual LocaleDateFormats DateFormats() = 0;
    virtual DateTime LocalNow() = 0;
    virtual FileTime UtcNow() = 0;
    virtual bool FileTimeToLocal(FileTime utc, DateTime& local) = 0;
    virtual bool LocalToFileTime(const DateTime& local, FileTime& utc) = 0;

    // Full path of the running program's file.
    virtual std::string ProgramFile() = 0;
    // GetTempPathA with its trailing backslash; empty if the call fails.
    virtual std::string TempPath() = 0;
    // The Windows folder without trailing backslash.
    virtual std::string WindowsDirectory() = 0;

    virtual std::vector<ProcessEntry> Processes() = 0;

    // The system's text for a Win32 error number.
    virtual std::string ErrorText(long error) = 0;

    // Random bytes from the system's random source.
    virtual bool RandomBytes(void* buffer, size_t count) = 0;

    // The raw version resource of a file (GetFileVersionInfoA); false if it has none.
    virtual bool ReadVersionResource(const std::string& path, Bytes& resource) = 0;

    // Top-level windows of other programs (Outlook Express must not run during a backup).
    virtual bool WindowOfClassExists(const std::string& /*windowClass*/) { return false; }
    virtual bool WindowWithCaptionExists(const std::string& /*caption*/) { return false; }
    // Sends WM_CLOSE to the first window of the class and waits at most `timeoutMs`;
    // true when the window processed it in time.
    virtual bool CloseWindowOfClass(const std::string& /*windowClass*/, uint32_t /*timeoutMs*/) {
        return false;
    }
    // Posts WM_KEYDOWN with the virtual key to the first window with exactly that caption.
    virtual bool PostKeyToCaption(const std::string& /*caption*/, uint32_t /*virtualKey*/) {
        return false;
    }

    // Services a backup run uses where the system has them; false means "not available".
    // The process's priority class (32 normal, 64 idle, 128 high, 256 real time).
    virtual bool SetPriorityClass(uint32_t /*priorityClass*/) { return false; }
    // Plays a sound file to its end (or not at all when the device is busy).
    virtual bool PlaySoundFile(const std::string& /*path*/) { return false; }
    // Prints text lines on the default printer with one-inch margins under a job title.
    virtual bool PrintText(const std::vector<std::string>& /*lines*/, const std::string& /*jobTitle*/) {
        return false;
    }

    // Processors the program may use (at least 1), and a pool of worker threads; a pool of
    // one worker runs its jobs on the caller, so a single processor gets no extra thread.
    virtual unsigned ProcessorCount() { return 1; }
    virtual std::unique_ptr<WorkerPool> CreateWorkerPool(unsigned /*workers*/) {
        return CreateInlineWorkerPool();
    }

    // Services the installer uses; false (or nothing) where the system has none.
    // The process token holds the built-in Administrators group; true where the system
    // cannot tell (no security).
    virtual bool IsUserAdmin() { return true; }
    // Restarts Windows (ExitWindowsEx with EWX_REBOOT, the shutdown privilege held for it).
    virtual bool RestartWindows() { return false; }
    virtual bool StartProcess(const ProcessStart& /*start*/) { return false; }
    // Loads the library, calls DllRegisterServer (or DllUnregisterServer) if it exports it,
    // ignores its result and unloads; false when it could not be loaded or lacks the function.
    virtual bool RegisterServer(const std::string& /*library*/, bool /*unregister*/) { return false; }
    // Null when the library cannot be loaded or does not export the function.
    virtual std::unique_ptr<LibraryFunction> LoadLibraryFunction(const std::string& /*library*/,
                                                                 const std::string& /*function*/) {
        return nullptr;
    }
};

}  // namespace bv
