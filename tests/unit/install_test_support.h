// A Windows-like set of folders and a full installer script for the install and uninstall
// tests, with listings of files and registry to compare states.
#pragma once
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "setup/install/system_routines.h"
#include "setup/install/uninstall_run.h"
#include "tests/support/test_platform.h"

namespace bv::test {

// Every section of the script, every file option, a missing RESELLER.DAT, a shortcut to a
// file that is not installed, registry entries under three roots.
inline const char* FullSetupScript() {
    return "[InstallInfo]\r\n"
           "ApplicationName=Brevisto 3\r\n"
           "DefaultTargetFolder=Brevisto\r\n"
           "DefaultUnistallFileName=BrvUninst.exe\r\n"
           "AppExeName=brevisto.exe\r\n"
           "IconFile=brevisto.ico\r\n"
           "HelpFile=hilfe.chm\r\n"
           "UninstallName=Brevisto 3\r\n"
           "\r\n"
           "[ProgFiles]\r\n"
           "F1=brevisto.ex_\r\n"
           "F2=hilfe.chm\r\n"
           "F3=brevisto.dic;data\\brevisto.dic\r\n"
           "F4=RESELLER.DAT\r\n"
           "F5=liesmich.txt;OVERWRITEWARN=Die Datei %s ist schon vorhanden.\\nÜberschreiben?\r\n"
           "F6=oeshared.dll\r\n"
           "F7=vorlage.txt;data\\vorlagen\\vorlage.txt\r\n"
           "F8=helfer.dll;REGISTER\r\n"
           "F9=einricht.ex_;tools EXEC\r\n"
           "\r\n"
           "[CopyDestination]\r\n"
           "oeshared.dll=%COMMON_FILES%\\Brevisto\r\n"
           "\r\n"
           "[AdditionalFiles]\r\n"
           "A1=beispiel.bvt\r\n"
           "\r\n"
           "[DefaultDelFiles]\r\n"
           "D1=alt.log\r\n"
           "\r\n"
           "[Options]\r\n"
           "LicenceFile=lizenz.txt\r\n"
           "UpdateRegKey=HKLM\\SOFTWARE\\Brevisto;InstallDir\r\n"
           "AutoRun=TRUE;Brevisto;brevisto.exe /auto\r\n"
           "AdditionalComment=Beispiele mit installieren\r\n"
           "AdditionalOption=Beispiele\r\n"
           "AdditionalInfoFile=liesmich.txt\r\n"
           "\r\n"
           "[CreateRegKeys]\r\n"
           "R1=HKCU\\Software\\Brevisto;Folder=%INSTDIR%\r\n"
           "R2=HKLM\\SOFTWARE\\Brevisto;%INSTDIR%\r\n"
           "R3=HKCR\\.bvq;Brevisto.Backup\r\n"
           "R4=HKCR\\Brevisto.Backup\\shell\\open\\command;\"%INSTDIR%\\brevisto.exe\" \"%1\"\r\n"
           "\r\n"
           "[AddLink]\r\n"
           "DesktopLink=%ProgDir%brevisto.exe,Brevisto\r\n"
           "StartMenuLink=%ProgDir%brevisto.exe,Brevisto 3\r\n"
           "ProgramGroup=Brevisto\r\n"
           "\r\n"
           "[ProgramGroupLink]\r\n"
           "L1=%ProgDir%brevisto.exe,Brevisto\r\n"
           "L2=hilfe.chm,Hilfe\r\n"
           "L3=fehlt.exe,Fehlt\r\n"
           "L4=UNINSTALL,Brevisto entfernen\r\n"
           "\r\n"
           "[UninstallRegKeys]\r\n"
           "U1=HKCU\\Software\\Brevisto\\Cache\r\n"
           "U2=HKLM\\SOFTWARE\\Brevisto,InstallDir\r\n"
           "\r\n"
           "[UninstallLibs]\r\n"
           "L1=%COMMON_FILES%\\Brevisto\\oeshared.dll\r\n"
           "\r\n"
           "[AutoRun]\r\n"
           "InstallExe=%INSTDIR%\\brevisto.exe,/DONTWAIT\r\n"
           "InstallLib=%INSTDIR%\\x.dll;Init\r\n"
           "UninstallExe=%INSTDIR%\\brevisto.exe,/ende\r\n"
           "UninstallLib=%INSTDIR%\\oeshared.dll;Aufraeumen\r\n";
}

// Keys Windows always has, so that a POSIX registry starts as a Windows one does.
inline const char* const* SharedKeys() {
    static const char* const keys[] = {
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        "SOFTWARE\\Microsoft\\Windows\\Help",
        "SOFTWARE\\Microsoft\\Windows\\HTML Help",
        nullptr,
    };
    return keys;
}

class SetupEnv {
public:
    explicit SetupEnv(TestPlatform& tp) : tp_(tp) {
        const std::string t = tp.TempDir();
        folders.setup = t + "cd\\";
        folders.temp = t + "tmp\\";
        folders.windows = t + "WINDOWS";
        folders.system = t + "WINDOWS\\system32";
        folders.desktop = t + "Profil\\Desktop";
        folders.programsMenu = t + "Profil\\Startmenü\\Programme";
        folders.programFiles = t + "Programme";
        folders.commonFiles = t + "Programme\\Gemeinsame Dateien\\";
        folders.profile = t + "Profil";
        for (const std::string& f : {folders.setup, folders.temp, folders.system, folders.desktop,
                                     folders.programsMenu, folders.commonFiles})
            ForceDirectories(tp.files(), f);
        installFolder = t + "Programme\\Brevisto";
        for (const char* name : {"brevisto.ex_", "hilfe.chm", "brevisto.dic", "liesmich.txt", "oeshared.dll",
                                 "vorlage.txt", "helfer.dll", "einricht.ex_", "beispiel.bvt"})
            tp.WriteFile(folders.setup + name, std::string("Inhalt von ") + name);
        setupProgram = folders.setup + "SETUP.EXE";
        tp.WriteFile(setupProgram, "MZ setup");
        for (const char* const* key = SharedKeys(); *key; ++key) tp.registry().CreateKey(RegRoot::LocalMachine, *key);
        // Windows keeps its own help files registered there, so the help keys are never empty.
        for (const auto& [key, file] : {std::pair<const char*, const char*>{"SOFTWARE\\Microsoft\\Windows\\Help", "windows.hlp"},
                                        {"SOFTWARE\\Microsoft\\Windows\\HTML Help", "windows.chm"}}) {
            std::vector<RegValue> values;
            if (tp.registry().EnumValues(RegRoot::LocalMachine, key, values) == 0 && values.empty()) {
                const std::string folder = "C:\\WINDOWS\\Help\\";
                tp.registry().SetValue(RegRoot::LocalMachine, key, file, RegType::Sz,
                                       Bytes(folder.c_str(), folder.c_str() + folder.size() + 1));
            }
        }
        tp.registry().CreateKey(RegRoot::CurrentUser, "Software");
    }

