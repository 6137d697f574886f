#include "brevisto/shell/product.h"

#include "brevisto/support/product_version.h"

namespace bv {

const char* const kMainWindowTitle = "Brevisto - Spezialversion - V" BREVISTO_PRODUCT_VERSION;
const char* const kApplicationTitle = "Brevisto - Datensicherung für Outlook Express";
const char* const kMessageCaption = "Brevisto";
const char* const kSpecialEditionInfo =
    "\r\rSpezialversion zum Übertragen der Daten nach Windows Mail";

const char* const kCreateButtonCaption = "Backup &anlegen         ";
const char* const kCreateButtonHint = "Klicken, um ein Komplettbackup anzulegen";
const char* const kUpdateButtonCaption = "Backup a&ktualisieren";
const char* const kUpdateButtonHint = "Klicken, um nur die geänderten Daten zu sichern";
const char* const kRestoreButtonCaption = "Backup ein&spielen";
const char* const kRestoreButtonHint = "Klicken, um die Daten in Outlook Express einzuspielen";
const char* const kCreateButtonDescription =
    "Sichern Sie Ihre Mailordner aus Microsoft® Outlook Express mit sämtlichen E-Mails, "
    "festgelegten Signaturen, angelegtem Adressbuch sowie Nachrichten- und News-Regeln.";

const char* const kHiddenSystemSettingsTabs[3] = {"ActiveX", "Intruder", "Laufwerkszugriff"};

const char* const kProductUrl = "http://www.quillmar.de/brevisto/index.html?bvq";
const char* const kSiblingProductUrl = "http://www.quillmar.de/velmora/index.html?bvq";
const char* const kSupportMail = "mailto:support@quillmar.de";
const char* const kMicrosoftSupportUrl = "http://support.microsoft.com/?pr=oe";
const char* const kMakerMail = "mailto:info@quillmar.de";
const char* const kMakerWebSite = "http://www.quillmar.de/";
const char* const kOutlookExpressProgram = "MSIMN.EXE";

const char* const kHelpFile = "hilfe.chm";

std::string SpecialEditionRestoreText() {
    return std::string("Die mit dieser Spezialversion erstellte Backupdatei ist nur mit der "
                       "Vollversion von Velmora nutzbar. \r\rÜbertragen Sie die Backupdatei "
                       "nach Windows Vista und konvertieren Sie dort die in der Datei "
                       "befindlichen Outlook Express Daten mit Hilfe der Software Velmora") +
           " (" + kSiblingProductUrl + ").";
}

std::string HelpPageForTopic(int topic) {
    struct TopicPage {
        int topic;
        const char* page;
    };
    static const TopicPage kPages[] = {
        {HelpTopic::Main, "start.htm"},
        {HelpTopic::WizardFull, "backup_anlegen.htm"},
        {HelpTopic::WizardUpdate, "backup_aktualisieren.htm"},
        {HelpTopic::Preferences, "einstellungen.htm"},
        {HelpTopic::SystemSettings, "systemeinstellungen.htm"},
        {HelpTopic::SystemSettingsContext, "systemeinstellungen.htm"},
        {HelpTopic::Viewer, "backup_anschauen.htm"},
        {HelpTopic::Transfer, "daten_uebertragen.htm"},
        {HelpTopic::TransferImport, "import_windows_mail.htm"},
    };
    for (const TopicPage& p : kPages)
        if (p.topic == topic) return p.page;
    return std::string();
}

}  // namespace bv
