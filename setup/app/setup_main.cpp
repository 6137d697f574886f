// Entry point of SETUP.EXE. Started under that name it installs; a copy under
// another name, started with arguments, uninstalls; otherwise it ends at once.
// No exception leaves WinMain.
#include <exception>
#include <memory>
#include <string>

#include "common/msg_box.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"
#include "setup/install/system_routines.h"
#include "setup/ui/install_wizard_dlg.h"
#include "setup/ui/uninstall_dlg.h"
#include "setup/wizard/install_wizard_model.h"
#include "setup/wizard/uninstall_window_model.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

const char kSetupTitle[] = "Setup";

std::string ProgramPath() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n < sizeof path ? n : 0);
}

// The program's own file name in upper case ("SETUP.EXE" when started as installer).
std::string ProgramName() {
    std::string name = ProgramPath();
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (!name.empty()) CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// The first argument after the program's own name, as the command line holds it (quotes
// inside it are left for the caller); empty when there is none.
std::string FirstArgument() {
    const char* line = GetCommandLineA();
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"') quoted = !quoted;
        ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    std::string argument;
    quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"') quoted = !quoted;
        argument += *line;
    }
    return argument;
}

void ShowFatalError(bv::Prompter* prompter, const std::string& what) {
    std::string text = "Es ist ein unerwarteter Fehler aufgetreten:\r\n\r\n" + what +
                       "\r\n\r\nSetup wird beendet.";
    if (prompter) {
        bv::ShowMsgBox(*prompter, text, "", bv::mkError, bv::bsOk);
    } else {
        MessageBoxA(nullptr, text.c_str(), "Fehler", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }
}

// Pairs CoInitialize with CoUninitialize for the shell's links and folder browser.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ok_;
};

int RunInstaller(HINSTANCE instance, std::unique_ptr<bv::Win32Platform>& platform) {
    platform = bv::CreateWin32Platform(kSetupTitle);
    bv::Platform& p = platform->platform();
    ComScope com;
    const bv::SetupFolders folders = bv::ResolveSetupFolders(p);
    bv::InstallWizardModel model(p, folders, ProgramPath());
    if (!model.Create()) return 0;
    bv::RunInstallWizard(instance, model);
    return 0;
}

int RunUninstaller(HINSTANCE instance, std::unique_ptr<bv::Win32Platform>& platform) {
    const std::string argument = FirstArgument();
    std::string title;
    {
        // The product's name from the information file becomes the application's title.
        auto first = bv::CreateWin32Platform(kSetupTitle);
        bv::UninstallWindowModel probe(first->platform(), bv::ResolveSetupFolders(first->platform()), argument);
        probe.Create();
        title = probe.title();
    }
    platform = bv::CreateWin32Platform(title);
    bv::Platform& p = platform->platform();
    ComScope com;
    bv::UninstallWindowModel model(p, bv::ResolveSetupFolders(p), argument);
    model.Create();
    bv::RunUninstallWindow(instance, model);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::unique_ptr<bv::Win32Platform> platform;
    try {
        const bool installer = ProgramName() == "SETUP.EXE";
        if (!installer && FirstArgument().empty()) return 0;
        InitCommonControls();
        return installer ? RunInstaller(instance, platform) : RunUninstaller(instance, platform);
    } catch (const std::exception& error) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, error.what());
    } catch (...) {
        ShowFatalError(platform ? &platform->platform().prompter : nullptr, "Unbekannter Fehler");
    }
    return 1;
}