    InstallScript Script(const std::string& text = FullSetupScript()) {
        const std::string path = folders.setup + "Setup.in";
        tp_.WriteFile(path, text);
        InstallScript script;
        // The reader works on a copy in the temporary folder.
        const std::string oldTemp = tp_.shell().GetEnvironment("TEMP");
        tp_.SetEnvironment("TEMP", ExcludeTrailingBackslash(folders.temp));
        ReadInstallScript(tp_.platform(), path, script);
        tp_.SetEnvironment("TEMP", oldTemp);
        return script;
    }

    InstallChoices Choices() const {
        InstallChoices c;
        c.installFolder = installFolder;
        c.programFolder = "Brevisto";
        c.autoStartVisible = true;
        c.additionalVisible = true;
        return c;
    }

    InstallResult Install(Platform& p, const InstallScript& script, const InstallChoices& choices) {
        RecordingInstallViewHolder view;
        InstallRun run(p, folders, script, choices, view.view);
        run.setupProgram = setupProgram;
        return run.Run();
    }

    // Every file and folder below `root` with its size, sorted.
    std::vector<std::string> Listing(Files& files, const std::string& root) {
        std::vector<std::string> out;
        List(files, IncludeTrailingBackslash(root), out);
        std::sort(out.begin(), out.end());
        return out;
    }

    // The keys and values below the watched keys, as "ROOT\key|name=bytes" lines.
    std::vector<std::string> RegistryListing(Registry& reg) {
        std::vector<std::string> out;
        const std::pair<RegRoot, const char*> watched[] = {
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\Help"},
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\HTML Help"},
            {RegRoot::LocalMachine, "SOFTWARE\\Brevisto"},
            {RegRoot::CurrentUser, "Software\\Brevisto"},
            {RegRoot::ClassesRoot, ".bvq"},
            {RegRoot::ClassesRoot, "Brevisto.Backup"},
        };
        if (!TestPlatform::IsWindows()) {
            // The whole store: nothing else may change either.
            for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser, RegRoot::ClassesRoot, RegRoot::Users})
                DumpKey(reg, root, "", out);
        } else {
            for (const auto& w : watched) DumpKey(reg, w.first, w.second, out);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    SetupFolders folders;
    std::string installFolder;
    std::string setupProgram;

private:
    struct RecordingInstallViewHolder {
        struct View : InstallView {
            void SetStatus(const std::string&) override {}
            void SetPercent(int) override {}
        } view;
    };

    void List(Files& files, const std::string& folder, std::vector<std::string>& out) {
        for (const FindEntry& e : files.Find(folder + "*")) {
            if (e.IsDirectory()) {
                out.push_back(folder + e.name + "\\");
                if (!e.IsLink()) List(files, folder + e.name + "\\", out);
            } else {
                out.push_back(folder + e.name + " " + std::to_string(e.size));
            }
        }
    }

    void DumpKey(Registry& reg, RegRoot root, const std::string& path, std::vector<std::string>& out) {
        const std::string name = std::to_string(static_cast<int>(root)) + "\\" + path;
        if (!path.empty()) {
            if (reg.KeyExists(root, path) != 0) return;
            out.push_back(name);
        }
        std::vector<RegValue> values;
        reg.EnumValues(root, path, values);
        for (const RegValue& v : values)
            out.push_back(name + "|" + v.name + "=" + std::string(v.data.begin(), v.data.end()));
        std::vector<std::string> subkeys;
        reg.EnumSubKeys(root, path, subkeys);
        for (const std::string& sub : subkeys) DumpKey(reg, root, path.empty() ? sub : path + "\\" + sub, out);
    }

    TestPlatform& tp_;
};

}  // namespace bv::test
