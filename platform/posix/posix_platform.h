// The POSIX backend: a Windows-like machine inside one host folder. Drive letters map
// to folders (C: -> <root>/drive_c, Z: -> the host's "/", as in Wine), names resolve
// without regard to case, the registry is a store file in the root.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {

// Maps Windows paths to host paths below the root.
class PosixPathMap {
public:
    explicit PosixPathMap(std::string root);

    const std::string& Root() const { return root_; }
    void MapDrive(char letter, const std::string& hostFolder);
    bool HasDrive(char letter) const;

    // Host path of a Windows path; existing components are matched without regard to case.
    // Empty if the drive or share is not mapped. Relative paths start at `currentDir`.
    std::string HostPath(const std::string& windowsPath) const;
    // The Windows path with each existing component spelled as stored.
    std::string CanonicalPath(const std::string& windowsPath) const;
    void SetCurrentDir(const std::string& dir) { currentDir_ = dir; }
    const std::string& CurrentDir() const { return currentDir_; }

private:
    std::string Absolute(const std::string& windowsPath) const;
    std::string root_;
    std::map<char, std::string> drives_;
    std::string currentDir_ = "C:\\";
};

class PosixRegistry : public Registry {
public:
    explicit PosixRegistry(std::string storeFile);
    ~PosixRegistry() override;

    long KeyExists(RegRoot root, const std::string& path) override;
    long CreateKey(RegRoot root, const std::string& path) override;
    long DeleteKeyTree(RegRoot root, const std::string& path) override;
    long QueryValue(RegRoot root, const std::string& path, const std::string& name,
                    RegValue& out) override;
    long SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                  const Bytes& data) override;
    long DeleteValue(RegRoot root, const std::string& path, const std::string& name) override;
    long EnumSubKeys(RegRoot root, const std::string& path, std::vector<std::string>& out) override;
    long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) override;

private:
    struct Key;
    struct Store;
    Key* Find(RegRoot root, const std::string& path);
    void Reload();
    bool Save();
    std::string file_;
    std::unique_ptr<Store> store_;
};

// The handles open on each file with their access and sharing, so that an open which a
// held handle's sharing refuses fails as it does on Windows (ERROR_SHARING_VIOLATION).
class PosixShareTable {
public:
    struct Handle {
        bool read = false, write = false;            // access asked for
        bool shareRead = false, shareWrite = false;  // what it lets others do
    };
    // False when the file's open handles and the new one do not agree; else the handle is
    // recorded and `id` names it for Release.
    bool Admit(const std::string& host, const Handle& handle, long& id);
    void Release(const std::string& host, long id);

private:
    std::map<std::string, std::map<long, Handle>> open_;
    long next_ = 0;
};

class PosixFiles : public Files {
public:
    explicit PosixFiles(PosixPathMap& map) : map_(map), shares_(std::make_shared<PosixShareTable>()) {}

    uint32_t GetAttributes(const std::string& path) override;
    bool SetAttributes(const std::string& path, uint32_t attributes) override;
    std::vector<FindEntry> Find(const std::string& pattern) override;
    std::unique_ptr<FileStream> Open(const std::string& path, OpenMode mode,
                                     long* error = nullptr) override;
    bool CreateDirectory(const std::string& path, long* error = nullptr) override;
    bool RemoveDirectory(const std::string& path) override;
    bool DeleteFile(const std::string& path, long* error = nullptr) override;
    bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                  long* error = nullptr) override;
    bool MoveFileAtRestart(const std::string& from, const std::string& to) override;
    bool GetTimes(const std::string& path, FileTime* creation, FileTime* lastWrite) override;
    bool SetTimes(const std::string& path, const FileTime* creation,
                  const FileTime* lastWrite) override;
    int64_t FreeBytes(const std::string& path) override;
    bool VolumeReady(const std::string& root) override;
    bool IsOpticalDrive(const std::string& path) override;
    long ConnectShare(const std::string& remote) override;
    std::string CurrentDirectory() override;
    bool SetCurrentDirectory(const std::string& path) override;
    std::string ShortPath(const std::string& path) override;
    std::string LongPath(const std::string& path) override;
    int FolderWriteAccess(const std::string& folder) override;

    // Drive letters (upper case) that act as CD or DVD drives.
    std::string opticalDrives;

    // Moves registered for the next restart, as (from, to) pairs.
    const std::vector<std::pair<std::string, std::string>>& PendingRestartMoves() const {
        return restartMoves_;
    }

private:
    PosixPathMap& map_;
    // Shared with the streams, which may outlive this object.
    std::shared_ptr<PosixShareTable> shares_;
    std::vector<std::pair<std::string, std::string>> restartMoves_;
};

class PosixShell : public Shell {
public:
    explicit PosixShell(PosixPathMap& map);
    bool SpecialFolder(int csidl, std::string& path) override;
    std::string ExpandEnvironment(const std::string& text) override;
    std::string GetEnvironment(const std::string& name) override;
    bool OpenDocument(const std::string& target) override;
    void NotifyAssociationChanged() override { ++associationNotices; }
    // Records the request and writes its fields as text lines to the link path (there is
    // no shell here to read a real one); fails when `shortcutsFail` or the file cannot be
    // written.
    bool CreateShortcut(const ShortcutRequest& request) override;

    void SetEnvironment(const std::string& name, const std::string& value);
    // Folders by CSIDL; a missing entry is a folder the shell does not know.
    std::map<int, std::string> folders;
    std::vector<std::string> openedDocuments;
    int associationNotices = 0;
    std::vector<ShortcutRequest> shortcuts;
    bool shortcutsFail = false;

private:
    PosixPathMap& map_;
    std::map<std::string, std::string> env_;  // upper-cased name -> value
};

