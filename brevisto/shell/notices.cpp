#include "brevisto/shell/notices.h"

#include "brevisto/settings/settings_store.h"

namespace bv {

const char* const kNoticeCaption = "Hinweis";
const char* const kNoticeCheckBoxText = "Hinweis nicht noch einmal anzeigen";
const char* const kAgainPassword = "again_password";
const char* const kAgainDontDelMain = "again_dontdelmain";
const char* const kAgainBvqHandle = "again_bvqhandle";
const char* const kNoticePasswordText =
    "Notieren Sie sich die Passwörter der E-Mail-Konten, da diese aus Sicherheitsgründen nicht "
    "auf ein neues System übertragen werden können, bzw. dort nicht gültig sind!\r\rNähere "
    "Informationen finden Sie in der FAQ der Programm-Hilfe.";
const char* const kNoticeDontDelMainText =
    "Sie haben ein Updatebackup angelegt, das nur die geänderten Daten seit der letzten "
    "Sicherung beinhaltet. Damit die Daten im Ernstfall wieder korrekt eingespielt werden "
    "können, muss das Hauptbackup und alle Update-Backups vorhanden sein.\r\rLöschen Sie "
    "daher NIE eine Backupdatei von Hand!!!";

bool NoticeWanted(Platform& platform, bool autoRun, const std::string& flag) {
    return !autoRun && !Settings(platform).Again(flag);
}

bool ShowNotice(Platform& platform, bool autoRun, const std::string& flag,
                const std::string& text, const NoticeDialog& dialog) {
    if (!NoticeWanted(platform, autoRun, flag) || !dialog) return false;
    const NoticeAnswer answer = dialog(text);
    if (answer.ok && answer.dontShowAgain) Settings(platform).SetBool(flag, true);
    return true;
}

void ResetNotices(Platform& platform) {
    std::vector<RegValue> values;
    if (platform.registry.EnumValues(RegRoot::CurrentUser, SettingsKey, values) !=
        WinError::Success)
        return;
    Settings settings(platform);
    for (const RegValue& v : values)
        if (v.name.compare(0, 6, "again_") == 0) settings.SetBool(v.name, false);
}

}  // namespace bv
