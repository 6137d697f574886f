#include "brevisto/shell/preferences_model.h"

#include <algorithm>

#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/file_association.h"
#include "brevisto/shell/notices.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const kPreferencesCaption = "Brevisto - Einstellungen";
const char* const kOETabExplanation =
    "Das E-Mail-Programm Outlook Express darf während einer Datensicherung nicht geöffnet sein. "
    "Brevisto kann Outlook Express automatisch schließen, indem der Prozess beendet wird.\r\n"
    " \r\nACHTUNG: Möglicher Verlust von Daten ist vorhanden!";
const char* const kTempFolderBrowseTitle =
    "Wählen Sie den Ordner oder Laufwerk, in dem die Sicherungsdaten temporär "
    "zwischengespeichert werden sollen.";
const char* const kBackupFolderBrowseTitle =
    "Wählen Sie den Ordner oder Laufwerk, in dem das Backup gespeichert werden soll.";
const char* const kPriorityItems[4] = {
    "Normal (Standard)",
    "Idle - keine Einschränkungen beim weiteren Arbeiten",
    "High - hohe Rechnerleistung für das Programm",
    "Realtime - Programm erhält maximale Ressourcen",
};
const char* const kPrefTabCaptions[5] = {"Ordner", "Backups", "Fenster", "Outlook Express",
                                         "Diverses"};

namespace {

const NumberRange& RangeOf(NumberField field) {
    return field == NumberField::MaxBackups ? kMaxBackupsRange : kUpdatePeriodRange;
}

int Clamp(int value, const NumberRange& range) {
    return std::min(std::max(value, range.minimum), range.maximum);
}

std::string WithBackslashOrTemp(Platform& p, const std::string& folder) {
    if (!folder.empty()) return folder;
    const std::string temp = p.system.TempPath();
    return temp.empty() ? temp : IncludeTrailingBackslash(temp);
}

}  // namespace

NumberFieldText FilterNumberField(const std::string& text, int caret) {
    NumberFieldText out;
    for (char c : text)
        if (c >= '0' && c <= '9') out.text += c;
    if (out.text.empty()) out.text = "1";
    out.caret = std::min(std::max(caret, 0), static_cast<int>(out.text.size()));
    return out;
}

std::string NumberFieldOnExit(NumberField field, const std::string& text) {
    if (!text.empty()) return text;
    return field == NumberField::MaxBackups ? "1" : "2";
}

int NumberFieldValue(NumberField field, const std::string& text) {
    const NumberRange& range = RangeOf(field);
    long long value = 0;
    bool any = false;
    for (char c : text) {
        if (c < '0' || c > '9') continue;
        any = true;
        value = std::min(value * 10 + (c - '0'), 1000000LL);
    }
    if (!any) return range.minimum;
    return Clamp(static_cast<int>(value), range);
}

void PreferencesModel::Load() {
    Settings s(p_);
    values_ = PreferencesValues();
    values_.tmpFolder = WithBackslashOrTemp(p_, ExpandPath(p_.shell, s.String("tmpFolder"), true));
    values_.bakFolder = s.BackupFolder();

    const int maxBackups = s.Integer("maxBackups");
    if (maxBackups > 0) values_.maxBackups = Clamp(maxBackups, kMaxBackupsRange);
    const int period = s.Integer("UpdOUPeriod");
    if (period > 0) values_.updatePeriod = Clamp(period, kUpdatePeriodRange);

    values_.stopProgram = s.StopProgram();
    values_.askForPassword = s.AskForPassword();
    values_.testBackup = s.TestBackup();
    values_.noMessages = s.NoMessages();
    values_.registerExtension = BackupExtensionRegistered(p_);
    initialRegister_ = values_.registerExtension;

    values_.compression = Clamp(s.Compression(), kCompressionRange);
    values_.oeAutoClose = s.OEAutoClose();
    values_.oeAutoStart = s.OEAutoStart();
    values_.oeAutoStart2 = s.OEAutoStart2();
    values_.printAfterBackup = s.OEPrintAfterBackup();
    // The list has four positions; a stored value outside them shows "Normal (Standard)".
    const int priority = s.Priority();
    values_.priority = priority >= 0 && priority <= 3 ? priority : 0;
    values_.minimize = s.Minimize();
}

void PreferencesModel::ResetNotices() { bv::ResetNotices(p_); }

FolderCheckResult PreferencesModel::LeaveFolderField(const std::string& text) {
    if (text.empty()) return FolderCheckResult{};
    return CheckTargetFolder(p_, text);
}

bool PreferencesModel::BrowseFolder(bool temporaryFolder, std::string& field, bool& focusEdit) {
    focusEdit = false;
    std::string chosen = field;
    if (!SelectFolder(p_, temporaryFolder ? kTempFolderBrowseTitle : kBackupFolderBrowseTitle, "",
                      chosen, true))
        return false;
    if (!FolderIsWritable(p_, chosen)) {
        ShowMsgBox(p_.prompter, NoWriteAccessText(chosen), "", mkError, bsOk);
        return false;
    }
    const FolderCheckResult check = CheckTargetFolder(p_, ExpandPath(p_.shell, chosen, true));
    field = check.folder;
    focusEdit = check.focusEdit;
    return true;
}

std::string PreferencesModel::ProgramPath() const { return p_.system.ProgramFile(); }

void PreferencesModel::Save() {
    Settings s(p_);
    const PreferencesValues& v = values_;
    s.SetString("tmpFolder", WithBackslashOrTemp(p_, ExpandPath(p_.shell, v.tmpFolder, true)));
    s.SetString("bakFolder", ExpandPath(p_.shell, v.bakFolder, true));
    s.SetInteger("maxBackups", Clamp(v.maxBackups, kMaxBackupsRange));
    s.SetBool("stopProgram", v.stopProgram);
    s.SetInteger("UpdOUPeriod", Clamp(v.updatePeriod, kUpdatePeriodRange));
    s.SetBool("askForPassword", v.askForPassword);
    s.SetBool("testBackup", v.testBackup);
    s.SetBool("noMessages", v.noMessages);
    if (v.registerExtension != initialRegister_) {
        RegisterFileAssociation(p_, kBackupExtension, kBackupFileClass, kBackupFileTypeName,
                                v.registerExtension, 0, ProgramPath());
        initialRegister_ = v.registerExtension;
    }
    s.SetInteger("Compression", Clamp(v.compression, kCompressionRange));
    s.SetBool("OEautoClose", v.oeAutoClose);
    s.SetBool("OEautoStart", v.oeAutoStart);
    s.SetBool("OEautoStart2", v.oeAutoStart2);
    s.SetInteger("OEprintAfterBackup", v.printAfterBackup ? 1 : 0);
    s.SetInteger("Priority", v.priority >= 0 && v.priority <= 3 ? v.priority : 0);
    s.SetBool("Minimize", v.minimize);
}

}  // namespace bv