class PosixSystem : public System {
public:
    explicit PosixSystem(PosixShell& shell) : shell_(shell) {}
    OsVersion GetVersion() override { return version; }
    std::string AnsiToOem(const std::string& text) override;
    std::string OemToAnsi(const std::string& text) override;
    char DecimalSeparator() override { return ','; }
    std::string MonthName(int month) override;
    std::string DateTimeText(const DateTime& when) override;
    LocaleDateFormats DateFormats() override { return dateFormats; }
    DateTime LocalNow() override;
    FileTime UtcNow() override;
    bool FileTimeToLocal(FileTime utc, DateTime& local) override;
    bool LocalToFileTime(const DateTime& local, FileTime& utc) override;
    std::string ProgramFile() override { return programFile; }
    std::string TempPath() override;
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    std::vector<ProcessEntry> Processes() override;
    std::string ErrorText(long error) override;
    bool RandomBytes(void* buffer, size_t count) override;
    bool ReadVersionResource(const std::string& path, Bytes& resource) override;
    bool SetPriorityClass(uint32_t priorityClass) override;
    bool PlaySoundFile(const std::string& path) override;
    bool PrintText(const std::vector<std::string>& lines, const std::string& jobTitle) override;

    bool WindowOfClassExists(const std::string& windowClass) override;
    bool WindowWithCaptionExists(const std::string& caption) override;
    bool CloseWindowOfClass(const std::string& windowClass, uint32_t timeoutMs) override;
    bool PostKeyToCaption(const std::string& caption, uint32_t virtualKey) override;
    bool IsUserAdmin() override { return isAdmin; }
    bool RestartWindows() override;
    bool StartProcess(const ProcessStart& start) override;
    bool RegisterServer(const std::string& library, bool unregister) override;
    std::unique_ptr<LibraryFunction> LoadLibraryFunction(const std::string& library,
                                                         const std::string& function) override;
    // The host's processors unless `processors` says otherwise; the pool runs on threads.
    unsigned ProcessorCount() override;
    std::unique_ptr<WorkerPool> CreateWorkerPool(unsigned workers) override;

    unsigned processors = 0;  // 0: the host's

    // What the installer asked of the system, for tests.
    bool isAdmin = true;
    int restartRequests = 0;
    bool restartSucceeds = false;
    std::vector<ProcessStart> startedProcesses;
    // Decides whether a start succeeds; unset, every start does.
    std::function<bool(const ProcessStart&)> processStarter;
    struct ServerCall {
        std::string library;
        bool unregister = false;
    };
    std::vector<ServerCall> serverCalls;
    // Library functions by "library;function" as asked (case-insensitive); each call gets the
    // flag byte and answers whether to be called again.
    std::map<std::string, std::function<bool(uint8_t&)>> libraryFunctions;
    std::vector<std::string> libraryCalls;  // "library;function", one per call

    // Top-level windows of other programs, for tests of the Outlook Express checks. A window
    // closes on WM_CLOSE unless `refusesClose`; a posted key closes it when `closesOnKey`
    // equals the key.
    struct FakeWindow {
        std::string windowClass;
        std::string caption;
        bool refusesClose = false;
        uint32_t closesOnKey = 0;
    };
    std::vector<FakeWindow> windows;
    std::vector<std::pair<std::string, uint32_t>> postedKeys;

    // What the run asked of the system, for tests (no sound device or printer here).
    std::vector<uint32_t> priorityClasses;
    std::vector<std::string> playedSounds;
    struct PrintJob {
        std::string title;
        std::vector<std::string> lines;
    };
    std::vector<PrintJob> printJobs;
    bool printerAvailable = true;

    // Windows XP SP3 unless a test says otherwise.
    OsVersion version{true, 2, 5, 1, 2600, "Service Pack 3"};
    // A German user's pictures (no AM/PM designators) unless a test says otherwise;
    // DateTimeText writes by them.
    LocaleDateFormats dateFormats{"dd.MM.yyyy", "HH:mm:ss", "", ""};
    std::string programFile = "C:\\Programme\\Brevisto\\brevisto.exe";
    // Processes reported besides the host's own (for tests of the process checks).
    std::vector<std::string> extraProcesses;
    bool includeHostProcesses = true;

private:
    PosixShell& shell_;
};

// Answers without a user: the safe choice of each button set (OK, Cancel, No, Abort);
// the question is written to standard error.
class HeadlessPrompter : public Prompter {
public:
    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
    void PlainMessage(const std::string& text) override;
    bool SelectFolder(const std::string& title, const std::string& root, std::string& folder,
                      bool newFolderButton) override;
    std::string SelectFolderFromComputer(const std::string& title,
                                         const std::string& initialFolder) override;
};

class IdlePump : public Pump {
public:
    void ProcessMessages() override {}
};

// The whole backend over one root folder (created if missing), with an XP-like German
// user profile on drive C:.
class PosixPlatform {
public:
    explicit PosixPlatform(const std::string& root);
    ~PosixPlatform();

    PosixPathMap map;
    PosixRegistry registry;
    PosixFiles files;
    PosixShell shell;
    PosixSystem system;
    HeadlessPrompter headlessPrompter;
    IdlePump idlePump;

    // A Platform over this backend, with another prompter and pump if given.
    Platform Bind(Prompter* prompter = nullptr, Pump* pump = nullptr);
};

}  // namespace bv
