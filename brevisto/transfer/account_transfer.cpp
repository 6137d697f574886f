#include "brevisto/transfer/account_transfer.h"

#include <initializer_list>
#include <memory>
#include <set>

#include "brevisto/mailstore/wm_store_scanner.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/transfer/account_file.h"
#include "brevisto/transfer/reg_snapshot.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kAccountsNoteName = "_Wichtig - Bitte lesen_.htm";

namespace {

const char kCaption[] = "Brevisto";
const char kSnapshotName[] = "ACCOUNTS.OLS";
const char kAccountPattern[] = "*.oeaccount";
const char kAccountExtension[] = ".oeaccount";
const char kStoreDatabase[] = "WindowsMail.MSMessageStore";

const char kReplaceQuestion[] =
    "Es sind bereits Kontoinformationen vorhanden. Wenn Sie zusätzliche Konten hinzufügen, "
    "kann es sein, das dann möglicherweise einige Konten doppelt vorhanden sind.\r\rKlicken "
    "Sie auf JA, dann werden die bestehenden Konten vorher gelöscht.\r\rKlicken Sie auf NEIN, "
    "dann werden die neuen Konten zu den Bestehenden hinzugefügt.";

const char kNoteHead[] =
    "<html><head><title>Wichtig! Bitte lesen...</title> \r\n<style type=\"text/css\"><!--\r\n"
    "body { font: 10pt Verdana,Arial,helvetica,sans-serif; color: black; }\r\nh2 {\tcolor: "
    "#554FA0; font-size:18pt; background-color: #EEECF6; background-position: center left;\r\n"
    "      padding: 7px; border: dotted 1px #D6CCBD; border-right: 0; border-left: 0; }\r\n"
    "h3 {\tcolor: #554FA0; font-size:12pt; padding: 3px; border-bottom: solid 1px #D6CCBD; "
    "}\r\n--></style>\r\n</head><body>\r\n<h2>Wichtig! Bitte lesen...</h2>\r\n";
const char kNoteBody[] =
    "<h3>Umwandeln der Mail-Kontodaten</h3>\r\n<p>Neben den normalen POP3-Mailkontodaten "
    "wurden auch IMAP-Konten und Newsgroupkonten in das neue Format konvertiert.<p>Da diese "
    "Konten nicht eindeutig zugeordnet werden können, wurden die Dateien im Ordner<br><a "
    "href=\"%s\" target=\"_blank\">%s</a><br>\r\nabgelegt. Um diese Kontoeinstellungen nutzen "
    "zu können, müssen Sie aus diesem Ordner die Dateien mit der Endung <b>*.oeaccount</b> "
    "in die entsprechenden Newsgroup-und IMAP-Ordner verschieben.</p>";
const char kNoteEnd[] = "</body></html>";

const char kNotTransferred[] = "Datei %s konnte nicht eingespielt werden!";
const char kNoStoreRoot[] =
    "Der Speicherordner von %s wurde nicht gefunden.\rDie E-Mail-Konten können nicht "
    "übertragen werden.";
const char kAccountNotWritten[] = "Das E-Mail-Konto %s konnte nicht übertragen werden!";
const char kNoteNotWritten[] = "Die Datei %s konnte nicht angelegt werden!";

// Twin folders of an account folder, "Name (1)" to "Name (99)": the mail program makes them
// for accounts of the same name.
constexpr int kLastTwin = 99;
// A GUID that is taken already is drawn again a few times before the account is given up.
constexpr int kGuidAttempts = 8;

// The template's "%s" in order, each by the next argument; what an argument holds is never
// taken for a place holder.
std::string Fill(const std::string& text, std::initializer_list<std::string> arguments) {
    std::string out;
    size_t from = 0;
    for (const std::string& argument : arguments) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos) break;
        out += text.substr(from, at - from) + argument;
        from = at + 2;
    }
    return out + text.substr(from);
}

void ShowError(Platform& p, const std::string& text) {
    ShowMsgBox(p.prompter, text, kCaption, mkError, bsOk);
}

