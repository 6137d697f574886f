// Operating system facts through kernel32, user32, advapi32, version.dll and winmm.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_print.h"
#include "platform/win32/win32_worker_pool.h"

#include <mmsystem.h>

namespace bv {
namespace {

SYSTEMTIME ToSystemTime(const DateTime& t) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.millisecond);
    return st;
}

DateTime FromSystemTime(const SYSTEMTIME& st) {
    DateTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    return t;
}

std::string LocaleText(LCTYPE type) {
    char buffer[256];
    int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

// Drops the line break (and spaces) that system messages end with.
std::string TrimMessage(const char* text, DWORD length) {
    while (length > 0 && static_cast<unsigned char>(text[length - 1]) <= ' ') --length;
    return std::string(text, length);
}

// Used where the CryptoAPI is missing (Windows 95 without Internet Explorer 3):
// an unpredictable-enough mix of clocks, ids and addresses, stirred by SplitMix64.
// Good for salts and encryption headers, which is all the program asks for.
class FallbackRandom {
public:
    FallbackRandom() {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        MEMORYSTATUS memory = {};
        memory.dwLength = sizeof memory;
        GlobalMemoryStatus(&memory);
        state_ = static_cast<uint64_t>(counter.QuadPart);
        Mix(static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime);
        Mix(GetTickCount());
        Mix(static_cast<uint64_t>(GetCurrentProcessId()) << 32 | GetCurrentThreadId());
        Mix(static_cast<uint64_t>(memory.dwAvailPhys) ^ memory.dwAvailVirtual);
        Mix(reinterpret_cast<uintptr_t>(&counter));
    }
    void Fill(uint8_t* out, size_t count) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        Mix(static_cast<uint64_t>(counter.QuadPart));
        for (size_t i = 0; i < count; i += 8) {
            uint64_t value = Next();
            for (size_t j = 0; j < 8 && i + j < count; ++j) out[i + j] = static_cast<uint8_t>(value >> (8 * j));
        }
    }

private:
    void Mix(uint64_t value) {
        state_ ^= value;
        Next();
    }
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t state_ = 0;
};

class Win32System : public System {
public:
    OsVersion GetVersion() override {
        OsVersion result;
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof info;  // the 148-byte form every version knows
        if (!GetVersionExA(&info)) return result;
        result.ok = true;
        result.platformId = info.dwPlatformId;
        result.major = info.dwMajorVersion;
        result.minor = info.dwMinorVersion;
        result.build = info.dwBuildNumber;
        result.servicePack = info.szCSDVersion;
        return result;
    }

    std::string AnsiToOem(const std::string& text) override {
        std::string out(text.size(), '\0');
        if (!text.empty()) CharToOemBuffA(text.data(), &out[0], static_cast<DWORD>(text.size()));
        return out;
    }

    std::string OemToAnsi(const std::string& text) override {
        std::string out(text.size(), '\0');
        if (!text.empty()) OemToCharBuffA(text.data(), &out[0], static_cast<DWORD>(text.size()));
        return out;
    }

    char DecimalSeparator() override {
        std::string separator = LocaleText(LOCALE_SDECIMAL);
        return separator.empty() ? '.' : separator[0];
    }

    std::string MonthName(int month) override {
        if (month < 1 || month > 12) return std::string();
        return LocaleText(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(month - 1));
    }

