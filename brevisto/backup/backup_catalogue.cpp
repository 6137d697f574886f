// The registry keys a backup saves, each as one REGEDIT4 file in the archive.
#include <cstdio>

#include "brevisto/backup/backup_run.h"
#include "brevisto/regfile/ex_registry.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

struct BackupRun::CatalogueRow {
    const char* file;
    const char* key;
    BackupGroup group;
    bool perIdentity;
    bool global;
    bool dropStoreRoot;
    const char* savingText;
    const char* notFoundText;
};

// In the order the run saves them; each group's rows are saved together when the run
// reaches that group.
static const BackupRun::CatalogueRow kCatalogue[] = {
    {"PREFSMAIN.OLS", "Software\\Microsoft\\Outlook Express\\5.0", BackupGroup::Prefs, true, false, true,
     "Speichert Haupt-Registry-Schlüssel für Programm-Einstellungen.",
     "Haupt-Registry-Schlüssel für Programm-Einstellungen nicht gefunden!"},
    {"PREFS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Mail", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für Programm-Einstellungen.",
     "Registry-Schlüssel für Programm-Einstellungen nicht gefunden!"},
    {"FONTS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Trident", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für Schrifteinstellungen.",
     "Registry-Schlüssel für Schrifteinstellungen nicht gefunden!"},
    {"MAILNOTE.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\MailNote", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für E-Mail-Einstellungen.",
     "Registry-Schlüssel für E-Mail-Einstellungen nicht gefunden!"},
    {"NEWS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\News", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für News-Einstellungen.",
     "Registry-Schlüssel für News-Einstellungen nicht gefunden!"},
    {"NEWSNOTE.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\NewNote", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für weitere News-Einstellungen.",
     "Registry-Schlüssel für weitere News-Einstellungen nicht gefunden!"},
    {"DIALOGS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Dont Show Dialogs", BackupGroup::Prefs, true, false,
     false, "Speichert Registry-Schlüssel für Dialog-Einstellungen.",
     "Registry-Schlüssel für Dialog-Einstellungen nicht gefunden!"},
    {"COLUMNS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Columns", BackupGroup::Prefs, true, false, false,
     "Speichert Registry-Schlüssel für Spalten-Einstellungen.",
     "Registry-Schlüssel für Spalten-Einstellungen nicht gefunden!"},
    {"WAB.OLS", "Software\\Microsoft\\WAB\\WAB Sort State", BackupGroup::AddressBook, true, false, false,
     "Speichert Registry-Schlüssel für Adressbuch-Einstellungen.",
     "Registry-Schlüssel für Adressbuch-Einstellungen nicht gefunden! Vermutlich wurden bisher keine "
     "Absender im Adressbuch angelegt."},
    {"ACCOUNTS.OLS", "Software\\Microsoft\\Internet Account Manager", BackupGroup::Accounts, true, false, false,
     "Speichert Registry-Schlüssel für Internetkonten.",
     "Registry-Schlüssel für Internetkonten nicht gefunden! Vermutlich existieren nur Default-Internetkonten."},
    {"ACCDEF.OLS", "Software\\Microsoft\\Internet Account Manager", BackupGroup::Accounts, false, true, false,
     "Speichert Registry-Schlüssel für Default-Internetkonten.",
     "Registry-Schlüssel für Default-Internetkonten nicht gefunden! Vermutlich wurden bisher keine "
     "Internetkonten angelegt."},
    {"FILTERS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Rules", BackupGroup::Rules, true, false, false,
     "Speichert Registry-Schlüssel für Filter und Regeln.",
     "Registry-Schlüssel für Filter und Regeln nicht gefunden! Vermutlich wurden bisher keine Filter und "
     "Regeln angelegt."},
    {"BLOCKERS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Block Senders", BackupGroup::Rules, true, false,
     false, "Speichert Registry-Schlüssel für Blockierte Absender.",
     "Registry-Schlüssel für Blockierte Absender nicht gefunden! Vermutlich wurden bisher keine blockierten "
     "Absender angelegt."},
    {"SIGNS.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\signatures", BackupGroup::Signatures, true, false,
     false, "Speichert der Registry-Schlüssel für Signaturen.",
     "Registry-Schlüssel für Signaturen nicht gefunden! Vermutlich wurden bisher keine Signaturen angelegt."},
    {"PAPER.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Recent Stationery List", BackupGroup::Stationery,
     true, false, false, "Speichert 1.Registry-Schlüssel für Briefpapier.",
     "1.Registry-Schlüssel für Briefpapier nicht gefunden! Vermutlich existiert bisher kein Briefpapier."},
    {"PAPERW.OLS", "Software\\Microsoft\\Outlook Express\\5.0\\Recent Stationery Wide List",
     BackupGroup::Stationery, true, false, false, "Speichert 2.Registry-Schlüssel für Briefpapier.",
     "2.Registry-Schlüssel für Briefpapier nicht gefunden! Vermutlich existiert bisher kein weiteres "
     "Briefpapier."},
    {"IEZONE.OLS", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains",
     BackupGroup::IEZones, false, false, false, "Speichert Registry-Schlüssel für IE Sicherheitszonen.",
     "Registry-Schlüssel für IE Sicherheitszonen nicht gefunden! Vermutlich wurden bisher keine "
     "Sicherheitszonen definiert."},
    {"COOKIEUS.OLS", "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P", BackupGroup::Cookies,
     false, false, false, "Speichert Registry-Schlüssel für Cookie-Einstellungen des Users.",
     "Registry-Schlüssel für Cookie-Einstellungen nicht gefunden! Vermutlich wurden bisher keine "
     "Cookie-Einstellungen vorgenommen."},
};