std::string TextValue(const std::vector<RegValue>& values, const char* name) {
    for (const RegValue& value : values) {
        if (!SameText(value.name, name)) continue;
        if (value.type != RegType::Sz) return std::string();
        std::string text(value.data.begin(), value.data.end());
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        return text;
    }
    return std::string();
}

bool HasValue(const std::vector<RegValue>& values, const char* name) {
    for (const RegValue& value : values)
        if (SameText(value.name, name)) return true;
    return false;
}

// The folders the step may delete in or write to: the store root and its direct children,
// each named as AccountFolderName leaves a name, and none of them a link to elsewhere.
class StoreFolders {
public:
    StoreFolders(Files& files, std::string root) : files_(files), root_(std::move(root)) {}

    const std::string& Root() const { return root_; }

    std::string Child(const std::string& name) const {
        return name.empty() ? root_ : root_ + name + "\\";
    }

    bool Allows(const std::string& folder) const {
        if (!SameText(folder, root_)) {
            if (folder.size() <= root_.size() + 1 || !SameText(folder.substr(0, root_.size()), root_) ||
                folder.back() != '\\')
                return false;
            const std::string name = folder.substr(root_.size(), folder.size() - root_.size() - 1);
            if (AccountFolderName(name) != name) return false;
            const uint32_t attributes = files_.GetAttributes(ExcludeTrailingBackslash(folder));
            if (attributes != FileAttr::Invalid &&
                ((attributes & FileAttr::Directory) == 0 || (attributes & FileAttr::ReparsePoint) != 0))
                return false;
        }
        return true;
    }

    // Deletes the account files of an allowed folder, except those this step wrote. A file
    // that cannot be deleted stays: it only means an account shown twice.
    void DeleteAccountFiles(const std::string& folder, const std::set<std::string>& keep) {
        if (!Allows(folder)) return;
        for (const FindEntry& entry : files_.Find(folder + kAccountPattern)) {
            if (entry.IsDirectory() || !SameText(ExtractFileExt(entry.name), kAccountExtension)) continue;
            const std::string path = folder + entry.name;
            if (keep.count(AnsiUpperCase(path))) continue;
            (void)files_.DeleteFile(path);
        }
    }

private:
    Files& files_;
    std::string root_;
};

// Windows Mail reads mail accounts from its local folders folder, whose name the store
// database holds.
std::string LocalFoldersFolder(Platform& p, const StoreFolders& store) {
    const std::string name = LocalStoreFolderName(p, store.Root() + kStoreDatabase);
    return store.Child(AccountFolderName(name));
}

std::string TargetFolder(AccountKind kind, const std::vector<RegValue>& values,
                         const StoreFolders& store, const std::string& mailFolder, bool liveMail) {
    if (kind == AccountKind::Directory) return store.Root();
    if (kind == AccountKind::Mail && !liveMail) return mailFolder;
    std::string name = AccountFolderName(TextValue(values, "Account Name"));
    if (name.empty() && kind == AccountKind::Imap) name = "IMAP";
    if (name.empty() && kind == AccountKind::News) name = "NEWSGROUP";
    return store.Child(name);
}

std::string NewGuid(System& system) {
    uint8_t bytes[16] = {};
    if (!system.RandomBytes(bytes, sizeof bytes)) {
        // Without the random source the time and a counter still differ from call to call;
        // the file is made only where none of that name exists.
        static uint32_t counter = 0;
        const FileTime now = system.UtcNow();
        for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(now >> (8 * i));
        ++counter;
        for (size_t i = 0; i < 4; ++i) bytes[8 + i] = static_cast<uint8_t>(counter >> (8 * i));
    }
    return GuidText(bytes);
}

