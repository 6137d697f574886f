#include "brevisto/transfer/transfer_run.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>

#include "brevisto/backup/backup_info.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/transfer/account_transfer.h"
#include "brevisto/transfer/file_transfer.h"
#include "brevisto/transfer/settings_transfer.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kTransferStepCaptions[tsStepCount] = {
    "E-&Mail-Konten",         "&Filter, Regeln, block. Absender", "Si&gnaturen",
    "&Dateien für Briefpapiere", "Benutzer&wörterbücher",       "Internet Explorer Fa&voriten",
    "Firefo&x Favoriten",     "O&pera Favoriten, Adressen...",
};
const char* const kTransferStepNames[tsStepCount] = {
    "E-Mail-Konten",          "Filter, Regeln und blockierte Absender", "Signaturen",
    "Briefpapiere",           "Benutzerwörterbücher",                   "Internet Explorer Favoriten",
    "Firefox Favoriten",      "Opera Favoriten und Adressen",
};

const char* const kWrongPasswordText =
    "Das angegebene Passwort ist nicht korrekt!\rDas Backup konnte nicht entschlüsselt werden!";
const char* const kNoBackupDataText =
    "Es ist ein Fehler aufgetreten: Die Datei enthält keine gesicherten Daten!\rEntweder ist diese Datei keine "
    "von Brevisto angelegte Sicherungsdatei, oder die Datei ist irreparabel beschädigt.\rDaten können nicht "
    "eingespielt werden...";
const char* const kNothingToUnpackText =
    "In dem Backup befanden sich weder E-Mail-Dateien noch ein Windows-Adressbuch, so dass ein Import der Daten "
    "nicht möglich ist.";
const char* const kTransferDoneText = "Das Übertragen und Entpacken der Daten wurde durchgeführt.";

namespace {

const char* const kShowFolderQuestion =
    "Möchten Sie den Ordner mit den extrahierten Mailordnern und dem Adressbuch anzeigen lassen?";
const char* const kExportDoneText =
    "Der Export der Daten ist abgeschlossen. Weitere Informationen zum Import der Daten finden Sie in der "
    "Programmhilfe.";
const char* const kTransferFailedText =
    "Das Übertragen und Entpacken der Daten wurde durchgeführt, aber NICHT alles konnte übernommen werden:\r\r";
const char* const kFolderNotCreatedText = "Der Ordner %s konnte nicht angelegt werden!";

struct Browser {
    TransferStep step;
    const char* exe;
    const char* name;
};
const Browser kBrowsers[] = {
    {tsIEFavorites, "iexplore.exe", "Internet Explorer"},
    {tsFirefox, "firefox.exe", "Mozilla Firefox"},
    {tsOpera, "opera.exe", "Opera"},
};

bool SnapshotsFailed(const std::vector<SnapshotOutcome>& outcomes) {
    return std::any_of(outcomes.begin(), outcomes.end(), [](const SnapshotOutcome& o) {
        return o.result == SnapshotResult::NotExtracted || o.result == SnapshotResult::Failed;
    });
}

}  // namespace

int ChainCounter(const std::string& text) {
    const std::string trimmed = TrimBlanks(text);
    if (trimmed.empty()) return 0;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(trimmed.c_str(), &end, 10);
    if (errno != 0 || end == trimmed.c_str() || *end != '\0' || value < INT_MIN || value > INT_MAX) return 0;
    return static_cast<int>(value);
}

TransferRun::TransferRun(Platform& platform, TZipReader& reader, TransferRunView& view)
    : p_(platform), reader_(reader), view_(view) {}

void TransferRun::PrepareReader(const std::string& path, const TransferRequest& request) {
    reader_.SetZipName(path);
    reader_.SetDestDir(request.targetFolder);
    reader_.SetKeepZipOpen(false);
    reader_.SetRecreateDirs(false);
    reader_.SetDoAll(false);
    reader_.SetRootDir(std::string());
    reader_.SetOverwriteMode(TOverwriteMode::Always);
}

std::vector<ChainArchive> TransferRun::BuildArchiveList(const TransferRequest& request,
                                                        std::vector<std::string>& unreadable) {
    std::vector<ChainArchive> list;
    if (request.mainFound && !request.mainBackup.empty()) list.push_back({request.mainBackup, 0});
    for (const std::string& name : request.backups) {
        const std::string file = name + ".bvq";
        // The main backup is in the list once, whatever its own record says.
        if (request.mainFound && SameText(file, request.mainBackup)) continue;
        std::string comment;
        try {
            TZipReader probe(p_);
            // No rebuilt directory here: it would lack the record, and the archive would
            // drop out of its chain without a word.
            probe.SetZipName(request.backupFolder + file);
            probe.ReadDirectory();
            comment = probe.ReadComment();
        } catch (const std::exception&) {
            unreadable.push_back(file);
            continue;
        }
        p_.pump.ProcessMessages();
        if (!SameText(BackupInfoValue(comment, "BackupInfo", "HauptBackup"), request.mainBackup)) continue;
        list.push_back({file, ChainCounter(BackupInfoValue(comment, "BackupInfo", "Counter"))});
    }
    // The main backup keeps its place in front; the updates follow by counter, ties in list order.
    const auto updates = list.begin() + ((request.mainFound && !list.empty()) ? 1 : 0);
    std::stable_sort(updates, list.end(),
                     [](const ChainArchive& a, const ChainArchive& b) { return a.counter < b.counter; });
    return list;
}