void BackupRun::SaveCatalogueGroup(BackupGroup group) {
    for (const CatalogueRow& row : kCatalogue) {
        if (row.group != group) continue;
        if (row.global && !defaultIdentity_) continue;  // the default accounts only once
        if (cancelled_) return;
        SaveRegistryKey(row);
    }
}

namespace {

// Keeps the key's own header and values: up to the second empty line, without "Store Root".
std::string WithoutSubkeysAndStoreRoot(const std::string& text) {
    std::string kept;
    int emptyLines = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 2;
        if (line.empty() && ++emptyLines == 2) break;
        if (AnsiUpperCase(line).find("\"STORE ROOT\"=") != std::string::npos) continue;
        kept += line + "\r\n";
    }
    return kept;
}

}  // namespace

void BackupRun::SaveRegistryKey(const CatalogueRow& row) {
    AppendReport("\r\n" + std::string(row.savingText));
    const std::string staging = tempFolder_ + row.file;
    DeleteStagingFile(staging);

    std::string key = row.key;
    if (row.perIdentity && !row.global) key = "Identities" + options_.identity.KeyName + key;
    TExRegistry registry(p_);
    registry.RootKey = RegRoot::CurrentUser;
    registry.Access = KeyAccess::Read;
    bool failed = false;
    if (!registry.OpenKeyReadOnly(key)) {
        AppendReport(row.notFoundText);
    } else {
        bool exported = false;
        try {
            exported = registry.ExportToRegFile(staging);
        } catch (const std::exception&) {
            exported = false;
        }
        ProcessMessages();
        if (exported && row.dropStoreRoot) {
            auto in = p_.files.Open(staging, OpenMode::Read);
            std::string text;
            // A read that stops early looks like the end of the file: the size tells them apart.
            if (in) {
                char buf[16384];
                while (size_t n = in->Read(buf, sizeof buf)) text.append(buf, n);
                const bool whole = text.size() == in->Size();
                in.reset();
                if (!whole) text.clear();
            }
            if (!text.empty()) {
                const std::string kept = WithoutSubkeysAndStoreRoot(text);
                auto out = p_.files.Open(staging, OpenMode::CreateAlways);
                exported = out && out->Write(kept.data(), kept.size()) && out->Close();
            } else {
                exported = false;
            }
        }
        char message[512];
        std::snprintf(message, sizeof message, "Datei %s konnte nicht gesichert werden!", staging.c_str());
        if (!exported || !FileExists(p_.files, staging)) {
            // The key is there but could not be written out: that is a failure, not a gap.
            Fail(row.group, message, message);
            failed = true;
        } else {
            ClearReadOnlyHidden(p_.files, staging);
            writer_->FilesList().push_back(staging);
            failed = !AddWithProtocol(row.group, message, message, false);
            writer_->FilesList().clear();
            ProcessMessages();
        }
        DeleteStagingFile(staging);
    }
    FinishGroup(row.group, failed);
}

}  // namespace bv