// Writes a new account file into `folder` (made when missing) under a name of its own;
// never replaces a file.
bool WriteAccountFile(Platform& p, const std::string& folder, const Bytes& content,
                      std::string& path) {
    if (!DirectoryExists(p.files, folder) && !ForceDirectories(p.files, folder)) return false;
    for (int attempt = 0; attempt < kGuidAttempts; ++attempt) {
        path = folder + "account" + NewGuid(p.system) + kAccountExtension;
        long error = 0;
        std::unique_ptr<FileStream> file = p.files.Open(path, OpenMode::CreateNew, &error);
        if (!file) {
            if (error == WinError::FileExists || error == WinError::AlreadyExists) continue;
            return false;
        }
        const bool written = file->Write(content.data(), content.size());
        const bool closed = file->Close();
        if (written && closed) return true;
        (void)p.files.DeleteFile(path);  // the failure is reported either way
        return false;
    }
    return false;
}

// Unpacks the snapshot entry into `folder`, leaving the archive's extraction settings as
// they were. The entry's name comes from the archive: one that is not a plain file name is
// never used as one.
bool ExtractSnapshot(Platform& p, TZipReader& archive, int index, const std::string& folder,
                     std::string& file) {
    const std::string name = archive.EntryName(index);
    if (name.empty() || zip::IsUnsafeStoredPath(name) || name.find_first_of("\\/") != std::string::npos)
        return false;
    file = folder + name;
    ClearReadOnlyHidden(p.files, file);
    if (FileExists(p.files, file)) (void)p.files.DeleteFile(file);  // checked below: no copy of another archive is read
    if (FileExists(p.files, file)) return false;

    const std::string destDir = archive.DestDir();
    const bool recreateDirs = archive.RecreateDirs();
    const TOverwriteMode overwrite = archive.OverwriteMode();
    archive.SetDestDir(folder);
    archive.SetRecreateDirs(false);
    archive.SetOverwriteMode(TOverwriteMode::Always);
    for (int i = 0; i < archive.EntryCount(); ++i) archive.SetEntrySelected(i, i == index);
    int extracted = 0;
    try {
        extracted = archive.ExtractSelected();
    } catch (const std::exception&) {
        extracted = 0;
    }
    archive.SetDestDir(destDir);
    archive.SetRecreateDirs(recreateDirs);
    archive.SetOverwriteMode(overwrite);
    return extracted > 0 && FileExists(p.files, file);
}

std::string HtmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
        }
    }
    return out;
}

}  // namespace

AccountKind AccountKindOf(const std::vector<RegValue>& values) {
    if (HasValue(values, "LDAP Server")) return AccountKind::Directory;
    if (HasValue(values, "IMAP Server")) return AccountKind::Imap;
    if (HasValue(values, "NNTP Server")) return AccountKind::News;
    return AccountKind::Mail;
}

std::string MailStoreRoot(Platform& platform, const TransferTarget& target) {
    return ExpandPath(platform.shell, ReadRegString(platform.registry, 1, target.ProgramKey(), "Store Root"),
                      true);
}