void TransferRun::Fail(TransferOutcome& outcome, const ChainArchive& archive, const std::string& what) {
    outcome.failures.push_back(ChangeFileExt(archive.fileName, "") + ": " + what);
}

TransferRun::ArchiveState TransferRun::OpenArchive(const TransferRequest& request, const ChainArchive& archive) {
    PrepareReader(request.backupFolder + archive.fileName, request);
    try {
        reader_.ReadDirectory();
        if (reader_.EntryCount() == 0) return ArchiveState::NoBackup;
        if (!reader_.EntryEncrypted(0)) return ArchiveState::Ready;
        reader_.ForgetTest(0);
        reader_.SetPassword(request.password);
        return reader_.TestEntry(0) ? ArchiveState::Ready : ArchiveState::WrongPassword;
    } catch (const std::exception&) {
        return ArchiveState::NoBackup;
    }
}

bool TransferRun::LoadArchive(const TransferRequest& request, const ChainArchive& archive,
                              TransferOutcome& outcome) {
    switch (OpenArchive(request, archive)) {
        case ArchiveState::Ready: return true;
        case ArchiveState::WrongPassword:
            Fail(outcome, archive, "Das Passwort passt nicht zu diesem Backup; es wurde übersprungen.");
            return false;
        case ArchiveState::NoBackup: break;
    }
    Fail(outcome, archive, "Das Backup konnte nicht gelesen werden und wurde übersprungen.");
    return false;
}

TransferOutcome TransferRun::Execute(const TransferRequest& request) {
    TransferOutcome outcome;
    tempFolder_ = Settings(p_).TemporaryFolder();
    if (!tempFolder_.empty() && !DirectoryExists(p_.files, tempFolder_)) ForceDirectories(p_.files, tempFolder_);

    std::vector<std::string> unreadable;
    outcome.archives = BuildArchiveList(request, unreadable);
    for (const std::string& file : unreadable) Fail(outcome, {file, 0}, "Das Backup konnte nicht gelesen werden und wurde übersprungen.");
    if (outcome.archives.empty() && !request.chosenBackup.empty()) outcome.archives.push_back({request.chosenBackup, 0});
    if (outcome.archives.empty()) {
        ShowMsgBox(p_.prompter, kNoBackupDataText, kMessageCaption, mkError, bsOk);
        return outcome;
    }

    // The first archive decides: a wrong password or a file that is no backup ends the run
    // before anything is changed.
    switch (OpenArchive(request, outcome.archives.front())) {
        case ArchiveState::Ready: break;
        case ArchiveState::WrongPassword:
            ShowMsgBox(p_.prompter, kWrongPasswordText, kMessageCaption, mkError, bsOk);
            view_.FocusPassword();
            return outcome;
        case ArchiveState::NoBackup:
            ShowMsgBox(p_.prompter, kNoBackupDataText, kMessageCaption, mkError, bsOk);
            return outcome;
    }

    const bool settingsWanted =
        std::any_of(request.steps.begin(), request.steps.end(), [](bool ticked) { return ticked; });
    if (!request.mailProgram.empty() && settingsWanted) {
        const int windows = GetWindowsVersion(p_.system, p_.prompter);
        if (windows >= wvXP) {
            for (const Browser& browser : kBrowsers) {
                if (!request.steps[browser.step] || !IsProcessRunning(p_.system, browser.exe)) continue;
                ShowMsgBox(p_.prompter,
                           std::string("Schließen Sie bitte den Browser \"") + browser.name +
                               "\"!\rDamit die Daten ordnungsgemäß eingespielt werden können, muss dieses Programm "
                               "geschlossen sein.",
                           kMessageCaption, mkWarning, bsOk);
                return outcome;
            }
            TransferSettings(request, outcome);
        }
    }
    if (request.unpack) Unpack(request, outcome);

    // The reader is left on the chain's first archive, as the dialog showed it.
    PrepareReader(request.backupFolder + outcome.archives.front().fileName, request);
    // The note comes before the last message, so that the last message also covers it.
    if (outcome.specialAccountsConverted) {
        const TransferTarget target{request.mailProgram, tempFolder_, request.targetFolder};
        if (!WriteConvertedAccountsNote(p_, target, request.targetFolder))  // tells the user itself
            outcome.failures.push_back(std::string("Der Hinweis \"") + kAccountsNoteName +
                                       "\" konnte nicht geschrieben werden.");
    }
    outcome.end = outcome.failures.empty() ? TransferEnd::Completed : TransferEnd::Failed;
    if (outcome.failures.empty()) {
        ShowMsgBox(p_.prompter, kTransferDoneText, kMessageCaption, mkInformation, bsOk);
    } else {
        std::string text = kTransferFailedText;
        for (const std::string& line : outcome.failures) text += "- " + line + "\r";
        ShowMsgBox(p_.prompter, text, kMessageCaption, mkError, bsOk);
    }
    return outcome;
}

