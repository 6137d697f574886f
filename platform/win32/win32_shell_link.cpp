#include "platform/win32/win32_shell_link.h"

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"

namespace bv::win32 {
namespace {

const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkAInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

IShellLinkA* NewLink() {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface,
                                reinterpret_cast<void**>(&link))))
        return nullptr;
    return link;
}

// The shell's path buffers hold MAX_PATH characters.
std::wstring WidePath(const std::string& path) {
    std::wstring wide = AnsiToWide(path);
    if (wide.size() > MAX_PATH) wide.resize(MAX_PATH);
    return wide;
}

bool Save(IShellLinkA* link, const std::string& linkFile) {
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file))) || !file)
        return false;
    const bool ok = SUCCEEDED(file->Save(WidePath(linkFile).c_str(), TRUE));
    file->Release();
    return ok;
}

void ShowError(const char* text) { MessageBoxA(nullptr, text, "Fehler", MB_OK | MB_ICONERROR); }

}  // namespace

void TShellLink::SetPath(const std::string& path) {
    IShellLinkA* link = NewLink();
    if (!link) return;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file))) && file) {
        char buffer[MAX_PATH + 1] = {};
        WORD word = 0;
        int number = 0;
        WIN32_FIND_DATAA data = {};
        // Each property is read only while every step before it worked.
        bool ok = SUCCEEDED(file->Load(WidePath(path).c_str(), STGM_READ)) &&
                  SUCCEEDED(link->Resolve(nullptr, SLR_NO_UI));
        if (ok && (ok = SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH)))) WorkingDir = buffer;
        if (ok && (ok = SUCCEEDED(link->GetPath(buffer, MAX_PATH, &data, 0)))) Target = buffer;
        if (ok && (ok = SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &number)))) {
            IconLocation = buffer;
            IconNumber = number;
        }
        if (ok && (ok = SUCCEEDED(link->GetDescription(buffer, MAX_PATH)))) Description = buffer;
        if (ok && (ok = SUCCEEDED(link->GetShowCmd(&number)))) ShowCmd = number;
        if (ok && (ok = SUCCEEDED(link->GetHotkey(&word)))) HotKey = word;
        if (ok && (ok = SUCCEEDED(link->GetArguments(buffer, MAX_PATH)))) Arguments = buffer;
        if (ok) path_ = path;
        file->Release();
    }
    link->Release();
}

void TShellLink::SetUpdate(bool update) {
    SetPath(path_);
    update_ = update;
}

bool TShellLink::CreateLink(const std::string& linkFile, const std::string& target) {
    IShellLinkA* link = NewLink();
    if (!link) {
        ShowError("Konnte Verknüpfungen nicht erstellen!");
        return false;
    }
    const bool ok = SUCCEEDED(link->SetPath(target.c_str())) && Save(link, linkFile);
    link->Release();
    return ok;
}

bool TShellLink::SaveLink(const std::string& linkFile) {
    IShellLinkA* link = NewLink();
    if (!link) {
        ShowError("Konnte Link nicht erstellen!");
        return false;
    }
    bool ok = false;
    if (SUCCEEDED(link->SetPath(Target.c_str()))) {
        link->SetDescription(Description.c_str());
        link->SetWorkingDirectory(WorkingDir.c_str());
        link->SetArguments(Arguments.c_str());
        link->SetHotkey(static_cast<WORD>(HotKey));
        link->SetShowCmd(ShowCmd);
        link->SetIconLocation(IconLocation.c_str(), IconNumber);
        ok = Save(link, linkFile);
    }
    link->Release();
    return ok;
}

}  // namespace bv::win32
