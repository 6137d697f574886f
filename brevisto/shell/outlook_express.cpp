#include "brevisto/shell/outlook_express.h"

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "common/msg_box.h"

namespace bv {

const char* const kOutlookExpressWindowClass = "Outlook Express Browser Class";
const char* const kOutlookExpressCaption = "Outlook Express";
const char* const kOutlookExpressVersionKey = "SOFTWARE\\Microsoft\\Outlook Express\\Version Info";

const char* const kOENotInstalledText =
    "Das E-Mail-Programm \"Microsoft® Outlook Express\" ist nicht auf Ihrem Rechner installiert!";
const char* const kOEVersion4Text =
    "Vermutlich nutzen Sie \"Microsoft® Outlook Express\" in der Version 4.0.\rDiese Version "
    "wird jedoch nicht vom Programm unterstützt.";
const char* const kOECannotCloseText =
    "Outlook Express kann nicht automatisch beendet werden, da z.B. noch E-Mails gesendet "
    "werden müssen oder gerade die Mailkonten abgefragt werden.\rBitte probieren Sie die "
    "Aktion in wenigen Sekunden erneut.";
const char* const kOEPleaseCloseText =
    "Beenden Sie bitte das Programm \"Microsoft® Outlook Express\",\rErst dann können die "
    "aktuellen Daten gespeichert bzw. eingespielt werden!\r\rMöchten Sie die Einstellungen "
    "aufrufen, um Brevisto zukünftig automatisch schließen zu lassen?";

bool CheckOutlookExpressVersion(Platform& platform) {
    if (platform.registry.KeyExists(RegRoot::LocalMachine, kOutlookExpressVersionKey) !=
        WinError::Success) {
        ShowMsgBox(platform.prompter, kOENotInstalledText, kMessageCaption, mkError, bsOk);
        return false;
    }
    // "Current" looks like "6,0,2900,5512"; its first digit is the major version. A text
    // that does not begin with a digit counts as unsupported.
    const std::string current =
        ReadRegString(platform.registry, 2, kOutlookExpressVersionKey, "Current");
    if (!current.empty() && current[0] >= '5' && current[0] <= '9') return true;
    ShowMsgBox(platform.prompter, kOEVersion4Text, kMessageCaption, mkError, bsOk);
    return false;
}

bool CloseOutlookExpress(Platform& platform, bool& oeClosedByProgram,
                         const std::function<void()>& openPreferencesOnOETab) {
    System& system = platform.system;
    if (Settings(platform).OEAutoClose()) {
        if (!system.WindowOfClassExists(kOutlookExpressWindowClass)) return false;
        if (system.CloseWindowOfClass(kOutlookExpressWindowClass, kCloseTimeoutMs)) {
            // The process may still be ending; the backup does not wait for it.
            oeClosedByProgram = true;
            return false;
        }
        // Outlook Express is busy with a question of its own: answer it with No.
        if (system.WindowWithCaptionExists(kOutlookExpressCaption))
            system.PostKeyToCaption(kOutlookExpressCaption, kAnswerNoKey);
        if (system.WindowWithCaptionExists(kOutlookExpressCaption)) {
            ShowMsgBox(platform.prompter, kOECannotCloseText, kMessageCaption, mkError, bsOk);
            return true;
        }
        return false;
    }
    if (!system.WindowOfClassExists(kOutlookExpressWindowClass)) return false;
    if (ShowMsgBox(platform.prompter, kOEPleaseCloseText, kMessageCaption, mkError, bsYesNo) ==
            MsgResult::Yes &&
        openPreferencesOnOETab)
        openPreferencesOnOETab();
    return true;
}

bool ShouldRestartOutlookExpress(bool oeAutoStart, bool oeAutoStart2, bool oeClosedByProgram) {
    if (!oeAutoStart) return false;
    return oeAutoStart2 ? oeClosedByProgram : true;
}

bool RestartOutlookExpressIfWanted(Platform& platform, bool oeClosedByProgram) {
    Settings settings(platform);
    if (!ShouldRestartOutlookExpress(settings.OEAutoStart(), settings.OEAutoStart2(),
                                     oeClosedByProgram))
        return false;
    platform.shell.OpenDocument(kOutlookExpressProgram);
    return true;
}

}  // namespace bv
