#include "setup/install/install_run.h"

#include <algorithm>

#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "setup/install/registry_guard.h"
#include "setup/install/script_reg_key.h"
#include "setup/install/setup_text.h"

namespace bv {

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kHelpKey[] = "SOFTWARE\\Microsoft\\Windows\\Help";
const char kHtmlHelpKey[] = "SOFTWARE\\Microsoft\\Windows\\HTML Help";

const char kInfoFailed[] =
    "Konnte Deinstallationsinformation nicht erstellen! %s kann damit nicht mehr automatisch von Ihrem System "
    "entfernt werden.";
const char kCopyFailed[] =
    "Konnte Datei %s nicht nach %s kopieren.\rEntweder existiert die Datei nicht oder Setup konnte auf die Datei "
    "nicht zugreifen.";

constexpr int kMaxNumberTries = 32767;

std::string Trim(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

// Fills the "%s" of a message in turn.
std::string Format(std::string text, std::initializer_list<std::string> args) {
    size_t from = 0;
    for (const std::string& arg : args) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

bool StartsWithText(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

size_t FindText(const std::string& text, const std::string& what) {
    return AnsiUpperCase(text).find(AnsiUpperCase(what));
}

// A relative path that stays inside the install folder. Windows takes "/" as a separator
// too, so "../x" climbs out as "..\x" does.
bool InsideRelative(const std::string& path) {
    if (path.empty() || IsAbsolutePath(path) || path[0] == '\\' || path[0] == '/' ||
        path.find(':') != std::string::npos)
        return false;
    size_t from = 0;
    while (from <= path.size()) {
        size_t end = path.find_first_of("\\/", from);
        if (end == std::string::npos) end = path.size();
        // Windows drops trailing dots and blanks of a name, so ". .." and "..." climb as ".." does.
        const std::string part = Trim(path.substr(from, end - from));
        if (part.size() >= 2 && part.find_first_not_of(". ") == std::string::npos) return false;
        from = end + 1;
    }
    return true;
}

}  // namespace

FileEntry ParseFileEntry(const std::string& value) {
    FileEntry entry;
    const size_t semicolon = value.find(';');
    entry.file = Trim(value.substr(0, semicolon));
    if (semicolon == std::string::npos) return entry;
    const std::string option = Trim(value.substr(semicolon + 1));
    if (option.empty()) return entry;
    static const std::string warn = "OVERWRITEWARN=";
    if (StartsWithText(option, warn)) {
        entry.option = FileOption::OverwriteWarn;
        entry.text = option.substr(warn.size());
    } else if (FindText(option, "EXEC") != std::string::npos) {
        entry.option = FileOption::Exec;
        entry.text = Trim(option.substr(0, FindText(option, "EXEC")));
    } else if (FindText(option, "REGISTER") != std::string::npos) {
        entry.option = FileOption::Register;
    } else {
        entry.option = FileOption::RelativePath;
        entry.text = option;
    }
    return entry;
}

CopyPlan PlanCopy(const FileEntry& entry, const std::string& setupFolder, const std::string& installFolder,
                  const std::vector<CopyDestination>& destinations) {
    CopyPlan plan;
    plan.source = IncludeTrailingBackslash(setupFolder) + entry.file;
    const std::string install = IncludeTrailingBackslash(installFolder);
    std::string relative;
    if (entry.option == FileOption::RelativePath) relative = entry.text;
    if (entry.option == FileOption::Exec && !entry.text.empty())
        relative = IncludeTrailingBackslash(entry.text) + entry.file;
    if (!relative.empty()) {
        if (!InsideRelative(relative) || !InsideRelative(entry.file)) {
            plan.valid = false;
            return plan;
        }
        // Windows takes "/" as a separator too; the folders to create and to remove are found
        // by "\", so "data/x.dic" would otherwise miss its folder and fail to copy.
        std::replace(relative.begin(), relative.end(), '/', '\\');
        plan.destination = install + relative;
        plan.folderToCreate = ExtractFilePath(plan.destination);
        // The first folder below the install folder, so that nested folders go with it.
        plan.removablePath = install + relative.substr(0, relative.find('\\')) + "\\";
        if (relative.find('\\') == std::string::npos) plan.folderToCreate.clear(), plan.removablePath.clear();
    } else {
        plan.destination = install + entry.file;
        if (entry.option == FileOption::None) {
            for (const CopyDestination& d : destinations) {
                if (!SameText(Trim(d.file), entry.file)) continue;
                plan.folderToCreate = IncludeTrailingBackslash(Trim(d.folder));
                plan.destination = plan.folderToCreate + entry.file;
                plan.record = false;  // a shared file stays
                break;
            }
        }
        if (!InsideRelative(entry.file)) plan.valid = false;
    }
    if (FindText(plan.destination, ".ex_") != std::string::npos) plan.destination = ChangeFileExt(plan.destination, ".exe");
    if (entry.option == FileOption::OverwriteWarn) plan.record = false;
    return plan;
}

std::string ChooseUninstallerPath(Files& files, const std::string& windowsFolder, const std::string& fileName) {
    if (Trim(fileName).empty()) return std::string();
    const std::string folder = IncludeTrailingBackslash(windowsFolder);
    std::string path = folder + fileName;
    const std::string stem = ChangeFileExt(fileName, "");
    for (int n = 0; files.GetAttributes(path) != FileAttr::Invalid; ++n) {
        if (n >= kMaxNumberTries) return std::string();
        path = folder + stem + std::to_string(n) + ".exe";
    }
    return path;
}

InstallRun::InstallRun(Platform& p, const SetupFolders& folders, const InstallScript& script,
                       const InstallChoices& choices, InstallView& view)
    : p_(p), folders_(folders), script_(script), choices_(choices), view_(view) {}

InstallResult InstallRun::Run() {
    result_ = InstallResult();
    const std::string name = RemoveSpaces(script_.uninstallName);
    if (name.empty()) {
        // Without a name the uninstall entry would be the shared "Uninstall" key itself.
        ShowMsgBox(p_.prompter, Format(kInfoFailed, {script_.applicationName}), "", mkError, bsOk);
        result_.outcome = InstallOutcome::Refused;
        return result_;
    }

    // 1. The install folder.
    const std::string current = p_.files.CurrentDirectory();
    (void)CreatePath(p_.files, choices_.installFolder);
    const bool folderOk = !Trim(choices_.installFolder).empty() && p_.files.SetCurrentDirectory(choices_.installFolder);
    if (!current.empty()) (void)p_.files.SetCurrentDirectory(current);
    if (!folderOk) {
        ShowMsgBox(p_.prompter, "Kann Programmordner nicht erstellen!", "", mkError, bsOk);
        result_.outcome = InstallOutcome::FolderFailed;
        return result_;
    }
    result_.installFolder = IncludeTrailingBackslash(choices_.installFolder);
    ExpandScriptPlaceholders(script_, result_.installFolder, folders_.commonFiles);
    if (choices_.additionalVisible && choices_.additional)
        script_.progFiles.insert(script_.progFiles.end(), script_.additionalFiles.begin(), script_.additionalFiles.end());
    result_.installExe = script_.installExe;
    result_.info.applicationName = script_.applicationName;
    result_.info.instPath = choices_.installFolder;
    programFolder_ = folders_.programsMenu + "\\" + choices_.programFolder;
    result_.info.startMenuFolder = programFolder_;

    CopyFiles();
    if (!cancelled_) {
        CreateShortcuts();
        WriteRegistry();
    }
    // Also after a cancel: what is installed must be removable.
    RegisterUninstall();
    if (result_.outcome == InstallOutcome::InfoFailed) return result_;

    view_.SetPercent(100);
    if (!warnings_.empty()) {
        std::string text = "Folgende Einträge konnten nicht angelegt werden:\r\n";
        for (const std::string& w : warnings_) text += "\r\n" + w;
        ShowMsgBox(p_.prompter, text, "", mkWarning, bsOk);
    }
    if (cancelled_) {
        ShowMsgBox(p_.prompter,
                   "Die Installation wurde abgebrochen. Die bereits installierten Dateien können über "
                   "\"Software\" in der Systemsteuerung wieder entfernt werden.",
                   "", mkInformation, bsOk);
        result_.outcome = InstallOutcome::Cancelled;
    } else {
        result_.outcome = InstallOutcome::Completed;
    }
    return result_;
}

bool InstallRun::CopyFailed(const std::string& source, const std::string& destination) {
    const int answer = ShowMsgBox(p_.prompter, Format(kCopyFailed, {source, destination}), "", mkError, bsOkCancel);
    if (answer == MsgResult::Cancel) cancelled_ = true;
    return !cancelled_;
}

void InstallRun::CopyFiles() {
    Files& files = p_.files;
    const std::vector<std::string>& list = script_.progFiles;
    const int n = static_cast<int>(list.size());
    for (int i = 0; i < n && !cancelled_; ++i) {
        const FileEntry entry = ParseFileEntry(list[static_cast<size_t>(i)]);
        view_.SetStatus("Kopiere " + entry.file);
        view_.SetPercent((n == 1 ? 100 : i * 100 / (n - 1)) * 60 / 100);
        if (i % 2 == 0) p_.pump.ProcessMessages();
        if (entry.file.empty()) continue;
        const CopyPlan plan = PlanCopy(entry, folders_.setup, result_.installFolder, script_.copyDestinations);
        if (!plan.valid) {
            CopyFailed(plan.source,
                       result_.installFolder + (entry.option == FileOption::RelativePath ? entry.text : entry.file));
            continue;
        }
        if (entry.option == FileOption::OverwriteWarn && FileExists(files, plan.destination)) {
            std::string question = ReplacePlaceholder(entry.text, "%s", entry.file);
            question = ReplacePlaceholder(question, "\\n", "\r\n");
            if (ShowMsgBox(p_.prompter, question, "", mkConfirmation, bsYesNo) != MsgResult::Yes) continue;
        }
        if (!plan.folderToCreate.empty()) (void)CreatePath(files, plan.folderToCreate);
        if (!plan.removablePath.empty()) result_.info.paths.push_back(plan.removablePath);

        const uint32_t attrs = files.GetAttributes(plan.destination);
        if (attrs != FileAttr::Invalid && (attrs & FileAttr::ReadOnly))
            (void)files.SetAttributes(plan.destination, attrs & ~FileAttr::ReadOnly);
        bool installed = files.CopyFile(plan.source, plan.destination, false);
        if (installed) {
            // Files from a CD arrive read-only.
            const uint32_t copied = files.GetAttributes(plan.destination);
            if (copied != FileAttr::Invalid && (copied & FileAttr::ReadOnly))
                (void)files.SetAttributes(plan.destination, copied & ~FileAttr::ReadOnly);
        } else {
            const bool sourceThere = FileExists(files, plan.source);
            if (sourceThere && FileExists(files, plan.destination)) {
                // In use: replaced at the latest at the next restart.
                installed = ReplaceFileOnRestart(p_, folders_.windows, plan.source, plan.destination);
                if (installed) result_.restartNeeded = true;
                else CopyFailed(plan.source, plan.destination);
            } else if (!sourceThere) {
                if (!SameText(entry.file, "RESELLER.DAT"))
                    ShowMsgBox(p_.prompter,
                               Format("Konnte Datei %s nicht finden. Wenden Sie sich an den Hersteller der Software.",
                                      {plan.source}),
                               "", mkError, bsOk);
            } else {
                CopyFailed(plan.source, plan.destination);
            }
        }
        // Recorded even when it is missing: a file of that name in the install folder goes
        // with the program rather than staying behind.
        if (plan.record) result_.info.files.push_back(NumberedEntry{i, plan.destination});
        if (!installed) continue;
        if (entry.option == FileOption::Exec) {
            ProcessStart start;
            start.commandLine = "\"" + plan.destination + "\"";
            start.currentFolder = ExtractFilePath(plan.destination);
            start.hidden = true;
            (void)p_.system.StartProcess(start);
        } else if (entry.option == FileOption::Register) {
            RegisterLibrary(p_.system, plan.destination);
            registeredLibraries_.push_back(plan.destination);
        }
    }
}

std::string InstallRun::LinkTarget(const std::string& target) const {
    // "%ProgDir%" already made the target absolute.
    return IsAbsolutePath(target) ? target : result_.installFolder + target;
}

bool InstallRun::MakeLink(const std::string& entry, const std::string& folder, int number) {
    const size_t comma = entry.find(',');
    if (comma == std::string::npos) return false;
    const std::string target = LinkTarget(Trim(entry.substr(0, comma)));
    const std::string caption = Trim(entry.substr(comma + 1));
    if (caption.empty() || !FileExists(p_.files, target)) return false;
    ShortcutRequest request;
    request.target = target;
    request.linkPath = IncludeTrailingBackslash(folder) + caption + ".lnk";
    request.targetOnly = true;
    const bool ok = p_.shell.CreateShortcut(request);
    if (FileExists(p_.files, request.linkPath)) result_.info.links.push_back(NumberedEntry{number, request.linkPath});
    if (!ok) warnings_.push_back("Verknüpfung " + request.linkPath);
    return ok;
}

void InstallRun::CreateShortcuts() {
    view_.SetPercent(70);
    view_.SetStatus("Erstelle Programmsymbole...");
    p_.pump.ProcessMessages();
    groupReady_ = !Trim(choices_.programFolder).empty() && CreatePath(p_.files, programFolder_);
    if (!groupReady_ && !script_.programGroupLinks.empty()) warnings_.push_back("Programmordner " + programFolder_);
    const int count = static_cast<int>(script_.programGroupLinks.size());
    for (int k = 0; k < count; ++k) {
        const std::string& entry = script_.programGroupLinks[static_cast<size_t>(k)];
        if (SameText(Trim(entry.substr(0, entry.find(','))), "UNINSTALL")) {
            uninstallLink_ = k;
            const size_t comma = entry.find(',');
            uninstallCaption_ = comma == std::string::npos ? std::string() : Trim(entry.substr(comma + 1));
            continue;
        }
        if (groupReady_) MakeLink(entry, programFolder_, k);
    }
    if (choices_.desktopLink) MakeLink(script_.desktopLink, folders_.desktop, count);
    if (choices_.startMenuLink) MakeLink(script_.startMenuLink, folders_.programsMenu, count + 1);
}

void InstallRun::SetString(RegRoot root, const std::string& path, const std::string& name, const std::string& value) {
    if (p_.registry.CreateKey(root, path) != 0 || WriteRegistryString(p_.registry, root, path, name, value) != 0)
        warnings_.push_back("Registrierung " + ScriptRootName(root) + "\\" + path + (name.empty() ? "" : "," + name));
}

void InstallRun::WriteRegistry() {
    view_.SetPercent(80);
    view_.SetStatus("Aktualisiere Windows-Registrierung...");
    p_.pump.ProcessMessages();
    const std::string& folder = result_.installFolder;
    const std::string help = AnsiLowerCase(script_.helpFile);
    if (help.find(".hlp") != std::string::npos) SetString(RegRoot::LocalMachine, kHelpKey, script_.helpFile, folder);
    if (help.find(".chm") != std::string::npos) SetString(RegRoot::LocalMachine, kHtmlHelpKey, script_.helpFile, folder);

    // Without a program name the entry would be the shared key's own default value.
    if (!script_.appExeName.empty()) {
        const std::string key = std::string(kAppPathsKey) + "\\" + script_.appExeName;
        SetString(RegRoot::LocalMachine, key, "", folder + script_.appExeName);
        SetString(RegRoot::LocalMachine, key, "Path", folder);
    }

    // "TRUE;value name;command"
    const size_t first = script_.autoRun.find(';');
    const size_t second = first == std::string::npos ? first : script_.autoRun.find(';', first + 1);
    if (choices_.autoStartVisible && choices_.autoStart && second != std::string::npos) {
        const std::string name = script_.autoRun.substr(first + 1, second - first - 1);
        const std::string command = script_.autoRun.substr(second + 1);
        // A nameless value would be the Run key's default.
        if (!command.empty() && !name.empty()) {
            std::string shortFolder = p_.files.ShortPath(folder);
            if (shortFolder.empty()) shortFolder = folder;
            SetString(RegRoot::LocalMachine, kRunKey, name,
                      UpperCaseGerman(IncludeTrailingBackslash(shortFolder) + command));
            autoRunName_ = name;
        }
    }

    for (const std::string& entry : script_.createRegKeys) {
        const size_t semicolon = entry.find(';');
        RegRoot root;
        std::string path;
        if (!ParseScriptRegKey(entry.substr(0, semicolon), root, path)) continue;
        const std::string rest = semicolon == std::string::npos ? std::string() : entry.substr(semicolon + 1);
        const size_t equals = rest.find('=');
        const std::string name = equals == std::string::npos ? std::string() : rest.substr(0, equals);
        const std::string value = equals == std::string::npos ? rest : rest.substr(equals + 1);
        // The uninstaller removes the first key this entry creates, so that its parents do not
        // stay behind; in a shared key only the value written is ours.
        std::string removable = path;
        for (size_t end = 0; end != std::string::npos;) {
            end = path.find('\\', end + 1);
            const std::string prefix = path.substr(0, end);
            if (!IsSharedRegistryKey(root, prefix) && p_.registry.KeyExists(root, prefix) != 0) {
                removable = prefix;
                break;
            }
        }
        if (!IsSharedRegistryKey(root, removable)) createdKeys_.push_back(ScriptRootName(root) + "\\" + removable);
        else if (!name.empty()) createdKeys_.push_back(ScriptRootName(root) + "\\" + path + "," + name);
        SetString(root, path, name, value);
    }
}

void InstallRun::RegisterUninstall() {
    view_.SetPercent(90);
    view_.SetStatus("Erstelle Deinstallationsinformationen...");
    p_.pump.ProcessMessages();
    Files& files = p_.files;
    const std::string name = RemoveSpaces(script_.uninstallName);
    const std::string entryKey = std::string(kUninstallKey) + "\\" + name;
    (void)p_.registry.DeleteKeyTree(RegRoot::LocalMachine, entryKey);

    const std::string program = setupProgram.empty() ? p_.system.ProgramFile() : setupProgram;
    std::string uninstaller = ChooseUninstallerPath(files, folders_.windows, script_.defaultUninstallFileName);
    bool uninstallerOk = !uninstaller.empty() && files.CopyFile(program, uninstaller, true);
    if (uninstallerOk) {
        (void)files.SetAttributes(uninstaller, FileAttr::Normal);
    } else {
        if (uninstaller.empty()) uninstaller = IncludeTrailingBackslash(folders_.windows) + script_.defaultUninstallFileName;
        ShowMsgBox(p_.prompter, Format(kCopyFailed, {program, uninstaller}), "", mkError, bsOk);
    }
    const std::string infoPath = ChooseUninstallInfoPath(files, folders_.windows, name);
    const std::string arguments = " /UnInst:\"" + infoPath + "\"";

    std::string uninstallLink;
    if (uninstallerOk && uninstallLink_ >= 0 && groupReady_ && !uninstallCaption_.empty() && !infoPath.empty()) {
        ShortcutRequest request;
        request.target = uninstaller;
        request.arguments = arguments;
        request.linkPath = programFolder_ + "\\" + uninstallCaption_ + ".lnk";
        request.targetOnly = true;
        (void)p_.shell.CreateShortcut(request);
        // Listed, so that the program folder can go with it.
        if (FileExists(files, request.linkPath)) {
            uninstallLink = request.linkPath;
            result_.info.links.push_back(NumberedEntry{uninstallLink_, uninstallLink});
            std::sort(result_.info.links.begin(), result_.info.links.end(),
                      [](const NumberedEntry& a, const NumberedEntry& b) { return a.number < b.number; });
        }
    }

    UninstallInfo& info = result_.info;
    info.created = p_.system.LocalNow();
    info.registry.clear();
    if (!script_.helpFile.empty()) {
        // A ".chm" is registered under "HTML Help" and must be removed there.
        const bool html = AnsiLowerCase(script_.helpFile).find(".chm") != std::string::npos;
        info.registry.push_back({0, std::string("HKLM\\") + (html ? kHtmlHelpKey : kHelpKey) + "," + script_.helpFile});
    }
    if (!script_.appExeName.empty())
        info.registry.push_back({1, std::string("HKLM\\") + kAppPathsKey + "\\" + script_.appExeName});
    if (!autoRunName_.empty()) info.registry.push_back({2, std::string("HKLM\\") + kRunKey + "," + autoRunName_});
    info.registry.push_back({3, "HKLM\\" + entryKey});
    int number = 10;
    for (const std::string& key : script_.uninstallRegKeys) info.registry.push_back({number++, key});
    for (const std::string& key : createdKeys_) info.registry.push_back({number++, key});
    info.libraries = script_.uninstallLibs;
    for (const std::string& library : registeredLibraries_) {
        if (std::none_of(info.libraries.begin(), info.libraries.end(),
                         [&](const std::string& l) { return SameText(l, library); }))
            info.libraries.push_back(library);
    }
    info.uninstallExe = script_.uninstallExe;
    info.uninstallLib = script_.uninstallLib;

    if (infoPath.empty() || !WriteUninstallInfo(files, infoPath, info)) {
        // Nothing may point at a file that is not there.
        if (!infoPath.empty()) {
            (void)files.SetAttributes(infoPath, FileAttr::Normal);
            (void)files.DeleteFile(infoPath);
        }
        if (!uninstallLink.empty()) (void)files.DeleteFile(uninstallLink);
        if (uninstallerOk) (void)files.DeleteFile(uninstaller);
        ShowMsgBox(p_.prompter, Format(kInfoFailed, {script_.applicationName}), "", mkError, bsOk);
        result_.outcome = InstallOutcome::InfoFailed;
        return;
    }
    result_.infoPath = infoPath;
    if (!uninstallerOk) return;
    result_.uninstallerPath = uninstaller;

    // The entry is made last, when everything it names exists.
    Registry& reg = p_.registry;
    bool ok = reg.CreateKey(RegRoot::LocalMachine, entryKey) == 0 &&
              WriteRegistryString(reg, RegRoot::LocalMachine, entryKey, "DisplayName", script_.applicationName) == 0 &&
              WriteRegistryString(reg, RegRoot::LocalMachine, entryKey, "UninstallString", uninstaller + arguments) == 0;
    if (ok && !script_.appExeName.empty())
        ok = WriteRegistryString(reg, RegRoot::LocalMachine, entryKey, "DisplayIcon",
                                 result_.installFolder + script_.appExeName) == 0;
    if (!ok) {
        (void)reg.DeleteKeyTree(RegRoot::LocalMachine, entryKey);
        ShowMsgBox(p_.prompter, Format(kInfoFailed, {script_.applicationName}), "", mkError, bsOk);
        return;
    }
    result_.registered = true;
}

}  // namespace bv
