#include "common/ini_file.h"

#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const IniErrorText = "INIERROR";

TTheIniFile::TTheIniFile(Platform& platform)
    : p_(platform), profile_(CreateSystemProfile(platform.files)) {
    windowsDir_ = IncludeTrailingBackslash(p_.system.WindowsDirectory());
    std::string programDir = ExtractFilePath(p_.system.ProgramFile());
    std::string shortDir = p_.files.ShortPath(programDir);
    programDirShort_ = IncludeTrailingBackslash(shortDir.empty() ? programDir : shortDir);
}

TTheIniFile::~TTheIniFile() { Release(); }

void TTheIniFile::SetIniFileName(const std::string& name) {
    SetOpen(false);
    fileName_ = name;
}

void TTheIniFile::SetDefFilePath(const std::string& path) {
    defFilePath_ = IncludeTrailingBackslash(path);
}

void TTheIniFile::SetOpen(bool open) {
    if (open) {
        open_ = true;
        Prepare();
    } else {
        Release();
        open_ = false;
    }
}

std::string TTheIniFile::FullPath() const {
    switch (location_) {
        case loWinDir: return windowsDir_ + fileName_;
        case loProgDir: return programDirShort_ + fileName_;
        case loUser: return fileName_;
        case loDefUser: return defFilePath_ + fileName_;
    }
    return fileName_;
}

std::string TTheIniFile::ErrorCodeStr() const { return IniErrorName(errorCode_); }

std::string IniErrorName(int code) {
    switch (code) {
        case 0: return "NoError";
        case 2: return "FileNotFound";
        case 3: return "PathNotFound";
        case 5: return "FileAccessDenied";
        case 100: return "DiskReadError";
        case 101: return "DiskWriteError";
        case 150: return "DiskIsWriteProtected";
        case 152: return "DriveNotReady";
        case 160: return "DeviceWriteFault";
        case 161: return "DeviceReadFault";
        case 162: return "HardwareFailure";
        case -2: return "NoInteger";
        case -1: return "EntryNotFound";
        default: return "Unknown Error";
    }
}

void TTheIniFile::Release() {
    prepared_ = false;
    preparedPath_.clear();
}

void TTheIniFile::Prepare() {
    Release();
    errorCode_ = 0;
    const std::string path = FullPath();
    const uint32_t attrs = p_.files.GetAttributes(path);
    bool failed = false;
    if (attrs != FileAttr::Invalid) {
        // A write-protected parameter file must still take the wizard's entries.
        if (attrs & FileAttr::ReadOnly) {
            if (!p_.files.SetAttributes(path, FileAttr::Archive)) {
                errorCode_ = 5;
                failed = true;
                ShowMsgBox(p_.prompter, "Kann Schreibschutz von " + path + " nicht entfernen!", "",
                           mkInformation, bsOk);
            }
        }
    } else {
        // Not there yet: make sure it can be created, without leaving it behind.
        errorCode_ = 2;
        long error = 0;
        auto probe = p_.files.Open(path, OpenMode::CreateNew, &error);
        if (!probe) {
            errorCode_ = static_cast<int>(error ? error : WinError::AccessDenied);
            failed = true;
        } else {
            // Only whether the file could be made counts; a probe left behind does no harm.
            (void)probe->Close();
            probe.reset();
            (void)p_.files.DeleteFile(path);
        }
    }
    if (!failed) {
        preparedPath_ = path;
        prepared_ = true;
    }
}

bool TTheIniFile::Ready() {
    errorCode_ = 0;
    if (section_.empty()) {
        ShowMsgBox(p_.prompter, "Ini-Fehler: Bitte Section angeben.", "", mkInformation, bsOk);
        return false;
    }
    if (fileName_.empty()) {
        ShowMsgBox(p_.prompter, "Ini-Fehler: Bitte Dateiname angeben.", "", mkInformation, bsOk);
        return false;
    }
    // Open without a file object (the preparation failed) behaves as closed.
    return open_ && prepared_;
}

std::string TTheIniFile::ReadEntry(const std::string& key) {
    if (!Ready()) return std::string();
    if (key.empty()) return std::string();
    std::string value = profile_->ReadString(preparedPath_, section_, key, IniErrorText);
    if (value == IniErrorText) errorCode_ = -1;
    return value;
}

bool TTheIniFile::ReadFlag(const std::string& key) {
    std::string value = ReadEntry(key);
    if (errorCode_ == -1) return false;
    return value == "1";
}

void TTheIniFile::WriteEntry(const std::string& key, const std::string& value) {
    if (!Ready() || key.empty()) return;
    if (!profile_->WriteString(preparedPath_, section_, key, value)) errorCode_ = 101;
}

void TTheIniFile::WriteFlag(const std::string& key, bool value) {
    WriteEntry(key, value ? "1" : "0");
}

void TTheIniFile::ReadKeys(std::vector<std::string>& list) {
    if (!Ready()) return;
    list = profile_->ReadKeys(preparedPath_, section_);
    if (list.empty()) errorCode_ = -1;
}

void TTheIniFile::ReadKeyValues(std::vector<std::string>& list) {
    if (!Ready()) return;
    list.clear();
    for (const std::string& key : profile_->ReadKeys(preparedPath_, section_))
        list.push_back(key + "=" + profile_->ReadString(preparedPath_, section_, key, ""));
    if (list.empty()) errorCode_ = -1;
}

bool TTheIniFile::EraseFile() {
    Release();
    const std::string path = FullPath();
    bool deleted = true;
    if (p_.files.GetAttributes(path) != FileAttr::Invalid) deleted = p_.files.DeleteFile(path);
    Prepare();
    return deleted;
}

}  // namespace bv