    std::string DateTimeText(const DateTime& when) override {
        SYSTEMTIME st = ToSystemTime(when);
        char date[128];
        char time[128];
        // The user's short date and time formats: "dd.MM.yyyy" and "HH:mm:ss" in Germany.
        if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date) > 0 &&
            GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time) > 0) {
            return std::string(date) + " " + time;
        }
        char text[64];
        snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", when.day, when.month, when.year,
                 when.hour, when.minute, when.second);
        return text;
    }

    // The pictures GetDateFormatA (DATE_SHORTDATE) and GetTimeFormatA above write with.
    LocaleDateFormats DateFormats() override {
        return LocaleDateFormats{LocaleText(LOCALE_SSHORTDATE), LocaleText(LOCALE_STIMEFORMAT),
                                 LocaleText(LOCALE_S1159), LocaleText(LOCALE_S2359)};
    }

    DateTime LocalNow() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return FromSystemTime(st);
    }

    FileTime UtcNow() override {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    }

    bool FileTimeToLocal(FileTime utc, DateTime& local) override {
        FILETIME in;
        in.dwLowDateTime = static_cast<DWORD>(utc & 0xFFFFFFFFu);
        in.dwHighDateTime = static_cast<DWORD>(utc >> 32);
        FILETIME localTime;
        SYSTEMTIME st;
        if (!FileTimeToLocalFileTime(&in, &localTime) || !FileTimeToSystemTime(&localTime, &st)) return false;
        local = FromSystemTime(st);
        return true;
    }

    bool LocalToFileTime(const DateTime& local, FileTime& utc) override {
        SYSTEMTIME st = ToSystemTime(local);
        FILETIME localTime;
        FILETIME out;
        if (!SystemTimeToFileTime(&st, &localTime) || !LocalFileTimeToFileTime(&localTime, &out)) return false;
        utc = (static_cast<uint64_t>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
        return true;
    }

    std::string ProgramFile() override {
        std::vector<char> buffer(MAX_PATH);
        for (;;) {
            DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return std::string();
            // A full buffer may mean a cut name (and no NUL on XP).
            if (n < buffer.size() - 1 || buffer.size() > 32768) return std::string(buffer.data(), n);
            buffer.resize(buffer.size() * 2);
        }
    }

    std::string TempPath() override {
        char buffer[MAX_PATH];
        DWORD n = GetTempPathA(sizeof buffer, buffer);
        if (n == 0 || n > sizeof buffer) return std::string();
        return std::string(buffer, n);
    }

    std::string WindowsDirectory() override {
        char buffer[1024];
        UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
        if (n == 0 || n >= sizeof buffer) return std::string();
        std::string path(buffer, n);
        if (path.size() > 3 && path.back() == '\\') path.pop_back();
        return path;
    }

    std::vector<ProcessEntry> Processes() override {
        std::vector<ProcessEntry> result;
        // The tool help snapshot is missing on NT 4: the list stays empty there.
        static const auto snapshot = GET_WINDOWS_FUNCTION("kernel32.dll", CreateToolhelp32Snapshot);
        static const auto first = GET_WINDOWS_FUNCTION("kernel32.dll", Process32First);
        static const auto next = GET_WINDOWS_FUNCTION("kernel32.dll", Process32Next);
        if (!snapshot || !first || !next) return result;
        HANDLE handle = snapshot(TH32CS_SNAPPROCESS, 0);
        if (handle == INVALID_HANDLE_VALUE) return result;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = first(handle, &entry); more; more = next(handle, &entry)) {
            ProcessEntry process;
            process.id = entry.th32ProcessID;
            process.exeFile = entry.szExeFile;
            result.push_back(std::move(process));
            entry.dwSize = sizeof entry;
        }
        CloseHandle(handle);
        return result;
    }

    std::string ErrorText(long error) override {
        char buffer[1024];
        const DWORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 static_cast<DWORD>(error), language, buffer, sizeof buffer, nullptr);
        if (n == 0) {
            // Network errors (2100-2999) have their texts in netmsg.dll.
            HMODULE netmsg = win32::LoadSystemLibrary("netmsg.dll", LOAD_LIBRARY_AS_DATAFILE);
            if (netmsg) {
                n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, netmsg,
                                   static_cast<DWORD>(error), language, buffer, sizeof buffer, nullptr);
                FreeLibrary(netmsg);
            }
        }
        return n ? TrimMessage(buffer, n) : std::string();
    }

    bool RandomBytes(void* buffer, size_t count) override {
        // The CryptoAPI came with Internet Explorer 3 (Windows 95 OSR2, NT 4).
        static const auto acquire = GET_WINDOWS_FUNCTION("advapi32.dll", CryptAcquireContextA);
        static const auto generate = GET_WINDOWS_FUNCTION("advapi32.dll", CryptGenRandom);
        static const auto release = GET_WINDOWS_FUNCTION("advapi32.dll", CryptReleaseContext);
        if (count == 0) return true;
        if (acquire && generate && release) {
            HCRYPTPROV provider = 0;
            if (acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
                bool ok = true;
                uint8_t* out = static_cast<uint8_t*>(buffer);
                for (size_t done = 0; ok && done < count;) {
                    DWORD chunk = static_cast<DWORD>(count - done > 65536 ? 65536 : count - done);
                    ok = generate(provider, chunk, out + done) != FALSE;
                    done += chunk;
                }
                release(provider, 0);
                if (ok) return true;
            }
        }
        static FallbackRandom fallback;
        fallback.Fill(static_cast<uint8_t*>(buffer), count);
        return true;
    }

    bool ReadVersionResource(const std::string& path, Bytes& resource) override {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        if (size == 0) return false;
        Bytes data(size);
        if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return false;
        resource = std::move(data);
        return true;
    }

    bool WindowOfClassExists(const std::string& windowClass) override {
        return FindWindowA(windowClass.c_str(), nullptr) != nullptr;
    }

    bool WindowWithCaptionExists(const std::string& caption) override {
        return FindWindowA(nullptr, caption.c_str()) != nullptr;
    }

    bool CloseWindowOfClass(const std::string& windowClass, uint32_t timeoutMs) override {
        HWND window = FindWindowA(windowClass.c_str(), nullptr);
        if (!window) return false;
        DWORD_PTR answer = 0;
        // Flags 0: a hung window is waited for up to the time-out like any other.
        return SendMessageTimeoutA(window, WM_CLOSE, 0, 0, 0, timeoutMs, &answer) != 0;
    }

    bool PostKeyToCaption(const std::string& caption, uint32_t virtualKey) override {
        HWND window = FindWindowA(nullptr, caption.c_str());
        if (!window) return false;
        return PostMessageA(window, WM_KEYDOWN, virtualKey, 0) != FALSE;
    }

    bool SetPriorityClass(uint32_t priorityClass) override {
        return ::SetPriorityClass(GetCurrentProcess(), priorityClass) != FALSE;
    }

    bool PlaySoundFile(const std::string& path) override {
        // winmm is looked up at run time: a system without a sound driver still starts.
        static const auto play = GET_WINDOWS_FUNCTION("winmm.dll", PlaySoundA);
        if (!play) return false;
        return play(path.c_str(), nullptr, SND_FILENAME | SND_NOWAIT) != FALSE;
    }

    bool PrintText(const std::vector<std::string>& lines, const std::string& jobTitle) override {
        HDC dc = win32::DefaultPrinterDc();
        if (!dc) return false;
        bool ok = win32::PrintLines(dc, lines, jobTitle);
        DeleteDC(dc);
        return ok;
    }

    bool IsUserAdmin() override {
        HANDLE token = nullptr;
        // Windows 9x has no tokens: everyone may do everything.
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
        DWORD size = 0;
        GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
        std::vector<BYTE> buffer(size ? size : 1);
        bool admin = true;
        if (size && GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
            SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
            PSID admins = nullptr;
            if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                         0, 0, 0, &admins)) {
                const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
                admin = false;
                for (DWORD i = 0; i < groups->GroupCount && !admin; ++i)
                    admin = EqualSid(groups->Groups[i].Sid, admins) != FALSE;
                FreeSid(admins);
            }
        }
        CloseHandle(token);
        return admin;
    }

    bool RestartWindows() override {
        HANDLE token = nullptr;
        TOKEN_PRIVILEGES privileges = {};
        const bool held = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) &&
                          LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
        if (held) {
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        }
        const bool ok = ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
        if (held) {
            privileges.Privileges[0].Attributes = 0;
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        }
        if (token) CloseHandle(token);
        return ok;
    }

    bool StartProcess(const ProcessStart& start) override {
        STARTUPINFOA info = {};
        info.cb = sizeof info;
        info.dwFlags = STARTF_USESHOWWINDOW;
        info.wShowWindow = static_cast<WORD>(start.hidden ? SW_HIDE : SW_SHOWNORMAL);
        PROCESS_INFORMATION process = {};
        std::vector<char> line(start.commandLine.begin(), start.commandLine.end());
        line.push_back('\0');
        if (!CreateProcessA(start.application.empty() ? nullptr : start.application.c_str(), line.data(), nullptr,
                            nullptr, FALSE, 0, nullptr,
                            start.currentFolder.empty() ? nullptr : start.currentFolder.c_str(), &info, &process))
            return false;
        if (start.waitForInputIdleMs) WaitForInputIdle(process.hProcess, start.waitForInputIdleMs);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }

    bool RegisterServer(const std::string& library, bool unregister) override {
        // The library's own folder is searched for what it needs.
        HMODULE module = LoadLibraryExA(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) return false;
        using Server = HRESULT(WINAPI*)();
        auto server = reinterpret_cast<Server>(reinterpret_cast<void*>(
            GetProcAddress(module, unregister ? "DllUnregisterServer" : "DllRegisterServer")));
        if (server) server();
        FreeLibrary(module);
        return server != nullptr;
    }

    unsigned ProcessorCount() override { return Win32ProcessorCount(); }
    std::unique_ptr<WorkerPool> CreateWorkerPool(unsigned workers) override {
        return CreateWin32WorkerPool(workers);
    }

    std::unique_ptr<LibraryFunction> LoadLibraryFunction(const std::string& library,
                                                         const std::string& function) override {
        HMODULE module = LoadLibraryExA(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) return nullptr;
        auto call = reinterpret_cast<LoadedFunction::Pointer>(
            reinterpret_cast<void*>(GetProcAddress(module, function.c_str())));
        if (!call) {
            FreeLibrary(module);
            return nullptr;
        }
        return std::make_unique<LoadedFunction>(module, call);
    }

private:
    class LoadedFunction : public LibraryFunction {
    public:
        using Pointer = BOOL(WINAPI*)(BYTE*);
        LoadedFunction(HMODULE module, Pointer call) : module_(module), call_(call) {}
        ~LoadedFunction() override { FreeLibrary(module_); }
        bool Call() override { return call_(&flag_) != FALSE; }

    private:
        HMODULE module_;
        Pointer call_;
        BYTE flag_ = 0;
    };
};

}  // namespace

std::unique_ptr<System> CreateWin32System() { return std::make_unique<Win32System>(); }

}  // namespace bv
