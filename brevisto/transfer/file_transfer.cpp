#include "brevisto/transfer/file_transfer.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <map>
#include <set>
#include <vector>

#include "brevisto/backup/firefox_profiles.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/settings/settings_store.h"
#include "brevisto/shell/archive_profiles.h"
#include "brevisto/shell/product.h"
#include "brevisto/support/common_routines.h"
#include "brevisto/support/path_component.h"
#include "brevisto/support/registry_values.h"
#include "brevisto/transfer/account_transfer.h"
#include "common/ini_file.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

namespace {

const char kNotInBackup[] = "Datei %s befindet sich nicht im Backup!\rDas Einspielen dieser Datei wird übersprungen...";
const char kNotTransferred[] = "Datei %s konnte nicht eingespielt werden!";
const char kStationeryData[] = "für die Briefpapier-Übersicht";
const char kDictionaryData[] = "für die Benutzerwörterbücher";
const char kFavoritesData[] = "für die IE-Favoriten-Übersicht";
const char kOperaData[] = "mit den Opera-Favoriten";
// Firefox has no phrase of its own among the step messages; this one names its data alike.
const char kFirefoxData[] = "mit den Firefox-Favoriten";
const char kDictionaryNotRenamed[] = "Umbenennen des Benutzer-Wörterbuchs fehlgeschlagen!";
const char kFavoritesNotUnpacked[] = "Fehler beim Entpacken der IE-Favoriten!";
const char kNoFirefoxProfile[] =
    "Kein Mozilla Firefox Profil gefunden, in dem die Favoriten hätten eingespielt werden können!\r\r"
    "Stattdessen werden die Daten in den angegebenen Ordner entpackt.";
const char kNoFirefoxDatabase[] = "Im Backup wurde keine Favoriten-Datenbank von Firefox gefunden!";
const char kNoOpera[] =
    "Opera ist auf diesem System nicht installiert, so dass auch die gesicherten Daten nicht "
    "eingespielt werden können!\r\rStattdessen werden die Daten in den angegebenen Ordner entpackt.";

const char kStationeryList[] = "PAPER.TMP";
const char kFavoritesArchive[] = "iefav.zip";
const char kUserDictionary[] = "UserDictionary.lex";
const char kPlaces[] = "places.sqlite";
const char kPlacesCopy[] = "places.sqlite_mob";
const char kBookmarksHtml[] = "bookmarks.html";
const char kProfileMark[] = ":#*#:";

std::string Fill(const char* text, const std::string& argument) {
    const std::string t(text);
    const size_t at = t.find("%s");
    return at == std::string::npos ? t : t.substr(0, at) + argument + t.substr(at + 2);
}

void ShowError(Platform& p, const std::string& text) {
    ShowMsgBox(p.prompter, text, kMessageCaption, mkError, bsOk);
}

void ShowMissing(Platform& p, const char* data) {
    ShowMsgBox(p.prompter, Fill(kNotInBackup, data), kMessageCaption, mkInformation, bsOk);
}

// A folder the steps may write to: known and absolute. An empty or relative folder would
// put the files wherever the program happens to stand.
bool Usable(const std::string& folder) { return !folder.empty() && IsAbsolutePath(folder); }

bool EnsureFolder(Files& files, const std::string& folder) {
    return DirectoryExists(files, folder) || ForceDirectories(files, folder);
}

std::string TempFolder(Platform& p, const TransferTarget& target) {
    const std::string folder = target.tempFolder.empty() ? p.system.TempPath() : target.tempFolder;
    return folder.empty() ? folder : IncludeTrailingBackslash(folder);
}

// A staging file of an earlier run must never be taken for this one's: it goes first, and
// a file that cannot be removed stops the step.
bool RemoveLeftover(Files& files, const std::string& path) {
    const uint32_t attributes = files.GetAttributes(path);
    if (attributes == FileAttr::Invalid) return true;
    if (attributes & FileAttr::Directory) return false;
    ClearReadOnlyHidden(files, path);
    (void)files.DeleteFile(path);  // judged by what is there afterwards
    return files.GetAttributes(path) == FileAttr::Invalid;
}

// A relative path from the archive that names a file below the folder it is appended to:
// plain names only, no root, drive, stream or parent.
bool StaysInside(const std::string& relative) {
    if (relative.empty() || zip::IsUnsafeStoredPath(relative)) return false;
    return relative.find("\\\\") == std::string::npos && relative.find("//") == std::string::npos;
}

// A stored path without its drive and leading separators, as the backup's writer stores a
// full path.
std::string WithoutDrive(const std::string& path) {
    std::string rest = path.substr(ExtractFileDrive(path).size());
    const size_t first = rest.find_first_not_of("\\/");
    return first == std::string::npos ? std::string() : rest.substr(first);
}

bool EndsWithText(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

// The run's reader for the length of one step: the step's own extraction settings, an
// OnEndUnZip that learns which entries were written completely (the run's handler still
// hears of them), and everything back as the run had it at the end, the archive's
// directory included.
class StepReader {
public:
    explicit StepReader(TZipReader& reader)
        : r_(reader),
          zipName_(reader.ZipName()),
          destDir_(reader.DestDir()),
          rootDir_(reader.RootDir()),
          recreateDirs_(reader.RecreateDirs()),
          doAll_(reader.DoAll()),
          overwrite_(reader.OverwriteMode()),
          onEnd_(reader.OnEndUnZip) {
        r_.SetOverwriteMode(TOverwriteMode::Always);
        r_.OnEndUnZip = [this](TZipReader& sender, int index, const std::string& path) {
            written_[index] = path;
            if (onEnd_) onEnd_(sender, index, path);
        };
        Flat(destDir_);
    }
    ~StepReader() {
        try {
            Restore();
        } catch (const std::exception&) {
            // Only on the way out of a failure that already passes to the caller.
        }
    }
    StepReader(const StepReader&) = delete;
    StepReader& operator=(const StepReader&) = delete;

    TZipReader& Reader() { return r_; }

    // Entries go straight into `folder`, without their stored folders.
    void Flat(const std::string& folder) {
        r_.SetDestDir(folder);
        r_.SetRecreateDirs(false);
        r_.SetRootDir(std::string());
        r_.SetDoAll(false);
    }
    // Entries go below `folder` with their stored folders, less `root` where they start with it.
    void WithFolders(const std::string& folder, const std::string& root) {
        r_.SetDestDir(folder);
        r_.SetRecreateDirs(true);
        r_.SetRootDir(root);
        r_.SetDoAll(false);
    }

    // Extracts exactly these entries; the ones written completely, by index, with the file
    // each became. An archive that cannot be read writes nothing; a cancel passes on.
    std::map<int, std::string> Extract(const std::vector<int>& entries) {
        for (int i = 0; i < r_.EntryCount(); ++i) r_.SetEntrySelected(i, false);
        for (int i : entries) r_.SetEntrySelected(i, true);
        return Run([this] { return r_.ExtractSelected(); });
    }
    // Every entry of the reader's archive (DoAll), with the current settings.
    std::map<int, std::string> ExtractAll() {
        r_.SetDoAll(true);
        return Run([this] { return r_.ExtractMatching(); });
    }

    // Back to the run's archive and settings. Raises the reader's error when the run's
    // archive cannot be read again.
    void Restore() {
        if (restored_) return;
        restored_ = true;
        r_.OnEndUnZip = onEnd_;
        r_.SetDestDir(destDir_);
        r_.SetRootDir(rootDir_);
        r_.SetRecreateDirs(recreateDirs_);
        r_.SetDoAll(doAll_);
        r_.SetOverwriteMode(overwrite_);
        r_.FilesList().clear();
        // A run cut short by an error leaves its marks; the next step starts without them.
        for (int i = 0; i < r_.EntryCount(); ++i) r_.SetEntrySelected(i, false);
        if (r_.ZipName() != zipName_) {
            r_.SetZipName(zipName_);
            r_.ReadDirectory();
        }
    }

private:
    template <typename Operation>
    std::map<int, std::string> Run(Operation operation) {
        written_.clear();
        try {
            (void)operation();  // the count says less than the entries the handler saw
        } catch (const EZipAborted&) {
            throw;
        } catch (const EZipError&) {
            written_.clear();  // a broken archive: nothing of it is trusted
        }
        std::map<int, std::string> written;
        written.swap(written_);
        return written;
    }

    TZipReader& r_;
    std::string zipName_, destDir_, rootDir_;
    bool recreateDirs_, doAll_;
    TOverwriteMode overwrite_;
    TZipEndUnZipEvent onEnd_;
    std::map<int, std::string> written_;
    bool restored_ = false;
};

bool IsBookmarkFile(const std::string& name) {
    return SameText(name, kPlacesCopy) || SameText(name, kPlaces) || SameText(name, kBookmarksHtml);
}

// The bookmark file the backup saved for a profile: below the profile's saved folder (its
// path as the backup machine's "profiles.ini" gave it), or, without one, in a folder whose
// name ends in "." and the profile's name, as Firefox names them.
int SavedBookmarkEntry(TZipReader& reader, const std::string& name, const std::string& savedPath) {
    const std::string folder = ExcludeTrailingBackslash(WithoutDrive(savedPath));
    for (int i = 0; i < reader.EntryCount(); ++i) {
        if (!IsBookmarkFile(reader.EntryName(i))) continue;
        const std::string dir = ExcludeTrailingBackslash(reader.EntryPath(i));
        if (!folder.empty()) {
            if (SameText(dir, folder) || EndsWithText(dir, "\\" + folder)) return i;
        } else if (!name.empty() && AnsiUpperCase("\\" + dir + "\\").find(AnsiUpperCase("." + name + "\\")) !=
                                        std::string::npos) {
            return i;
        }
    }
    return -1;
}

struct CurrentProfile {
    std::string name;
    std::string folder;  // with trailing backslash
};

// The profiles of this machine's "profiles.ini" with their folders: "[Profile0]",
// "[Profile1]", ... up to the first that is missing or empty. The file is read whole, so a
// file that cannot be read raises EFileReadError instead of looking like one without the
// later profiles.
std::vector<CurrentProfile> CurrentProfiles(Platform& p, const std::string& firefoxFolder) {
    std::map<std::string, std::map<std::string, std::string>> sections;  // upper-case names
    std::map<std::string, std::string>* section = nullptr;
    for (const std::string& raw : ReadTextLines(p.files, p.system, firefoxFolder + "profiles.ini")) {
        const std::string line = TrimBlanks(raw);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = &sections[AnsiUpperCase(TrimBlanks(line.substr(1, line.size() - 2)))];
            continue;
        }
        const size_t equals = line.find('=');
        if (!section || equals == std::string::npos || line[0] == ';') continue;
        const std::string key = AnsiUpperCase(TrimBlanks(line.substr(0, equals)));
        if (!section->count(key)) (*section)[key] = TrimBlanks(line.substr(equals + 1));
    }
    std::vector<CurrentProfile> profiles;
    for (int n = 0;; ++n) {
        const auto found = sections.find("PROFILE" + std::to_string(n));
        if (found == sections.end() || found->second.empty()) break;
        const std::map<std::string, std::string>& values = found->second;
        const auto value = [&values](const char* key) {
            const auto v = values.find(key);
            return v == values.end() ? std::string() : v->second;
        };
        const std::string name = value("NAME");
        std::string stored = value("PATH");
        std::replace(stored.begin(), stored.end(), '/', '\\');
        if (name.empty() || stored.empty()) continue;
        const std::string path = IncludeTrailingBackslash(ExpandPath(p.shell, stored, false));
        // Firefox keeps a profile outside its own folder under its full path.
        const bool absolute = value("ISRELATIVE") == "0" && IsAbsolutePath(path);
        profiles.push_back(CurrentProfile{name, absolute ? path : firefoxFolder + path});
    }
    return profiles;
}

// The saved copy of the database becomes the profile's database in one rename.
bool PutPlacesInPlace(Files& files, const std::string& copy) {
    if (files.MoveFile(copy, ExtractFilePath(copy) + kPlaces, true)) return true;
    (void)files.DeleteFile(copy);  // the failure is reported; the copy is of no use to Firefox
    return false;
}

FileStepResult FirefoxIntoProfiles(Platform& p, StepReader& step, const std::string& firefoxFolder) {
    std::vector<std::string> saved;
    try {
        saved = ListArchiveFirefoxProfiles(step.Reader());
    } catch (const EZipAborted&) {
        throw;
    } catch (const EZipError&) {
        saved.clear();  // no profile names: reported below like an archive without any
    }
    std::vector<CurrentProfile> current;
    try {
        current = CurrentProfiles(p, firefoxFolder);
    } catch (const std::exception&) {
        // Without the whole list no profile can be told apart from a missing one.
        ShowError(p, Fill(kNotTransferred, kFirefoxData));
        return FileStepResult::Failed;
    }
    int placed = 0;
    for (const std::string& profile : saved) {
        const std::vector<std::string> parts = SplitString(kProfileMark, profile);
        const std::string name = parts.empty() ? std::string() : parts[0];
        const std::string savedPath = parts.size() > 1 ? parts[1] : std::string();
        if (name.empty()) continue;
        for (const CurrentProfile& mine : current) {
            if (!SameText(mine.name, name) || !DirectoryExists(p.files, mine.folder)) continue;
            const int entry = SavedBookmarkEntry(step.Reader(), name, savedPath);
            if (entry < 0) break;
            step.Flat(mine.folder);
            const std::map<int, std::string> written = step.Extract({entry});
            const auto it = written.find(entry);
            if (it == written.end()) {
                ShowError(p, Fill(kNotTransferred, kFirefoxData));
                return FileStepResult::Failed;
            }
            if (SameText(step.Reader().EntryName(entry), kPlacesCopy) && !PutPlacesInPlace(p.files, it->second)) {
                ShowError(p, Fill(kNotTransferred, kFirefoxData));
                return FileStepResult::Failed;
            }
            ++placed;
            break;
        }
    }
    if (placed == 0) {
        ShowError(p, kNoFirefoxDatabase);
        return FileStepResult::Failed;
    }
    return FileStepResult::Done;
}

// Without Firefox the saved files are kept for the user, each in a folder named after its
// profile folder.
void FirefoxIntoUnpackFolder(Platform& p, StepReader& step, const TransferTarget& target) {
    if (!Usable(target.unpackFolder)) return;
    const std::string folder = IncludeTrailingBackslash(target.unpackFolder) + "Firefox Favoriten\\";
    TZipReader& reader = step.Reader();
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryName(i);
        if (!IsBookmarkFile(name)) continue;
        // Everything up to the profile folder goes; the reader keeps the rest inside `folder`.
        const std::string profileParent = ExtractFilePath(ExcludeTrailingBackslash(reader.EntryPath(i)));
        step.WithFolders(folder, profileParent);
        const std::map<int, std::string> written = step.Extract({i});
        const auto it = written.find(i);
        if (it == written.end() ||
            (SameText(name, kPlacesCopy) && !PutPlacesInPlace(p.files, it->second))) {
            ShowError(p, Fill(kNotTransferred, kFirefoxData));
            return;
        }
    }
}

}  // namespace

