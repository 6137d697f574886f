// param-file: writes the parameter file of an unattended backup exactly where it is told,
// with the same writer the wizard uses. On Windows (and under Wine) through the running
// system; on POSIX into the root folder of a POSIX backend.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "brevisto/automation/automation_commands.h"
#include "brevisto/automation/parameter_file.h"
#include "platform/ansi.h"
#include "tools/support/terminal_text.h"
#include "platform/path.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_platform.h"
#endif

namespace {

const char kUsage[] =
    "param-file --out DATEI.BVT --name NAME --gid \\{GUID}\\ --mailpath ORDNER --savepath ORDNER\n"
    "           [--temppath ORDNER] [--password TEXT] [--update] [--all]\n"
    "           [--folder POS:DATEI.dbx:ANZEIGENAME]... [--off N]...\n"
    "           [--batch DATEI.bat [--program PROGRAMM.exe]]\n"
    "  --update              Update-Sicherung (schreibt immer ALL=1)\n"
    "  --all                 alle Mailordner (ALL=1) statt der --folder-Liste\n"
    "  --folder P:D:N        Mailordner an Position P im Ordnerbaum, DBX-Datei D, Name N\n"
    "  --batch DATEI.bat     dazu die Batch-Datei, die das Programm mit der Parameterdatei startet\n"
    "  --program PFAD        das Programm der Batch-Datei (Vorgabe: param-file selbst)\n"
    "  --off N               Sicherungsoption N (0..11, Nummer des Kontrollkästchens) aus;\n"
    "                        ohne --off sind alle Optionen an\n"
#ifndef _WIN32
    "  --root ORDNER         Wurzelordner des POSIX-Systems (Pflicht)\n"
#endif
    ;

using bv::tools::FromArgument;
using bv::tools::ToTerminal;

int Usage(const std::string& problem) { return bv::tools::UsageError("param-file", kUsage, problem); }

bool ParseIndex(const std::string& text, int limit, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6)
        return false;
    value = std::atoi(text.c_str());
    return value < limit;
}

// "POS:FILE:NAME"; the display name may hold colons of its own.
bool ParseFolder(const std::string& text, bv::AutomationChoices::Folder& folder) {
    const size_t first = text.find(':');
    if (first == std::string::npos) return false;
    const size_t second = text.find(':', first + 1);
    if (second == std::string::npos) return false;
    if (!ParseIndex(text.substr(0, first), 1000000, folder.position)) return false;
    folder.fileName = text.substr(first + 1, second - first - 1);
    folder.displayName = text.substr(second + 1);
    return !folder.fileName.empty();
}

}  // namespace

int main(int argc, char** argv) {
    bv::AutomationChoices choices;
    choices.save.fill(true);
    std::string out;
    std::string batch;
    std::string program;
    std::string root;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const auto value = [&]() { return FromArgument(argv[++i]); };
        if (arg == "--out" && hasValue) {
            out = value();
        } else if (arg == "--name" && hasValue) {
            choices.identity.Username = value();
        } else if (arg == "--gid" && hasValue) {
            choices.identity.KeyName = value();
        } else if (arg == "--mailpath" && hasValue) {
            choices.identity.StoreRoot = value();
        } else if (arg == "--savepath" && hasValue) {
            choices.backupFolder = value();
        } else if (arg == "--temppath" && hasValue) {
            choices.tempFolder = value();
        } else if (arg == "--password" && hasValue) {
            choices.password = value();
        } else if (arg == "--update") {
            choices.backupKind = 1;
        } else if (arg == "--all") {
            choices.allFolders = true;
        } else if (arg == "--folder" && hasValue) {
            bv::AutomationChoices::Folder folder;
            const std::string text = value();
            if (!ParseFolder(text, folder)) return Usage("ungültiger Ordner " + text);
            choices.folders.push_back(folder);
        } else if (arg == "--batch" && hasValue) {
            batch = value();
        } else if (arg == "--program" && hasValue) {
            program = value();
        } else if (arg == "--off" && hasValue) {
            int option = 0;
            const std::string text = value();
            if (!ParseIndex(text, bv::kSaveOptionCount, option)) return Usage("ungültige Option " + text);
            choices.save[static_cast<size_t>(option)] = false;
#ifndef _WIN32
        } else if (arg == "--root" && hasValue) {
            root = argv[++i];  // a host path, left as the terminal gave it
#endif
        } else {
            return Usage(arg == "--help" ? std::string() : "unbekanntes Argument " + arg);
        }
    }
    if (out.empty()) return Usage("--out fehlt");
    if (choices.identity.Username.empty()) return Usage("--name fehlt");
    if (choices.identity.KeyName.empty()) return Usage("--gid fehlt");
    if (choices.identity.StoreRoot.empty()) return Usage("--mailpath fehlt");
    if (choices.backupFolder.empty()) return Usage("--savepath fehlt");

    try {
#ifdef _WIN32
        auto system = bv::CreateWin32Platform("param-file");
        bv::Platform& platform = system->platform();
#else
        if (root.empty()) return Usage("--root fehlt");
        bv::PosixPlatform system(root);
        bv::Platform platform = system.Bind();
#endif
        // The end-to-end scripts name a file in a folder that may not be there yet.
        const std::string folder = bv::ExtractFilePath(out);
        if (!folder.empty()) bv::ForceDirectories(platform.files, folder);
        if (!bv::WriteParameterFileAt(platform, choices, out)) {
            std::fprintf(stderr, "param-file: %s konnte nicht geschrieben werden\n",
                         ToTerminal(out).c_str());
            return 1;
        }
        std::printf("%s\n", ToTerminal(out).c_str());
        if (!batch.empty()) {
            // The batch file's one line, as the wizard's batch command writes it.
            const std::string line =
                bv::BatchFileLine(platform, program.empty() ? platform.system.ProgramFile() : program, out) + "\r\n";
            auto stream = platform.files.Open(batch, bv::OpenMode::CreateAlways);
            if (!stream || !stream->Write(line.data(), line.size()) || !stream->Close()) {
                std::fprintf(stderr, "param-file: %s konnte nicht geschrieben werden\n", ToTerminal(batch).c_str());
                return 1;
            }
            std::printf("%s\n", ToTerminal(batch).c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "param-file: %s\n", ToTerminal(e.what()).c_str());
        return 1;
    }
    return 0;
}
