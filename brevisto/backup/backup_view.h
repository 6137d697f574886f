// What a backup run shows while it works: the wizard's page "Backup" implements this with
// real controls, tests with a recorder.
#pragma once
#include <string>

namespace bv {

// The data groups of a run, each with a status icon and a label on the page.
enum class BackupGroup {
    Prefs,
    AddressBook,
    Accounts,
    Rules,
    Signatures,
    Stationery,
    Dictionaries,
    IEZones,
    Cookies,
    IEFavorites,
    Firefox,
    Opera,
    MailFolders,
};
constexpr int kBackupGroupCount = 13;

// The groups' labels on the page "Backup", in the order of BackupGroup.
inline constexpr const char* kBackupGroupLabels[kBackupGroupCount] = {
    "Programmeinstellungen",
    "Adressbuch mit Kontaktinformationen",
    "E-Mail-Konten, News-Konten, Dienste",
    "Filter und Regeln",
    "Signaturen",
    "Dateien für Briefpapiere",
    "Benutzerwörterbücher",
    "Internet Explorer Sicherheitszonen",
    "Cookie-Einstellungen",
    "Internet Explorer Favoriten",
    "Mozilla Firefox Favoriten (Lesezeichen)",
    "Opera Favoriten, Adressen, Notizen, Widgets",
    "Mailordner",
};

// Images of the status icons.
namespace StatusIcon {
constexpr int Cleared = -1;
constexpr int Failed = 0;
constexpr int Saved = 1;
constexpr int Unchanged = 2;
constexpr int InProgress = 9;
}  // namespace StatusIcon

enum class StatusColor { Normal, Red, Green };

class BackupView {
public:
    virtual ~BackupView() = default;
    virtual void SetStatus(const std::string& text, StatusColor color) = 0;
    virtual void SetIcon(BackupGroup group, int image) = 0;
    // The group's label enabled and its icon visible.
    virtual void ShowGroup(BackupGroup group, bool shown) = 0;
    virtual void SetTotalProgress(int percent) = 0;  // the bar of the whole run
    virtual void SetFileProgress(int percent) = 0;   // the bar of the current file
    // A report line; a line holding "\r\n" shows as two lines.
    virtual void AppendReport(const std::string& line) = 0;
    virtual void ClearReport() = 0;
};

}  // namespace bv
