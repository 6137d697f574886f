#include "setup/install/uninstall_run.h"

#include <algorithm>

#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/registry_guard.h"
#include "setup/install/script_reg_key.h"

namespace bv {

namespace {

std::string Fill(const std::string& text, const std::string& value) {
    std::string result = text;
    for (size_t at = result.find("%s"); at != std::string::npos; at = result.find("%s", at + value.size()))
        result.replace(at, 2, value);
    return result;
}

bool IsParentOrSame(const std::string& folder, const std::string& other) {
    if (other.empty()) return false;
    const std::string a = ExcludeTrailingBackslash(folder);
    const std::string b = ExcludeTrailingBackslash(other);
    if (SameText(a, b)) return true;
    return b.size() > a.size() && b[a.size()] == '\\' && SameText(b.substr(0, a.size()), a);
}

bool RecognisedRoot(const std::string& entry) {
    const std::string upper = AnsiUpperCase(entry.substr(0, 4));
    return upper == "HKCR" || upper == "HKCU" || upper == "HKLM" || upper.substr(0, 3) == "HKU";
}

}  // namespace

std::string UninstallInfoArgument(const std::string& argument) {
    const std::string marker = "/UNINST:";
    const size_t at = AnsiUpperCase(argument).find(marker);
    if (at == std::string::npos) return std::string();
    std::string path = argument.substr(at + marker.size());
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    return path;
}

bool IsProtectedFolder(const std::string& folder, const SetupFolders& f) {
    const std::string path = ExcludeTrailingBackslash(folder);
    const std::string drive = ExtractFileDrive(path);
    if (path.size() <= 3 || SameText(path, drive) || SameText(path, drive + "\\")) return true;
    for (const std::string* other : {&f.windows, &f.system, &f.programFiles, &f.commonFiles, &f.profile, &f.desktop,
                                     &f.programsMenu, &f.temp}) {
        if (IsParentOrSame(path, *other)) return true;
    }
    return false;
}

UninstallRun::UninstallRun(Platform& p, const SetupFolders& folders, const UninstallData& data,
                           const std::string& infoPath, UninstallView& view, UninstallOptions options)
    : p_(p), folders_(folders), data_(data), infoPath_(infoPath), view_(view), options_(std::move(options)) {}

UninstallResult UninstallRun::Run() {
    result_ = UninstallResult();
    scheduled_.clear();
    const std::string& name = data_.applicationName;
    view_.ShowStatusPanel();
    view_.EnableButtons(false);
    if (ShowMsgBox(p_.prompter, Fill("Stellen Sie sicher, dass Sie %s auf Ihrem Rechner beendet haben.", name), "",
                   mkError, bsOkCancel) == MsgResult::Cancel) {
        view_.EnableButtons(true);
        return result_;
    }
    // An information file that is there but could not be read in full: removing only
    // this program and the file would leave the product without a way to remove it.
    if (!data_.complete && !infoPath_.empty() && FileExists(p_.files, infoPath_)) {
        ShowMsgBox(p_.prompter,
                   Fill("Die Deinstallationsinformation %s konnte nicht gelesen werden. Es wurde nichts entfernt.",
                        infoPath_),
                   "", mkError, bsOk);
        view_.EnableButtons(true);
        return result_;
    }
    // Folders are removed below; the process must not hold one of them as its current folder.
    (void)p_.files.SetCurrentDirectory(folders_.temp);
    RunUninstallExe();
    RunUninstallLib();
    result_.removeData =
        ShowMsgBox(p_.prompter,
                   Fill("Möchten Sie auch die von der Anwendung %s erstellten Dateien aus dem Installationsordner "
                        "entfernen?\r\nEs ist nicht empfohlen die Dateien zu entfernen, wenn Sie eine neuere Version "
                        "der Anwendung %s installieren möchten.",
                        name),
                   "", mkConfirmation, bsYesNo) == MsgResult::Yes;

    // 1. Program files.
    view_.SetRunningStep(0);
    for (const std::string& library : data_.libraries) {
        const std::string path = library.find('\\') == std::string::npos
                                     ? IncludeTrailingBackslash(data_.instPath) + library
                                     : library;
        UnregisterLibrary(p_.system, path);
    }
    for (const std::string& file : data_.files) RemoveFile(file);
    view_.MarkStep(0, data_.files.empty() ? StepMark::Cross : StepMark::Check);
    p_.pump.ProcessMessages();

    // 2. Data files, only directly in the install folder and never in a system folder.
    if (result_.removeData) {
        view_.SetRunningStep(1);
        if (data_.instPath.size() > 3 && !IsProtectedFolder(data_.instPath, folders_))
            RemoveFilesIn(IncludeTrailingBackslash(data_.instPath));
        else if (!data_.instPath.empty())
            result_.skipped.push_back(data_.instPath);
        view_.MarkStep(1, StepMark::Check);
    } else {
        view_.DisableStep(1);
    }
    p_.pump.ProcessMessages();

    // 3. Start menu, desktop and the folders of the program's data.
    view_.SetRunningStep(2);
    for (const std::string& link : data_.links) RemoveFile(link);
    for (const std::string& folder : data_.paths) {
        if (folder.size() <= 3) continue;
        if (IsProtectedFolder(folder, folders_)) result_.skipped.push_back(folder);
        else RemoveFolderTree(IncludeTrailingBackslash(folder));
    }
    RemoveStartMenuFolder();
    view_.MarkStep(2, StepMark::Check);
    p_.pump.ProcessMessages();

    // 4. Registry.
    view_.SetRunningStep(3);
    for (const std::string& entry : data_.registry) RemoveRegistryEntry(entry);
    view_.MarkStep(3, StepMark::Check);
    view_.SetRunningStep(-1);
    p_.pump.ProcessMessages();

    // The install folder, this program and its information file.
    if (!data_.instPath.empty() && !IsProtectedFolder(data_.instPath, folders_) &&
        !p_.files.RemoveDirectory(data_.instPath) && DirectoryExists(p_.files, data_.instPath))
        RemoveAtRestart(ExcludeTrailingBackslash(data_.instPath));
    const std::string own = options_.ownProgram.empty() ? p_.system.ProgramFile() : options_.ownProgram;
    if (!own.empty()) RemoveFile(own);
    if (!infoPath_.empty()) RemoveFile(infoPath_);

    if (!result_.skipped.empty() || !result_.leftOver.empty()) {
        std::string text;
        if (!result_.skipped.empty()) {
            text += "Folgende Einträge werden von Windows oder anderen Programmen verwendet und wurden nicht "
                    "entfernt:\r\n";
            for (const std::string& s : result_.skipped) text += "\r\n" + s;
        }
        if (!result_.leftOver.empty()) {
            if (!text.empty()) text += "\r\n\r\n";
            text += "Folgende Einträge konnten nicht entfernt werden:\r\n";
            for (const std::string& s : result_.leftOver) text += "\r\n" + s;
        }
        ShowMsgBox(p_.prompter, text, "", mkWarning, bsOk);
    }

    result_.restartPending = !scheduled_.empty();
    if (result_.restartPending &&
        ShowMsgBox(p_.prompter,
                   "Zum Abschluss der Deinstallation muss Windows neu gestartet werden. Soll Windows jetzt neu "
                   "gestartet werden?",
                   options_.caption, mkConfirmation, bsYesNo) == MsgResult::Yes &&
        !p_.system.RestartWindows()) {
        ShowMsgBox(p_.prompter, "Windows konnte nicht neu gestartet werden. Starten Sie es daher bitte selbst neu!",
                   options_.caption, mkError, bsOk);
    }
    result_.outcome = UninstallOutcome::Completed;
    return result_;
}

void UninstallRun::RunUninstallExe() {
    if (data_.uninstallExe.empty()) return;
    std::string command = data_.uninstallExe;
    std::replace(command.begin(), command.end(), ',', ' ');
    ProcessStart start;
    start.application = command;
    start.waitForInputIdleMs = options_.startWaitMs;
    if (p_.system.StartProcess(start)) return;
    start.application.clear();
    start.commandLine = command;
    (void)p_.system.StartProcess(start);
}

void UninstallRun::RunUninstallLib() {
    const size_t semicolon = data_.uninstallLib.find(';');
    if (semicolon == std::string::npos) return;
    auto function =
        p_.system.LoadLibraryFunction(data_.uninstallLib.substr(0, semicolon), data_.uninstallLib.substr(semicolon + 1));
    if (!function) return;
    // A function that never says "done" must not keep the uninstaller for ever.
    const FileTime deadline = p_.system.UtcNow() + static_cast<FileTime>(options_.libraryLoopMs) * 10000;
    while (function->Call()) {
        p_.pump.ProcessMessages();
        if (p_.system.UtcNow() >= deadline) break;
    }
}

void UninstallRun::RemoveAtRestart(const std::string& path) {
    if (ReplaceFileOnRestart(p_, folders_.windows, path, "NUL")) scheduled_.push_back(path);
    else result_.leftOver.push_back(path);
}

void UninstallRun::RemoveFile(const std::string& path) {
    Files& files = p_.files;
    const uint32_t attrs = files.GetAttributes(path);
    if (attrs == FileAttr::Invalid) return;
    (void)files.SetAttributes(path, FileAttr::Archive);
    if (files.DeleteFile(path) || files.GetAttributes(path) == FileAttr::Invalid) return;
    RemoveAtRestart(path);
}

void UninstallRun::RemoveFilesIn(const std::string& folder) {
    for (const FindEntry& e : p_.files.Find(folder + "*")) {
        if (e.IsDirectory()) {
            // A link to a folder is removed as a link; its target is never entered.
            if (e.IsLink() && !p_.files.RemoveDirectory(folder + e.name)) (void)p_.files.DeleteFile(folder + e.name);
            continue;
        }
        RemoveFile(folder + e.name);
    }
}

void UninstallRun::RemoveFolderTree(const std::string& folder) {
    const uint32_t attrs = p_.files.GetAttributes(folder);
    if (attrs == FileAttr::Invalid) return;
    if (attrs & FileAttr::ReparsePoint) {
        // The listed folder is itself a link: only the link goes.
        if (!p_.files.RemoveDirectory(ExcludeTrailingBackslash(folder))) (void)p_.files.DeleteFile(ExcludeTrailingBackslash(folder));
        return;
    }
    std::vector<std::string> tree{folder};
    for (size_t i = 0; i < tree.size(); ++i) {
        for (const FindEntry& e : p_.files.Find(tree[i] + "*")) {
            if (e.IsDirectory() && !e.IsLink() && !e.name.empty() && e.name[0] != '.')
                tree.push_back(tree[i] + e.name + "\\");
        }
    }
    std::sort(tree.begin(), tree.end(), [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        RemoveFilesIn(*it);
        const std::string path = ExcludeTrailingBackslash(*it);
        if (!p_.files.RemoveDirectory(path) && DirectoryExists(p_.files, path)) RemoveAtRestart(path);
    }
}

void UninstallRun::RemoveStartMenuFolder() {
    const std::string& folder = data_.startMenuFolder;
    // "...\Programme\" without a name would be the whole program menu.
    if (folder.empty() || folder.back() == '\\' || IsProtectedFolder(folder, folders_)) return;
    if (p_.files.RemoveDirectory(folder) || !DirectoryExists(p_.files, folder)) return;
    const bool oursPending = std::any_of(scheduled_.begin(), scheduled_.end(), [&](const std::string& s) {
        return SameText(ExtractFilePath(s), IncludeTrailingBackslash(folder));
    });
    if (oursPending) {
        RemoveAtRestart(folder);
        return;
    }
    ShowMsgBox(p_.prompter, Fill("Der Startmenü-Eintrag %s konnte nicht entfernt werden.", folder), "", mkError, bsOk);
}

void UninstallRun::RemoveRegistryEntry(const std::string& entry) {
    RegRoot root;
    std::string path;
    if (!ParseScriptRegKey(entry, root, path)) {
        // A root alone is refused; an unknown root is not ours to judge.
        if (RecognisedRoot(entry)) result_.skipped.push_back(entry);
        return;
    }
    Registry& reg = p_.registry;
    const size_t comma = path.find(',');
    if (comma != std::string::npos) {
        const std::string key = path.substr(0, comma);
        const std::string value = path.substr(comma + 1);
        // The default value of a shared key belongs to Windows.
        if (key.empty() || (value.empty() && IsSharedRegistryKey(root, key))) {
            result_.skipped.push_back(entry);
            return;
        }
        const long rc = reg.DeleteValue(root, key, value);
        if (rc != 0 && rc != WinError::FileNotFound && reg.KeyExists(root, key) == 0) {
            RegValue still;
            if (reg.QueryValue(root, key, value, still) == 0) result_.leftOver.push_back(entry);
        }
        // The help keys only hold help files' registrations: one that our value leaves empty
        // was made for it and goes too; with anyone else's entry in it, it stays.
        if (rc == 0 && root == RegRoot::LocalMachine &&
            (SameText(key, "SOFTWARE\\Microsoft\\Windows\\HTML Help") ||
             SameText(key, "SOFTWARE\\Microsoft\\Windows\\Help"))) {
            std::vector<RegValue> values;
            std::vector<std::string> subKeys;
            if (reg.EnumValues(root, key, values) == 0 && values.empty() &&
                reg.EnumSubKeys(root, key, subKeys) == 0 && subKeys.empty())
                (void)reg.DeleteKeyTree(root, key);  // an empty key left behind harms nobody
        }
        return;
    }
    if (IsSharedRegistryKey(root, path)) {
        result_.skipped.push_back(entry);
        return;
    }
    if (reg.DeleteKeyTree(root, path) != 0 && reg.KeyExists(root, path) == 0) result_.leftOver.push_back(entry);
}

}  // namespace bv
