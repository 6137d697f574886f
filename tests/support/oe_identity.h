// Synthetic Outlook Express identities for the tests of the backup engine and for the
// demo: the identity's registry branch, its mail store (folder index, mail files, the two
// store files), the address book, stationery, dictionaries, favourites and the Firefox and
// Opera bookmark files. Everything goes through the platform seam, so the same identity
// comes out on the POSIX backend and on Windows; the content depends only on the seed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bv::test {

// One record of the folder index. Ids 1 and 4..8 are the ones Outlook Express gives the
// local store and its special folders; user folders start at 9.
struct OeFolderSpec {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    std::string fileName;      // DBX file relative to the store folder; empty: none
    uint32_t specialType = 0;  // field 0x89: 1 Inbox, 2 Outbox, 3 Sent, 4 Deleted, 5 Drafts
    uint32_t sourceType = 3;   // field 0x8A: 3 for everything in the local store
    std::string accountKey;    // field 0x05: "LocalStore" or the account's number
    uint32_t weight = 0;       // share of OeIdentityOptions::mailBytes
    uint64_t bytes = 0;        // fixed file size instead of a share (0: by weight)
    int messages = -1;         // message records in the file; -1: from the size
    bool createFile = true;    // false: the index names a file that does not exist
};

// German Outlook Express 6 with a news account and nested user folders; "Verträge" lies
// below "Archiv", which was created later, so the folder comes after its own sub-folder
// "Versicherung" in the index.
std::vector<OeFolderSpec> DefaultFolderPlan();

// The data groups that can be left out. The identity's own keys ("Identities", the
// identity key, "Store Root") are always written.
struct OeGroups {
    bool settings = true;         // 5.0 values, Mail, Trident, MailNote, News, NewNote,
                                  // Dont Show Dialogs, Columns
    bool accounts = true;         // the identity's Internet Account Manager
    bool defaultAccounts = true;  // the global Internet Account Manager
    bool rules = true;            // Rules, Block Senders
    bool signatures = true;
    bool stationeryLists = true;  // Recent Stationery (Wide) List
    bool wabSortState = true;
    bool ieZones = true;
    bool cookies = true;
    bool mailFolders = true;  // Folders.dbx and the folders' DBX files
    bool storeFiles = true;   // Offline.dbx, Pop3uidl.dbx
    bool addressBook = true;  // "Wab File Name" and the .wab file
    bool stationery = true;   // the machine's stationery folder value and files
    bool dictionaries = true;
    bool favorites = true;
    bool firefox = true;
    bool opera = true;

    static OeGroups None();
};

// System folders the files go to; an empty entry is taken from the shell (TPathComponent).
// Tests on the real system point them into their own folder.
struct OePlaces {
    std::string appData;
    std::string localAppData;
    std::string favorites;
    std::string personal;
    std::string commonFiles;
    std::string programFiles;

    // Every folder below `base` (with or without trailing backslash).
    static OePlaces Below(const std::string& base);
};

struct OeIdentityOptions {
    std::string username = "Hauptidentität";
    std::string guid;  // "{...}"; empty: made from the seed
    uint32_t seed = 1;
    // Store folder; empty: <local application data>\Identities\{GUID}\Microsoft\Outlook Express.
    std::string storeFolder;
    // Writes "Store Root" as an expandable %UserProfile% reference when the store lies
    // below the user's profile (as Outlook Express does); otherwise a plain path.
    bool storeRootUserProfile = true;
    // Makes the identity "Default User ID"; an identity that is not the default leaves
    // the global default accounts alone.
    bool makeDefault = true;
    // Total size of the mail DBX files, spread over the folders by weight.
    uint64_t mailBytes = 4u << 20;
    // Last-write (and creation) time of every generated file; 0 leaves the time of writing.
    FileTime fileTime = 0;
    std::vector<OeFolderSpec> mailFolders = DefaultFolderPlan();
    OeGroups with;
    OePlaces places;
};

// One folder of the generated index, with its file as written.
struct OeMailFile {
    int32_t folderId = 0;
    int32_t parentId = 0;
    std::string folderName;
    std::string fileName;  // relative to the store folder; empty when the folder has none
    std::string path;      // store folder + fileName
    uint64_t size = 0;     // 0 when the file was not created
    uint32_t messages = 0;
    uint32_t unread = 0;
    bool exists = false;
    // Where the synthetic message text begins; the records and tree nodes lie before it.
    uint64_t contentStart = 0;
};

// What was generated, for the tests to assert against.
struct OeIdentity {
    std::string username;
    std::string guid;         // "{...}"
    std::string keyName;      // "\{...}\", as the identity scanner names it
    std::string identityKey;  // "Identities\{...}"
    std::string storeRootValue;
    uint32_t storeRootType = 0;
    std::string storeFolder;  // expanded, with trailing backslash

    // Every folder of the index in the given plan order (including those without files).
    std::vector<OeMailFile> folders;
    // Folder names in the order of the index the program reads.
    std::vector<std::string> fileOrder;
    std::string folderIndex;              // Folders.dbx, empty when not written
    std::vector<std::string> storeFiles;  // Offline.dbx, Pop3uidl.dbx as written

    // HKEY_CURRENT_USER keys written for the catalogue of registry snapshots.
    std::vector<std::string> catalogueKeys;

    std::string wabFile;
    std::string stationeryFolder;  // with trailing backslash
    // The machine's "Stationery Folder" value as written; empty when the registry refused
    // it (no administrator), in which case the program falls back to the same folder.
    std::string stationeryValue;
    std::vector<std::string> stationeryFiles;  // every file below it, subfolders included
    std::string dictionaryFolder;              // with trailing backslash
    std::vector<std::string> dictionaries;     // the .dic files directly in it
    std::string favoritesFolder;               // with trailing backslash
    std::vector<std::string> favorites;        // every .url file below it
    std::vector<std::string> favoriteFolders;  // its subfolders, the empty one included
    std::string firefoxIni;
    std::vector<std::string> firefoxBookmarks;  // places.sqlite of one, bookmarks.html of the other
    std::string operaFolder;                    // the "Last Directory3" value as written
    std::string operaProfile;                   // with trailing backslash
    std::vector<std::string> operaFiles;        // the .adr files
    // Files placed beside the collected ones that a collector has to leave out
    // (a .dic in a subfolder, an Opera file that is no .adr, ...).
    std::vector<std::string> decoys;

    uint64_t MailBytes() const;
    // The folder of that name, or null.
    const OeMailFile* Folder(const std::string& name) const;
    OeMailFile* Folder(const std::string& name);
};

class OeIdentityBuilder {
public:
    explicit OeIdentityBuilder(Platform& platform) : p_(platform) {}

    // Raises std::runtime_error naming the key or file that could not be written.
    OeIdentity Build(const OeIdentityOptions& options);

    // "{8-4-4-4-12}" in upper case, the same for the same seed.
    static std::string GuidFromSeed(uint32_t seed);

private:
    Platform& p_;
};

// Changes a mail file as Outlook Express does when a message arrives: rewrites a block of
// its message text (the tree stays readable), appends `growBytes`, sets the last-write time
// to `when` (0: now) but at least two seconds after the previous one, and sets the archive
// attribute. Updates `file.size`.
bool TouchMailFile(Platform& platform, OeMailFile& file, uint32_t seed, uint64_t growBytes = 0,
                   FileTime when = 0);

}  // namespace bv::test