AccountTransferResult TransferAccounts(Platform& p, TZipReader& archive, const TransferTarget& target) {
    AccountTransferResult result;
    int entry = -1;
    for (int i = 0; i < archive.EntryCount() && entry < 0; ++i)
        if (AnsiUpperCase(archive.EntryName(i)).find(kSnapshotName) != std::string::npos) entry = i;
    if (entry < 0) return result;
    result.snapshotFound = true;
    const std::string entryName = archive.EntryName(entry);

    // Without a store root every target folder would be relative to wherever the program
    // happens to stand.
    const std::string root = MailStoreRoot(p, target);
    if (root.empty() || !IsAbsolutePath(root)) {
        ShowError(p, Fill(kNoStoreRoot, {target.mailProgram}));
        result.failed = true;
        return result;
    }
    StoreFolders store(p.files, root);

    // The snapshot is read before anything is deleted: existing accounts are only replaced
    // by accounts that are there to take their place.
    std::string tempFolder = target.tempFolder.empty() ? p.system.TempPath() : target.tempFolder;
    tempFolder = IncludeTrailingBackslash(tempFolder);
    std::string snapshotFile;
    std::vector<RegSnapshotKey> keys;
    bool read = false;
    if (ExtractSnapshot(p, archive, entry, tempFolder, snapshotFile)) {
        try {
            ClearReadOnlyHidden(p.files, snapshotFile);
            keys = ReadRegSnapshot(p.files, p.system, snapshotFile);
            read = true;
        } catch (const std::exception&) {
            read = false;
        }
    }
    if (!read) {
        ShowError(p, Fill(kNotTransferred, {entryName}));
        result.failed = true;
        return result;
    }
    std::vector<const RegSnapshotKey*> accounts;
    for (const RegSnapshotKey& key : keys)
        if (key.root == RegRoot::CurrentUser &&
            AnsiUpperCase(key.path).find("ACCOUNTS\\") != std::string::npos)
            accounts.push_back(&key);
    if (accounts.empty()) return result;

    const bool liveMail = target.LiveMail();
    const std::string mailFolder = liveMail ? root : LocalFoldersFolder(p, store);
    std::set<std::string> written;  // upper case: never deleted again by this step
    bool replacing = false;
    {
        const std::string parent = ExtractFilePath(ExcludeTrailingBackslash(mailFolder));
        int existing = CountFiles(p.files, mailFolder, kAccountPattern, false);
        if (!parent.empty()) existing += CountFiles(p.files, parent, kAccountPattern, false);
        if (existing > 0 &&
            ShowMsgBox(p.prompter, kReplaceQuestion, kCaption, mkQuestion, bsYesNo) == MsgResult::Yes) {
            replacing = true;
            result.accountsReplaced = true;
            store.DeleteAccountFiles(mailFolder, written);
            if (!liveMail) store.DeleteAccountFiles(root, written);
        }
    }

    for (const RegSnapshotKey* key : accounts) {
        const AccountKind kind = AccountKindOf(key->values);
        const std::string folder = TargetFolder(kind, key->values, store, mailFolder, liveMail);
        const std::string accountName = TextValue(key->values, "Account Name");
        const std::string shownName = accountName.empty() ? ExtractFileName(key->path) : accountName;
        if (!store.Allows(folder)) {
            ShowError(p, Fill(kAccountNotWritten, {shownName}));
            result.failed = true;
            continue;
        }
        const bool ownFolder = kind != AccountKind::Directory && (liveMail || kind != AccountKind::Mail);
        if (replacing && ownFolder) {
            store.DeleteAccountFiles(folder, written);
            if (!SameText(folder, root)) {
                const std::string base = ExcludeTrailingBackslash(folder);
                for (int n = 1; n <= kLastTwin; ++n) {
                    const std::string twin = base + " (" + std::to_string(n) + ")\\";
                    if (DirectoryExists(p.files, twin)) store.DeleteAccountFiles(twin, written);
                }
            }
        }
        std::string path;
        if (!WriteAccountFile(p, folder, AnsiToUtf16File(AccountFileText(key->values)), path)) {
            ShowError(p, Fill(kAccountNotWritten, {shownName}));
            result.failed = true;
            continue;
        }
        written.insert(AnsiUpperCase(path));
        result.accountFiles.push_back(path);
        if (kind == AccountKind::Imap || kind == AccountKind::News) result.specialAccountsConverted = true;
    }
    return result;
}

bool WriteConvertedAccountsNote(Platform& p, const TransferTarget& target, const std::string& folder) {
    const std::string dir = IncludeTrailingBackslash(folder);
    const std::string path = dir + kAccountsNoteName;
    const std::string root = MailStoreRoot(p, target);
    const std::string body = Fill(kNoteBody, {HtmlText("file://localhost/" + root), HtmlText(root)});
    if ((!DirectoryExists(p.files, dir) && !ForceDirectories(p.files, dir)) ||
        !WriteTextLines(p.files, path, {kNoteHead, body, kNoteEnd})) {
        ShowError(p, Fill(kNoteNotWritten, {path}));
        return false;
    }
    p.shell.OpenDocument(path);
    return true;
}

}  // namespace bv
