// A fresh platform for one test: on POSIX a private root folder (drive C: and a registry
// store file inside it), on Windows the real system with a private temporary folder.
// The prompter answers from a script and records what was asked; the pump can inject
// actions (e.g. a cancel) at the points where messages would be processed.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv {
class PosixPlatform;
}

namespace bv::test {

struct RecordedMessage {
    std::string text;
    std::string caption;
    uint32_t style = 0;  // MessageBox style word; 0xFFFFFFFF for a plain message
};

class ScriptedPrompter : public Prompter {
public:
    // Answers for message boxes, used in order; when none is queued, `defaultAnswer`.
    std::deque<int> answers;
    int defaultAnswer = MsgResult::Ok;
    std::vector<RecordedMessage> messages;
    // Folder dialog answers (empty = cancelled).
    std::deque<std::string> folderAnswers;
    // "Save as" answers, used in order: none queued = cancelled; an empty answer is a
    // confirmed dialog without a name. Every call is recorded.
    std::deque<std::string> saveAnswers;
    struct SaveRequest {
        std::string title, filter, defaultExt, initialFolder;
    };
    std::vector<SaveRequest> saveRequests;

    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
    // Recorded like MessageBox; the time-outs asked for are kept in order.
    std::vector<uint32_t> timeouts;
    int TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style, uint32_t timeoutMs,
                        int timeoutAnswer) override;
    void PlainMessage(const std::string& text) override;
    bool SelectFolder(const std::string& title, const std::string& root, std::string& folder,
                      bool newFolderButton) override;
    std::string SelectFolderFromComputer(const std::string& title,
                                         const std::string& initialFolder) override;
    bool SaveFileName(const std::string& title, const std::string& filter,
                      const std::string& defaultExt, const std::string& initialFolder,
                      std::string& chosenPath) override;
};

class HookPump : public Pump {
public:
    std::function<void()> onProcess;
    int calls = 0;
    void ProcessMessages() override {
        ++calls;
        if (onProcess) onProcess();
    }
};

class TestPlatform {
public:
    TestPlatform();
    ~TestPlatform();
    TestPlatform(const TestPlatform&) = delete;
    TestPlatform& operator=(const TestPlatform&) = delete;

    Platform& platform() { return *platform_; }
    Registry& registry() { return platform_->registry; }
    Files& files() { return platform_->files; }
    Shell& shell() { return platform_->shell; }
    System& system() { return platform_->system; }
    ScriptedPrompter& prompter() { return prompter_; }
    HookPump& pump() { return pump_; }

    // A private, empty folder for this test (Windows path with trailing backslash);
    // removed with everything in it when the test ends.
    const std::string& TempDir() const { return tempDir_; }
    // The host path of a Windows path, for handing files to outside tools
    // (POSIX: the mapped file; Windows: the path itself).
    std::string HostPath(const std::string& windowsPath);
    // A file of tests/fixtures as a Windows path ("Z:\...", as Wine maps the host's root;
    // the POSIX backend maps Z: the same way). `relative` uses backslashes.
    static std::string FixturePath(const std::string& relative);
    // The POSIX backend, for tests that set up what the real system decides
    // (Windows version, special folders, processes); nullptr on Windows.
    PosixPlatform* Posix();
    // Sets an environment variable that the shell's expansion sees (this process only).
    void SetEnvironment(const std::string& name, const std::string& value);
    // True on the Windows build (tests that need Windows-only behaviour check it).
    static bool IsWindows();

    // Whole-file helpers through the platform's Files.
    bool WriteFile(const std::string& path, const std::string& content);
    std::string ReadFile(const std::string& path);

private:
    struct Backend;
    std::unique_ptr<Backend> backend_;
    ScriptedPrompter prompter_;
    HookPump pump_;
    std::unique_ptr<Platform> platform_;
    std::string tempDir_;
};

}  // namespace bv::test