FileStepResult TransferStationeryFiles(Platform& p, TZipReader& reader, const TransferTarget& target) {
    int listEntry = -1;
    for (int i = 0; i < reader.EntryCount() && listEntry < 0; ++i)
        if (SameText(reader.EntryName(i), kStationeryList)) listEntry = i;
    if (listEntry < 0) return FileStepResult::NothingToDo;

    const std::string notTransferred = Fill(kNotTransferred, kStationeryData);
    const std::string local = TPathComponent(p).ShellLocalAppDataFolder();
    const std::string folder =
        local.empty() ? std::string() : ExpandPath(p.shell, local, true) + "Microsoft Shared\\Stationery\\";
    const std::string temp = TempFolder(p, target);
    if (!Usable(folder) || !Usable(temp) || !EnsureFolder(p.files, folder) ||
        !RemoveLeftover(p.files, temp + kStationeryList)) {
        ShowError(p, notTransferred);
        return FileStepResult::Failed;
    }

    StepReader step(reader);
    step.Flat(temp);
    std::map<int, std::string> written = step.Extract({listEntry});
    std::vector<std::string> lines;
    bool read = false;
    if (written.count(listEntry)) {
        const std::string listFile = written[listEntry];
        try {
            lines = ReadTextLines(p.files, p.system, listFile);
            read = true;
        } catch (const EFileReadError&) {
            read = false;
        }
        (void)p.files.DeleteFile(listFile);  // read or not, it is of no further use; a leftover goes before the next run
    }
    if (!read) {
        ShowError(p, notTransferred);
        return FileStepResult::Failed;
    }
    if (lines.empty()) return FileStepResult::NothingToDo;

    // The first line is the folder the stationery came from; the files are stored under
    // their full paths without the drive, and keep what lies below that folder.
    std::string base = WithoutDrive(lines[0]);
    if (!base.empty()) base = IncludeTrailingBackslash(base);
    std::set<std::string> listed;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string name = ExtractFileName(lines[i]);
        if (!name.empty()) listed.insert(AnsiUpperCase(name));
    }

    FileStepResult result = FileStepResult::NothingToDo;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryName(i);
        if (i == listEntry || name.empty() || !listed.count(AnsiUpperCase(name))) continue;
        std::string dir = reader.EntryPath(i);
        if (!base.empty() && dir.size() >= base.size() && SameText(dir.substr(0, base.size()), base))
            dir = dir.substr(base.size());
        const std::string entryFailed = Fill(kNotTransferred, name);
        if (!StaysInside(dir + name) || !EnsureFolder(p.files, folder + dir)) {
            ShowError(p, entryFailed);
            return FileStepResult::Failed;
        }
        // Written beside the old file and renamed over it by the reader: the old one stays
        // until a complete new one takes its place.
        step.Flat(folder + dir);
        if (!step.Extract({i}).count(i)) {
            ShowError(p, entryFailed);
            return FileStepResult::Failed;
        }
        result = FileStepResult::Done;
    }
    return result;
}

