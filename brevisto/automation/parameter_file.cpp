#include "brevisto/automation/parameter_file.h"

#include "brevisto/automation/password_cipher.h"
#include "brevisto/backup/mail_folder_tree.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/path_component.h"
#include "common/ini_file.h"
#include "platform/path.h"

namespace bv {
namespace {

// "OE<i>" in [OESetup] holds the check box kOeOptions[i]; the favourites (CBSave6) have
// their own section.
constexpr SaveOption kOeOptions[] = {CBSave0, CBSave1, CBSave2, CBSave3, CBSave4,  CBSave5,
                                     CBSave7, CBSave8, CBSave9, CBSave10, CBSave11};
constexpr int kOeOptionCount = static_cast<int>(sizeof kOeOptions / sizeof kOeOptions[0]);
static_assert(kOeOptionCount + 1 == kSaveOptionCount, "every check box has its key");

std::string Key(const char* prefix, int number) { return prefix + std::to_string(number); }

}  // namespace

std::string ParameterFilePath(Platform& platform, const std::string& backupFolder,
                              const std::string& baseName) {
    const std::string name = ExtractFileName(baseName);
    std::string folder;
    const std::string appData = TPathComponent(platform).ShellAppDataFolder();
    // Without a known application-data folder there is nothing to build on.
    if (!appData.empty()) {
        folder = IncludeTrailingBackslash(appData) + "Brevisto\\parameter\\";
        ForceDirectories(platform.files, folder);
        if (!DirectoryExists(platform.files, folder)) folder.clear();
    }
    if (folder.empty()) folder = ExpandPath(platform.shell, backupFolder, true);
    return ChangeFileExt(folder + name, ".BVT");
}

std::string WriteParameterFile(Platform& platform, const AutomationChoices& choices,
                               const std::string& baseName) {
    const std::string path = ParameterFilePath(platform, choices.backupFolder, baseName);
    return WriteParameterFileAt(platform, choices, path) ? path : std::string();
}

bool WriteParameterFileAt(Platform& platform, const AutomationChoices& choices,
                          const std::string& path) {
    TTheIniFile ini(platform);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(path);
    ini.SetOpen(true);
    ini.EraseFile();

    // A write that fails halfway would leave a file the run misreads; remember any.
    bool failed = false;
    auto entry = [&](const std::string& key, const std::string& value) {
        ini.WriteEntry(key, value);
        if (ini.ErrorCode() != 0) failed = true;
    };
    auto flag = [&](const std::string& key, bool value) { entry(key, value ? "1" : "0"); };

    ini.SetSection("Identity");
    entry("Name", choices.identity.Username);
    entry("MailPath", ExpandPath(platform.shell, choices.identity.StoreRoot, true));
    entry("GID", choices.identity.KeyName);

    ini.SetSection("Setup");
    entry("TempPath", ExpandPath(platform.shell, choices.tempFolder, true));
    entry("SavePath", ExpandPath(platform.shell, choices.backupFolder, true));
    entry("Passwort", PasswordToText(choices.password));

    ini.SetSection("Backup");
    flag("UPDATE", choices.backupKind == 1);

    if (choices.backupKind == 1 || choices.allFolders) {
        ini.SetSection("AllFolders");
        flag("ALL", true);
    } else {
        ini.SetSection("Folders");
        for (const AutomationChoices::Folder& folder : choices.folders)
            entry(Key("F", folder.position), folder.fileName);
        ini.SetSection("FoldersRealName");
        for (const AutomationChoices::Folder& folder : choices.folders)
            entry(Key("F", folder.position), folder.displayName);
    }

    ini.SetSection("OESetup");
    for (int i = 0; i < kOeOptionCount; ++i) flag(Key("OE", i), choices.save[kOeOptions[i]]);
    ini.SetSection("IESetup");
    flag("IE0", choices.save[CBSave6]);
    ini.SetOpen(false);
    if (!failed && FileExists(platform.files, path)) return true;
    // A partial file would start a run with half the choices.
    if (FileExists(platform.files, path)) (void)platform.files.DeleteFile(path);
    return false;
}

ParameterFile ReadParameterFile(Platform& platform, const std::string& path) {
    ParameterFile result;
    TTheIniFile ini(platform);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(path);
    ini.SetOpen(true);

    ini.SetSection("Identity");
    result.identity.Index = 0;
    result.identity.Username = ini.ReadEntry("Name");
    result.identity.KeyName = ini.ReadEntry("GID");
    result.identity.StoreRoot = ExpandPath(platform.shell, ini.ReadEntry("MailPath"), true);

    ini.SetSection("Setup");
    result.backupFolder = ExpandPath(platform.shell, ini.ReadEntry("SavePath"), true);
    const std::string password = ini.ReadEntry("Passwort");
    // The program always writes the key; a file without it has no password rather than the
    // deciphered placeholder text.
    if (ini.ErrorCode() != -1) {
        try {
            result.password = PasswordFromText(password);
        } catch (const EBase64Error&) {
            result.passwordUnreadable = true;
            return result;
        }
    }

    ini.SetSection("AllFolders");
    result.allFolders = ini.ReadFlag("ALL");
    const std::string& store = result.identity.StoreRoot;
    // Without "MailPath" the reader's placeholder would name a folder relative to wherever
    // the program was started: such a file has no store, nothing is marked or chosen.
    const bool haveStore = IsAbsolutePath(store);
    if (haveStore) MarkChangedMailFiles(platform, store, result.identity.KeyName);

    if (!result.allFolders) {
        std::vector<std::string> keys;
        ini.SetSection("Folders");
        ini.ReadKeys(keys);
        for (const std::string& key : keys) {
            ini.SetSection("Folders");
            const std::string fileName = ini.ReadEntry(key);
            // Display names go by the same key, whatever order the file lists them in.
            ini.SetSection("FoldersRealName");
            std::string name = ini.ReadEntry(key);
            if (ini.ErrorCode() == -1) name = fileName;
            result.folderNames.push_back(name);
            // The wizard writes bare file names of the store; anything else (a path edited
            // in by hand, "..\x") would reach outside the store and is left out.
            if (haveStore && IsPlainFileName(fileName) && FileExists(platform.files, store + fileName))
                result.autoFolders.push_back(MailFolderChoice{store + fileName, name});
        }
    } else {
        TMailFolderTree tree(platform);
        if (haveStore && tree.ReadFolderIndex(store)) {
            for (const TMailFolderFile& file : tree.PresentFolderFiles())
                result.autoFolders.push_back(MailFolderChoice{file.Path, file.FileName});
        }
    }

    ini.SetSection("OESetup");
    for (int i = 0; i < kOeOptionCount; ++i) result.save[kOeOptions[i]] = ini.ReadFlag(Key("OE", i));
    ini.SetSection("IESetup");
    result.save[CBSave6] = ini.ReadFlag("IE0");
    result.optionsRead = true;
    return result;
}

}  // namespace bv
