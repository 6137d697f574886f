// make_identity: creates a synthetic Outlook Express identity with its registry branch,
// mail store and further files. On Windows (and under Wine) it writes into the running
// system; on POSIX into the root folder of a POSIX backend.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ansi.h"
#include "tools/support/terminal_text.h"
#include "tests/support/oe_identity.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_platform.h"
#endif

namespace {

using bv::test::OeGroups;
using bv::test::OeIdentity;
using bv::test::OeIdentityOptions;

const char kUsage[] =
    "make_identity [Optionen]\n"
    "  --name TEXT           Name der Identität (Vorgabe: Hauptidentität)\n"
    "  --store ORDNER        Mail-Ordner (Vorgabe: unter den lokalen Anwendungsdaten)\n"
    "  --mail-mb N           Gesamtgröße der Mail-Dateien in MB (Vorgabe: 4)\n"
    "  --seed N              Startwert für den Inhalt (Vorgabe: 1)\n"
    "  --guid {...}          Schlüssel der Identität (Vorgabe: aus dem Startwert)\n"
    "  --not-default         nicht als Standard-Identität eintragen\n"
    "  --plain-store-root    \"Store Root\" als festen Pfad schreiben\n"
    "  --places ORDNER       Benutzerordner (Anwendungsdaten, Favoriten, ...) unter ORDNER\n"
    "  --without LISTE       Gruppen weglassen, durch Kommas getrennt: settings, accounts,\n"
    "                        defaultaccounts, rules, signatures, stationerylists,\n"
    "                        wabsortstate, iezones, cookies, mail, storefiles, addressbook,\n"
    "                        stationery, dictionaries, favorites, firefox, opera\n"
#ifndef _WIN32
    "  --root ORDNER         Wurzelordner des POSIX-Systems (Pflicht)\n"
#endif
    ;

using bv::tools::FromArgument;
using bv::tools::ToTerminal;

void Line(const std::string& ansi) {
    std::printf("%s\n", ToTerminal(ansi).c_str());
}

int Usage(const std::string& problem) { return bv::tools::UsageError("make_identity", kUsage, problem); }

bool LeaveOut(OeGroups& g, const std::string& name) {
    const std::string n = bv::AnsiLowerCase(name);
    bool* flag = n == "settings"          ? &g.settings
                 : n == "accounts"        ? &g.accounts
                 : n == "defaultaccounts" ? &g.defaultAccounts
                 : n == "rules"           ? &g.rules
                 : n == "signatures"      ? &g.signatures
                 : n == "stationerylists" ? &g.stationeryLists
                 : n == "wabsortstate"    ? &g.wabSortState
                 : n == "iezones"         ? &g.ieZones
                 : n == "cookies"         ? &g.cookies
                 : n == "mail"            ? &g.mailFolders
                 : n == "storefiles"      ? &g.storeFiles
                 : n == "addressbook"     ? &g.addressBook
                 : n == "stationery"      ? &g.stationery
                 : n == "dictionaries"    ? &g.dictionaries
                 : n == "favorites"       ? &g.favorites
                 : n == "firefox"         ? &g.firefox
                 : n == "opera"           ? &g.opera
                                          : nullptr;
    if (!flag) return false;
    *flag = false;
    return true;
}

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && value >= 0;
}

void Report(const OeIdentity& id) {
    Line("Identität:    " + id.username + " " + id.guid);
    Line("Store Root:   " + id.storeRootValue);
    Line("Mail-Ordner:  " + id.storeFolder);
    for (const auto& f : id.folders) {
        if (!f.exists) continue;
        Line("  " + f.folderName + " -> " + f.fileName + ", " + std::to_string(f.size) +
             " Bytes, " + std::to_string(f.messages) + " Nachrichten");
    }
    if (!id.folders.empty()) Line("Mails gesamt: " + std::to_string(id.MailBytes()) + " Bytes");
    if (!id.wabFile.empty()) Line("Adressbuch:   " + id.wabFile);
    if (!id.stationeryFolder.empty()) {
        Line("Briefpapier:  " + id.stationeryFolder);
        if (id.stationeryValue.empty() && !id.stationeryFiles.empty())
            Line("              (\"Stationery Folder\" nicht geschrieben: keine Rechte)");
    }
    if (!id.dictionaryFolder.empty()) Line("Wörterbücher: " + id.dictionaryFolder);
    if (!id.favoritesFolder.empty()) Line("Favoriten:    " + id.favoritesFolder);
    if (!id.firefoxIni.empty()) Line("Firefox:      " + id.firefoxIni);
    if (!id.operaProfile.empty()) Line("Opera:        " + id.operaProfile);
}

}  // namespace

int main(int argc, char** argv) {
    OeIdentityOptions options;
    std::string root;
    std::string places;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const auto value = [&]() { return FromArgument(argv[++i]); };
        double number = 0;
        if (arg == "--name" && hasValue) {
            options.username = value();
        } else if (arg == "--store" && hasValue) {
            options.storeFolder = value();
        } else if (arg == "--mail-mb" && hasValue && ParseNumber(argv[i + 1], number)) {
            ++i;
            options.mailBytes = static_cast<uint64_t>(number * 1024 * 1024);
        } else if (arg == "--seed" && hasValue && ParseNumber(argv[i + 1], number)) {
            ++i;
            options.seed = static_cast<uint32_t>(number);
        } else if (arg == "--guid" && hasValue) {
            options.guid = value();
        } else if (arg == "--not-default") {
            options.makeDefault = false;
        } else if (arg == "--plain-store-root") {
            options.storeRootUserProfile = false;
        } else if (arg == "--places" && hasValue) {
            places = value();
        } else if (arg == "--without" && hasValue) {
            const std::string list = value();
            size_t start = 0;
            for (;;) {
                const size_t comma = list.find(',', start);
                const std::string name = list.substr(start, comma - start);
                if (!LeaveOut(options.with, name)) return Usage("unbekannte Gruppe " + name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
#ifndef _WIN32
        } else if (arg == "--root" && hasValue) {
            root = argv[++i];  // a host path, left as the terminal gave it
#endif
        } else {
            return Usage(arg == "--help" ? std::string() : "unbekanntes Argument " + arg);
        }
    }
    if (!places.empty()) options.places = bv::test::OePlaces::Below(places);

    try {
#ifdef _WIN32
        auto system = bv::CreateWin32Platform("make_identity");
        bv::Platform& platform = system->platform();
#else
        if (root.empty()) return Usage("--root fehlt");
        bv::PosixPlatform system(root);
        bv::Platform platform = system.Bind();
#endif
        const OeIdentity id = bv::test::OeIdentityBuilder(platform).Build(options);
        Report(id);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_identity: %s\n", ToTerminal(e.what()).c_str());
        return 1;
    }
    return 0;
}