FileStepResult TransferDictionaries(Platform& p, TZipReader& reader, const TransferTarget& target) {
    std::vector<int> dictionaries;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryName(i);
        if (!name.empty() && SameText(ExtractFileExt(name), ".dic")) dictionaries.push_back(i);
    }
    if (dictionaries.empty()) {
        ShowMissing(p, kDictionaryData);
        return FileStepResult::NothingToDo;
    }
    const std::string root = MailStoreRoot(p, target);
    if (!Usable(root)) {
        ShowError(p, Fill(kNotTransferred, kDictionaryData));
        return FileStepResult::Failed;
    }

    StepReader step(reader);
    step.Flat(root);
    const std::map<int, std::string> written = step.Extract(dictionaries);
    if (written.size() < dictionaries.size()) {
        ShowError(p, Fill(kNotTransferred, kDictionaryData));
        return FileStepResult::Failed;
    }
    // The mail program's own dictionary becomes the last one of the archive, in one rename:
    // the user's dictionary stays until the new one takes its place.
    if (!p.files.MoveFile(written.at(dictionaries.back()), root + kUserDictionary, true)) {
        ShowError(p, kDictionaryNotRenamed);
        return FileStepResult::Failed;
    }
    return FileStepResult::Done;
}

FileStepResult TransferIEFavorites(Platform& p, TZipReader& reader, const TransferTarget& target) {
    std::vector<int> inner;
    for (int i = 0; i < reader.EntryCount(); ++i)
        if (SameText(reader.EntryName(i), kFavoritesArchive)) inner.push_back(i);
    if (inner.empty()) {
        ShowMissing(p, kFavoritesData);
        return FileStepResult::NothingToDo;
    }
    const std::string temp = TempFolder(p, target);
    if (!Usable(temp) || !RemoveLeftover(p.files, temp + kFavoritesArchive)) {
        ShowError(p, Fill(kNotTransferred, kFavoritesData));
        return FileStepResult::Failed;
    }

    StepReader step(reader);
    step.Flat(temp);
    const std::map<int, std::string> written = step.Extract(inner);
    if (written.empty()) {
        ShowError(p, Fill(kNotTransferred, kFavoritesData));
        step.Restore();
        return FileStepResult::Failed;
    }
    // Entries of the same name went to the same file; the last one written is in it.
    const std::string innerFile = written.rbegin()->second;

    const std::string shellFavorites = TPathComponent(p).ShellFavoritesFolder();
    const std::string favorites = shellFavorites.empty() ? std::string() : ExpandPath(p.shell, shellFavorites, true);
    bool done = false;
    if (Usable(favorites) && EnsureFolder(p.files, favorites)) {
        TZipReader& r = step.Reader();
        r.SetZipName(innerFile);
        int files = 0;
        try {
            r.ReadDirectory();
            for (int i = 0; i < r.EntryCount(); ++i)
                if (!r.EntryName(i).empty()) ++files;
        } catch (const EZipAborted&) {
            throw;
        } catch (const EZipError&) {
            files = -1;
        }
        if (files >= 0) {
            // The favourites keep their folders; the reader keeps every path inside the
            // favourites folder and replaces a favourite only by a complete new one.
            step.WithFolders(favorites, std::string());
            const size_t placed = step.ExtractAll().size();
            done = placed > 0 && placed == static_cast<size_t>(files);
        }
    }
    if (!done) ShowError(p, kFavoritesNotUnpacked);
    step.Restore();
    (void)p.files.DeleteFile(innerFile);  // a staging copy; a leftover goes before the next run
    return done ? FileStepResult::Done : FileStepResult::Failed;
}

