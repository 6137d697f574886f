// Shell services through shell32 and kernel32.
#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_owner.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_shell_link.h"

namespace bv {
namespace {

// SHGetSpecialFolderPathA came with the Internet Explorer 4 shell; the plain
// Windows 95 and NT 4 shell only has the item identifier route.
decltype(&SHGetSpecialFolderPathA) SpecialFolderPathFunction() {
    static const auto getPath = GET_WINDOWS_FUNCTION("shell32.dll", SHGetSpecialFolderPathA);
    return getPath;
}

// The shell link object and its interfaces, spelled out so that no GUID library is needed.
const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkAInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool SaveShortcut(const ShortcutRequest& request) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface,
                                reinterpret_cast<void**>(&link))) ||
        !link) {
        return false;
    }
    bool ok = false;
    // The program as an item list; where the shell cannot parse the path, the path itself.
    LPITEMIDLIST target = win32::PathIdList(nullptr, request.target);
    HRESULT hr = target ? link->SetIDList(target) : link->SetPath(request.target.c_str());
    win32::FreeIdList(target);
    if (SUCCEEDED(hr) && SUCCEEDED(link->SetArguments(request.arguments.c_str())) &&
        SUCCEEDED(link->SetWorkingDirectory(request.workingFolder.c_str())) &&
        SUCCEEDED(link->SetDescription(request.description.c_str())) &&
        SUCCEEDED(link->SetIconLocation(request.iconPath.c_str(), request.iconIndex))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file))) && file) {
            std::wstring wide = win32::AnsiToWide(request.linkPath);
            ok = SUCCEEDED(file->Save(wide.c_str(), TRUE));
            file->Release();
        }
    }
    link->Release();
    return ok;
}

// The installer's way: the target alone, then the arguments written into the loaded link.
bool SaveInstallerShortcut(const ShortcutRequest& request) {
    win32::TShellLink link;
    if (!link.CreateLink(request.linkPath, request.target)) return false;
    if (request.arguments.empty()) return true;
    link.SetPath(request.linkPath);
    if (link.Path() != request.linkPath) return false;
    link.Arguments = request.arguments;
    return link.SaveLink(request.linkPath);
}

class Win32Shell : public Shell {
public:
    bool SpecialFolder(int csidl, std::string& path) override {
        path.clear();
        char buffer[MAX_PATH + 1] = {};
        if (auto getPath = SpecialFolderPathFunction()) {
            if (!getPath(nullptr, buffer, csidl, FALSE)) return false;
        } else {
            LPITEMIDLIST list = nullptr;
            if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return false;
            bool ok = SHGetPathFromIDListA(list, buffer) != FALSE;
            win32::FreeIdList(list);
            if (!ok) return false;
        }
        path = buffer;  // up to the first NUL
        if (path.size() > 3 && path.back() == '\\') path.pop_back();
        return !path.empty();
    }

    bool SpecialFoldersSupported() override { return SpecialFolderPathFunction() != nullptr; }

    std::string ExpandEnvironment(const std::string& text) override {
        std::vector<char> buffer(text.size() + 256);
        for (;;) {
            DWORD n = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return text;
            // The count includes the NUL (9x adds one more); grow until it fits.
            if (n <= buffer.size()) return std::string(buffer.data());
            buffer.resize(n + 1);
        }
    }

    std::string GetEnvironment(const std::string& name) override {
        std::vector<char> buffer(256);
        for (;;) {
            DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return std::string();
            if (n < buffer.size()) return std::string(buffer.data(), n);
            buffer.resize(n + 1);
        }
    }

    bool OpenDocument(const std::string& target) override {
        HINSTANCE result = ShellExecuteA(win32::MainWindow() ? win32::MainWindow() : win32::OwnerWindow(), "open", target.c_str(), nullptr, nullptr,
                                         SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    void NotifyAssociationChanged() override {
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }

    bool CreateShortcut(const ShortcutRequest& request) override {
        // The shell link object needs COM on this thread; a thread that has it keeps it.
        HRESULT init = CoInitialize(nullptr);
        bool ok = request.targetOnly ? SaveInstallerShortcut(request) : SaveShortcut(request);
        if (SUCCEEDED(init)) CoUninitialize();
        return ok;
    }
};

}  // namespace

std::unique_ptr<Shell> CreateWin32Shell() { return std::make_unique<Win32Shell>(); }

}  // namespace bv