void TransferRun::TransferSettings(const TransferRequest& request, TransferOutcome& outcome) {
    const TransferTarget target{request.mailProgram, tempFolder_, request.targetFolder};
    outcome.settingsTransferred = true;
    for (const ChainArchive& archive : outcome.archives) {
        if (!LoadArchive(request, archive, outcome)) continue;
        // Each step reports its own failures to the user; the run collects which failed.
        const auto step = [&](TransferStep which, bool failed) {
            if (failed) Fail(outcome, archive, kTransferStepNames[which]);
            view_.SetStatus(std::string());
            p_.pump.ProcessMessages();
        };
        try {
            if (request.steps[tsAccounts]) {
                const AccountTransferResult r = TransferAccounts(p_, reader_, target);
                outcome.specialAccountsConverted = outcome.specialAccountsConverted || r.specialAccountsConverted;
                step(tsAccounts, r.failed);
            }
            if (request.steps[tsRules])
                step(tsRules, SnapshotsFailed(TransferRulesAndBlockedSenders(p_, reader_, target)));
            if (request.steps[tsSignatures])
                step(tsSignatures, SnapshotsFailed(TransferSignatures(p_, reader_, target)));
            if (request.steps[tsStationery]) {
                const bool files = TransferStationeryFiles(p_, reader_, target) == FileStepResult::Failed;
                const bool lists = SnapshotsFailed(TransferStationeryLists(p_, reader_, target));
                step(tsStationery, files || lists);
            }
            const struct {
                TransferStep which;
                FileStepResult (*run)(Platform&, TZipReader&, const TransferTarget&);
            } fileSteps[] = {{tsDictionaries, TransferDictionaries},
                             {tsIEFavorites, TransferIEFavorites},
                             {tsFirefox, TransferFirefoxBookmarks},
                             {tsOpera, TransferOperaData}};
            for (const auto& f : fileSteps)
                if (request.steps[f.which]) step(f.which, f.run(p_, reader_, target) == FileStepResult::Failed);
        } catch (const std::exception&) {
            // The archive or a file of a step stopped reading part-way: the later archives still come.
            Fail(outcome, archive, "Das Backup konnte nicht vollständig gelesen werden.");
        }
    }
}

void TransferRun::Unpack(const TransferRequest& request, TransferOutcome& outcome) {
    const std::string target = request.targetFolder;
    if (!DirectoryExists(p_.files, target) && !ForceDirectories(p_.files, target)) {
        const std::string text = ReplaceText(kFolderNotCreatedText, "%s", target);
        ShowMsgBox(p_.prompter, text, kMessageCaption, mkError, bsOk);
        outcome.failures.push_back(text);
        return;
    }
    view_.SetUnpackEnabled(false);
    int total = 0;
    for (const ChainArchive& archive : outcome.archives) {
        if (!LoadArchive(request, archive, outcome)) continue;
        int wanted = 0;
        for (int i = 0; i < reader_.EntryCount(); ++i) {
            const std::string name = reader_.EntryName(i);
            if (!name.empty() && (zip::MatchesPattern("*.dbx", name) || zip::MatchesPattern("*.wab", name))) ++wanted;
        }
        int written = 0;
        try {
            reader_.SetDestDir(target);
            reader_.FilesList() = {"*.dbx", "*.wab"};
            written = reader_.ExtractMatching();
        } catch (const std::exception&) {
            Fail(outcome, archive, "Das Backup konnte nicht vollständig gelesen werden.");
        }
        total += written;
        if (written < wanted)
            Fail(outcome, archive,
                 std::to_string(wanted - written) + " von " + std::to_string(wanted) +
                     " Mailordnern und Adressbüchern konnten nicht entpackt werden.");
        p_.pump.ProcessMessages();
    }
    outcome.filesUnpacked = total;
    view_.SetUnpackEnabled(true);
    if (total == 0) {
        ShowMsgBox(p_.prompter, kNothingToUnpackText, kMessageCaption, mkInformation, bsOk);
        return;
    }
    view_.SetStatus(std::to_string(total) + " Dateien entpackt.");
    if (ShowMsgBox(p_.prompter, kShowFolderQuestion, kMessageCaption, mkQuestion, bsYesNo) == MsgResult::Yes)
        p_.shell.OpenDocument(target);
    ShowMsgBox(p_.prompter, kExportDoneText, kMessageCaption, mkInformation, bsOk);
    view_.ShowHelpTopic(HelpTopic::TransferImport);
}

}  // namespace bv