FileStepResult TransferFirefoxBookmarks(Platform& p, TZipReader& reader, const TransferTarget& target) {
    const std::string appData = TPathComponent(p).ShellAppDataFolder();
    const std::string firefoxFolder =
        appData.empty() ? std::string() : ExpandPath(p.shell, appData, true) + "Mozilla\\Firefox\\";
    StepReader step(reader);
    if (Usable(firefoxFolder) && DirectoryExists(p.files, firefoxFolder + "Profiles\\"))
        return FirefoxIntoProfiles(p, step, firefoxFolder);
    // The bookmarks are still kept for the user, but not where Firefox reads them.
    ShowError(p, kNoFirefoxProfile);
    FirefoxIntoUnpackFolder(p, step, target);
    return FileStepResult::Failed;
}

FileStepResult TransferOperaData(Platform& p, TZipReader& reader, const TransferTarget& target) {
    std::vector<int> files;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryName(i);
        if (!name.empty() && SameText(ExtractFileExt(name), ".adr")) files.push_back(i);
    }
    if (files.empty()) {
        ShowMissing(p, kOperaData);
        return FileStepResult::NothingToDo;
    }
    const std::string last = ReadRegString(p.registry, 1, "\\Software\\Opera Software", "Last Directory3");
    std::string folder = last.empty() ? std::string() : ExpandPath(p.shell, last, true) + "profile\\";
    if (!Usable(folder) || !DirectoryExists(p.files, folder)) {
        const std::string appData = TPathComponent(p).ShellAppDataFolder();
        folder = appData.empty() ? std::string() : ExpandPath(p.shell, appData, true) + "Opera\\Opera\\profile\\";
    }
    bool installed = true;
    if (!Usable(folder) || !DirectoryExists(p.files, folder)) {
        // Kept for the user, but not where Opera reads them.
        ShowError(p, kNoOpera);
        installed = false;
        folder = Usable(target.unpackFolder) ? IncludeTrailingBackslash(target.unpackFolder) + "Opera Favoriten\\"
                                             : std::string();
        if (folder.empty()) return FileStepResult::Failed;
    }

    StepReader step(reader);
    step.Flat(folder);
    if (step.Extract(files).size() < files.size()) {
        ShowError(p, Fill(kNotTransferred, kOperaData));
        return FileStepResult::Failed;
    }
    return installed ? FileStepResult::Done : FileStepResult::Failed;
}

}  // namespace bv
