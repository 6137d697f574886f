#include "tests/support/oe_identity.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "brevisto/regfile/text_file.h"
#include "brevisto/support/path_component.h"
#include "platform/ansi.h"
#include "platform/path.h"
#include "tests/support/dbx_writer.h"

namespace bv::test {

namespace {

// ---- deterministic randomness ---------------------------------------------------------

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        // splitmix64: every seed gives a usable sequence, also 0.
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return bound ? static_cast<uint32_t>(Next() % bound) : 0; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(static_cast<uint32_t>(N))];
    }

private:
    uint64_t state_;
};

// A seed per file, so that one file's content does not depend on what else is generated.
uint64_t SeedFor(uint32_t seed, const std::string& name) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : AnsiUpperCase(name)) hash = (hash ^ c) * 1099511628211ull;
    return hash ^ (uint64_t{seed} << 32) ^ seed;
}

// ---- registry values ------------------------------------------------------------------

Bytes SzBytes(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

Bytes DwordBytes(uint32_t value) {
    return Bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                 static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// UTF-16LE with its terminating NUL, as the "wide" lists hold their paths.
Bytes WideBytes(const std::string& ansi) {
    const std::string utf8 = AnsiToUtf8(ansi);
    Bytes out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = c;
        size_t length = 1;
        if (c >= 0xE0 && i + 2 < utf8.size()) {
            code = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            length = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            code = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            length = 2;
        }
        out.push_back(static_cast<uint8_t>(code));
        out.push_back(static_cast<uint8_t>(code >> 8));
        i += length;
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

Bytes RandomBytes(Rng& rng, size_t count) {
    Bytes out(count);
    for (auto& b : out) b = static_cast<uint8_t>(rng.Next());
    return out;
}

// ---- message content ------------------------------------------------------------------

const char* const kFirstNames[] = {"Jürgen", "Anna",   "Günther", "Birgit", "Özlem",
                                   "Klaus",  "Renate", "Jörg",    "Sabine", "Heinz"};
const char* const kLastNames[] = {"Müller", "Schäfer", "Weiß",   "Krämer", "Hoffmann",
                                  "Groß",   "Bäcker",  "Schulz", "Köhler", "Lange"};
const char* const kSubjects[] = {"Rechnung Nr. 4711",
                                 "Urlaubsplanung für August",
                                 "Fotos vom Wochenende",
                                 "Einladung zur Mitgliederversammlung",
                                 "Ihre Bestellung ist unterwegs",
                                 "Termin beim Zahnarzt",
                                 "Kündigung des Vertrags",
                                 "Grüße aus München",
                                 "Protokoll der Sitzung",
                                 "Nebenkostenabrechnung 2025",
                                 "Geburtstagsfeier am Samstag",
                                 "Änderung der Öffnungszeiten"};
const char* const kWords[] = {"und",    "die",       "Größe",   "Rechnung", "bitte",   "über",
                              "Grüße",  "Termin",    "nächste", "Woche",    "wir",     "Ihnen",
                              "Straße", "Schlüssel", "gern",    "Antwort",  "Anhang",  "für",
                              "heute",  "morgen",    "dass",    "Büro",     "Fahrrad", "Äpfel"};

std::string PersonName(Rng& rng) {
    return std::string(rng.Pick(kFirstNames)) + " " + rng.Pick(kLastNames);
}

std::string MailAddress(Rng& rng) {
    static const char* const kUsers[] = {"juergen", "anna", "info", "verein", "buero", "post"};
    static const char* const kDomains[] = {"example.com", "example.org", "example.net"};
    return std::string(rng.Pick(kUsers)) + std::to_string(rng.Below(100)) + "@" +
           rng.Pick(kDomains);
}

// Mail-like text (headers, German body lines, Base64 attachment blocks) in ANSI, so that the
// mail files pack about as well as real ones do. Produced piece by piece: big files are
// never held in memory.
class MailText {
public:
    explicit MailText(uint64_t seed) : rng_(seed) {}

    void Fill(char* out, size_t count) {
        while (count > 0) {
            if (pos_ == buffer_.size()) Refill();
            const size_t n = std::min(count, buffer_.size() - pos_);
            std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(pos_),
                      buffer_.begin() + static_cast<std::ptrdiff_t>(pos_ + n), out);
            pos_ += n;
            out += n;
            count -= n;
        }
    }

private:
    void Refill() {
        buffer_.clear();
        pos_ = 0;
        buffer_ += "From: " + PersonName(rng_) + " <" + MailAddress(rng_) + ">\r\n";
        buffer_ += "To: " + MailAddress(rng_) + "\r\n";
        buffer_ += std::string("Subject: ") + rng_.Pick(kSubjects) + "\r\n";
        buffer_ += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\n\r\n";
        const uint32_t lines = 4 + rng_.Below(30);
        for (uint32_t i = 0; i < lines; ++i) {
            const uint32_t words = 3 + rng_.Below(12);
            for (uint32_t w = 0; w < words; ++w) {
                if (w) buffer_ += ' ';
                buffer_ += rng_.Pick(kWords);
            }
            buffer_ += ".\r\n";
        }
        if (rng_.Below(4) == 0) {
            static const char kBase64[] =
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            const uint32_t blockLines = 20 + rng_.Below(400);
            for (uint32_t i = 0; i < blockLines; ++i) {
                for (int c = 0; c < 76; ++c) buffer_ += kBase64[rng_.Below(64)];
                buffer_ += "\r\n";
            }
        }
        buffer_ += "\r\n";
    }

    Rng rng_;
    std::string buffer_;
    size_t pos_ = 0;
};

// ---- DBX files --------------------------------------------------------------------------

constexpr size_t kNodeEntries = 51;
constexpr uint32_t kMaxMessages = 300;
constexpr uint32_t kBytesPerMessage = 16384;
constexpr size_t kChunk = 64 * 1024;
// 2026-01-05 08:00 UTC: the messages are dated from here on.
constexpr int64_t kFirstMessageTime = 1767600000;

// The class id that Outlook Express 6 writes after the file class of its message and
// folder files, and the one of "Offline.dbx".
void SetStoreClassId(DbxWriter& writer) {
    writer.SetHeaderValue(0x08, 0x11D1E366);
    writer.SetHeaderValue(0x0C, 0xC0004E9A);
    writer.SetHeaderValue(0x10, 0xD409A34F);
}
void SetOfflineClassId(DbxWriter& writer) {
    writer.SetHeaderValue(0x08, 0x11D21A8F);
    writer.SetHeaderValue(0x0C, 0x6000BFAA);
    writer.SetHeaderValue(0x10, 0xC474D497);
}

// A tree over `records` (in their order) with at most 51 entries per node: a first-child
// node before the entries and a child node after each entry, as many levels as needed.
uint32_t BuildTree(DbxWriter& writer, const std::vector<uint32_t>& records, size_t lo, size_t hi) {
    const size_t n = hi - lo;
    std::vector<DbxNodeEntry> entries;
    if (n <= kNodeEntries) {
        for (size_t i = lo; i < hi; ++i) entries.push_back(DbxNodeEntry{records[i], 0});
        return writer.AddNode(0, entries);
    }
    const size_t separators = std::min(kNodeEntries, n / (kNodeEntries + 1));
    const size_t groups = separators + 1;
    const size_t rest = n - separators;
    size_t pos = lo;
    const auto group = [&](size_t k) {
        const size_t size = rest / groups + (k < rest % groups ? 1 : 0);
        const uint32_t node = BuildTree(writer, records, pos, pos + size);
        pos += size;
        return node;
    };
    const uint32_t first = group(0);
    for (size_t k = 0; k < separators; ++k) {
        const uint32_t record = records[pos++];
        entries.push_back(DbxNodeEntry{record, group(k + 1)});
    }
    return writer.AddNode(first, entries);
}

uint32_t BuildTree(DbxWriter& writer, const std::vector<uint32_t>& records) {
    return BuildTree(writer, records, 0, records.size());
}

// ---- the builder's working state ---------------------------------------------------------

const char* const kIdentities = "Identities";
const char* const kOeKey = "\\Software\\Microsoft\\Outlook Express\\5.0";
const char* const kIamKey = "Software\\Microsoft\\Internet Account Manager";
const char* const kRootName = "Outlook Express";

class Generator {
public:
    Generator(Platform& p, const OeIdentityOptions& o, OeIdentity& id) : p_(p), o_(o), id_(id) {}

    void Run();

private:
    // Registry.
    void Key(RegRoot root, const std::string& path);
    void Set(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
             const Bytes& data);
    void Sz(const std::string& path, const std::string& name, const std::string& value) {
        Set(RegRoot::CurrentUser, path, name, RegType::Sz, SzBytes(value));
    }
    void ExpandSz(const std::string& path, const std::string& name, const std::string& value) {
        Set(RegRoot::CurrentUser, path, name, RegType::ExpandSz, SzBytes(value));
    }
    void Dword(const std::string& path, const std::string& name, uint32_t value) {
        Set(RegRoot::CurrentUser, path, name, RegType::Dword, DwordBytes(value));
    }
    void Binary(const std::string& path, const std::string& name, const Bytes& value) {
        Set(RegRoot::CurrentUser, path, name, RegType::Binary, value);
    }

    // Files.
    void Folder(const std::string& path);
    void WriteBytes(const std::string& path, const Bytes& data);
    void WriteText(const std::string& path, const std::vector<std::string>& lines);
    void WriteDbx(const DbxWriter& writer, const std::string& path, uint64_t size, uint64_t seed);
    std::string Place(const std::string& given, const std::string& fromShell, const char* what);

    void IdentityKeys();
    void Settings();
    void Accounts();
    void DefaultAccounts();
    void Rules();
    void Signatures();
    void StationeryLists();
    void WabSortState();
    void IeZones();
    void Cookies();
    void MailFolders();
    void StoreFiles();
    void AddressBook();
    void Stationery();
    void Dictionaries();
    void Favorites();
    void Firefox();
    void Opera();

    std::string OeKey() const { return id_.identityKey + kOeKey; }
    std::string AppData() {
        return Place(o_.places.appData, TPathComponent(p_).ShellAppDataFolder(),
                     "application data");
    }
    std::string StationeryFolder();
    std::string ProgramFilesFolder() {
        std::string folder;
        p_.shell.SpecialFolder(Csidl::ProgramFiles, folder);
        return folder;
    }

    Platform& p_;
    const OeIdentityOptions& o_;
    OeIdentity& id_;
    std::vector<std::string> written_;
    std::vector<std::string> keys_;
};

std::string Generator::Place(const std::string& given, const std::string& fromShell,
                             const char* what) {
    std::string folder = given.empty() ? fromShell : given;
    if (folder.empty())
        throw std::runtime_error(std::string("the system names no folder for ") + what);
    return IncludeTrailingBackslash(folder);
}

void Generator::Key(RegRoot root, const std::string& path) {
    // Every write of the POSIX store saves the whole file: create each key once.
    const std::string id = std::to_string(static_cast<int>(root)) + AnsiUpperCase(path);
    if (std::find(keys_.begin(), keys_.end(), id) != keys_.end()) return;
    if (p_.registry.CreateKey(root, path) != WinError::Success)
        throw std::runtime_error("cannot create the registry key " + path);
    keys_.push_back(id);
}

void Generator::Set(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                    const Bytes& data) {
    Key(root, path);
    if (p_.registry.SetValue(root, path, name, type, data) != WinError::Success)
        throw std::runtime_error("cannot write the registry value " + path + "\\" + name);
}

void Generator::Folder(const std::string& path) {
    if (!ForceDirectories(p_.files, ExcludeTrailingBackslash(path)))
        throw std::runtime_error("cannot create the folder " + path);
}

void Generator::WriteBytes(const std::string& path, const Bytes& data) {
    Folder(ExtractFilePath(path));
    auto stream = p_.files.Open(path, OpenMode::CreateAlways);
    const bool ok = stream && stream->Write(data.data(), data.size());
    if (!stream || !stream->Close() || !ok) throw std::runtime_error("cannot write " + path);
    written_.push_back(path);
}

void Generator::WriteText(const std::string& path, const std::vector<std::string>& lines) {
    Folder(ExtractFilePath(path));
    if (!WriteTextLines(p_.files, path, lines)) throw std::runtime_error("cannot write " + path);
    written_.push_back(path);
}

// The tree part from the writer, then mail text up to `size` in chunks.
void Generator::WriteDbx(const DbxWriter& writer, const std::string& path, uint64_t size,
                         uint64_t seed) {
    Folder(ExtractFilePath(path));
    if (!writer.WriteTo(p_.files, path)) throw std::runtime_error("cannot write " + path);
    written_.push_back(path);
    if (size <= writer.EndOffset()) return;
    auto stream = p_.files.Open(path, OpenMode::ReadWrite);
    bool ok = stream && stream->Seek(writer.EndOffset());
    MailText text(seed);
    std::vector<char> chunk(kChunk);
    for (uint64_t left = size - writer.EndOffset(); ok && left > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        text.Fill(chunk.data(), n);
        ok = stream->Write(chunk.data(), n);
        left -= n;
    }
    if (!stream || !stream->Close() || !ok) throw std::runtime_error("cannot write " + path);
}

// ---- registry ---------------------------------------------------------------------------

void Generator::IdentityKeys() {
    Key(RegRoot::CurrentUser, kIdentities);
    RegValue current;
    const bool hasDefault = p_.registry.QueryValue(RegRoot::CurrentUser, kIdentities,
                                                   "Default User ID", current) == WinError::Success;
    if (o_.makeDefault || !hasDefault) Sz(kIdentities, "Default User ID", id_.guid);
    Sz(kIdentities, "Last User ID", id_.guid);
    Sz(kIdentities, "Last Username", id_.username);

    Sz(id_.identityKey, "Username", id_.username);
    Sz(id_.identityKey, "User ID", id_.guid);
    Dword(id_.identityKey, "Use Password", 0);
    std::vector<std::string> identities;
    p_.registry.EnumSubKeys(RegRoot::CurrentUser, kIdentities, identities);
    Dword(kIdentities, "Identity Ordinal", static_cast<uint32_t>(identities.size()));

    if (id_.storeRootType == RegType::ExpandSz)
        ExpandSz(OeKey(), "Store Root", id_.storeRootValue);
    else
        Sz(OeKey(), "Store Root", id_.storeRootValue);
}

void Generator::Settings() {
    Rng rng(SeedFor(o_.seed, "settings"));
    const std::string oe = OeKey();
    id_.catalogueKeys.push_back(oe);
    Dword(oe, "Store Migrated", 1);
    Dword(oe, "Show Splash", 0);
    // Quotes, backslashes and umlauts, as a REGEDIT4 export has to escape them.
    Sz(oe, "Letzter Importpfad", "C:\\Daten\\\"Alte Mails\"\\Müller & Söhne\\");
    Binary(oe, "Window Pos", RandomBytes(rng, 44));
    ExpandSz(oe, "Sound File", "%SystemRoot%\\Media\\Ding.wav");

    id_.catalogueKeys.push_back(oe + "\\Mail");
    Dword(oe + "\\Mail", "Poll For Mail", 1800000);
    Dword(oe + "\\Mail", "Safe Attachments", 1);
    Dword(oe + "\\Mail", "Message Send HTML", 0);
    Sz(oe + "\\Mail", "Reply Prefix", "AW: ");
    Binary(oe + "\\Mail", "Message Font", RandomBytes(rng, 24));

    const std::string trident = oe + "\\Trident";
    id_.catalogueKeys.push_back(trident);
    Dword(trident, "Use Stationery", 1);
    Sz(trident + "\\International\\Scripts\\3", "IEPropFontName", "Times New Roman");
    Sz(trident + "\\International\\Scripts\\3", "IEFixedFontName", "Courier New");
    Binary(trident + "\\International\\Scripts\\3", "IEFontSize", Bytes{2, 0, 0, 0});

    id_.catalogueKeys.push_back(oe + "\\MailNote");
    Binary(oe + "\\MailNote", "Window Pos", RandomBytes(rng, 44));
    Dword(oe + "\\MailNote", "Show Formatting Bar", 1);

    id_.catalogueKeys.push_back(oe + "\\News");
    Dword(oe + "\\News", "Download Headers", 300);
    Dword(oe + "\\News", "Mark All Read", 0);

    id_.catalogueKeys.push_back(oe + "\\NewNote");
    Binary(oe + "\\NewNote", "Window Pos", RandomBytes(rng, 44));

    const std::string dialogs = oe + "\\Dont Show Dialogs";
    id_.catalogueKeys.push_back(dialogs);
    Dword(dialogs, "Delete Warning", 1);
    Dword(dialogs, "Compact Now", 1);
    Dword(dialogs, "Warnung: Löschen", 1);

    const std::string columns = oe + "\\Columns";
    id_.catalogueKeys.push_back(columns);
    Binary(columns, "Mail", RandomBytes(rng, 96));
    Binary(columns, "News", RandomBytes(rng, 64));
    Binary(columns, "Folder", RandomBytes(rng, 200));  // longer than one export line
}

void Generator::Accounts() {
    const std::string iam = id_.identityKey + "\\" + kIamKey;
    id_.catalogueKeys.push_back(iam);
    Rng rng(SeedFor(o_.seed, "accounts"));
    Sz(iam, "Default Mail Account", "00000001");
    Sz(iam, "Default News Account", "00000002");
    Dword(iam, "Server ID", 6);

    const std::string pop = iam + "\\Accounts\\00000001";
    Sz(pop, "Account Name", "Müller (example.org)");
    Dword(pop, "Connection Type", 3);
    Sz(pop, "POP3 Server", "pop3.example.org");
    Sz(pop, "POP3 User Name", "juergen.mueller");
    Binary(pop, "POP3 Password2", RandomBytes(rng, 30));
    Dword(pop, "POP3 Port", 110);
    Dword(pop, "Leave Mail On Server", 0);
    Sz(pop, "SMTP Server", "smtp.example.org");
    Sz(pop, "SMTP Display Name", "Jürgen Müller");
    Sz(pop, "SMTP Email Address", "juergen.mueller@example.org");
    Dword(pop, "SMTP Port", 25);

    const std::string news = iam + "\\Accounts\\00000002";
    Sz(news, "Account Name", "news.example.com");
    Dword(news, "Connection Type", 3);
    Sz(news, "NNTP Server", "news.example.com");
    Sz(news, "NNTP Display Name", "Jürgen Müller");
    Sz(news, "NNTP Email Address", "juergen.mueller@example.org");
    Dword(news, "NNTP Port", 119);

    const std::string imap = iam + "\\Accounts\\00000003";
    Sz(imap, "Account Name", "Büro \"Süd\"");
    Dword(imap, "Connection Type", 3);
    Sz(imap, "IMAP Server", "imap.example.net");
    Sz(imap, "IMAP User Name", "buero-sued");
    Sz(imap, "IMAP Root Folder", "INBOX\\Büro");
    Dword(imap, "IMAP Port", 143);

    // An HTTP mail and a directory account, with what a reader that ignores the REGEDIT4
    // rules stumbles over ("/", an apostrophe, a backslash) and what XML has to escape.
    const std::string http = iam + "\\Accounts\\00000004";
    Sz(http, "Account Name", "Hotmail (Jürgen's)");
    Dword(http, "Connection Type", 3);
    Sz(http, "HTTPMail Server", "http://services.msn.com/svcs/hotmail/httpmail.asp");
    Sz(http, "HTTPMail User Name", "juergen@hotmail.example");
    Sz(http, "SMTP Display Name", "Jürgen Müller");
    Sz(http, "SMTP Email Address", "juergen@hotmail.example");
    Sz(http, "SMTP User Name", "EXAMPLE\\jmueller");

    const std::string ldap = iam + "\\Accounts\\00000005";
    Sz(ldap, "Account Name", "Firmenverzeichnis");
    Sz(ldap, "LDAP Server", "ldap.example.org");
    Sz(ldap, "LDAP Search Base", "o=Müller & Söhne <Zentrale>, c=DE");
    Dword(ldap, "LDAP Resolve Flag", 1);
    Dword(ldap, "LDAP Search Return", 100);
    Dword(ldap, "LDAP Timeout", 60);
}

void Generator::DefaultAccounts() {
    id_.catalogueKeys.push_back(kIamKey);
    const std::string iam = kIamKey;
    Dword(iam, "Server ID", 5);
    Sz(iam, "Default LDAP Account", "00000004");
    const std::string ldap = iam + "\\Accounts\\00000004";
    Sz(ldap, "Account Name", "Verzeichnisdienst (LDAP)");
    Sz(ldap, "LDAP Server", "ldap.example.com");
    Dword(ldap, "LDAP Search Return", 100);
    Dword(ldap, "LDAP Timeout", 60);
}

void Generator::Rules() {
    const std::string rules = OeKey() + "\\Rules";
    id_.catalogueKeys.push_back(rules);
    const std::string mail = rules + "\\Mail";
    Sz(mail, "Order", "000 001");
    Dword(mail, "Version", 0x00050000);
    Sz(mail + "\\000", "Name", "Rechnungen verschieben");
    Dword(mail + "\\000", "Enabled", 1);
    Dword(mail + "\\000\\Criteria\\000", "Type", 6);
    Sz(mail + "\\000\\Criteria\\000", "Value", "Rechnung");
    // Criteria texts as Outlook Express keeps them: single-byte text with its NUL, 40 bytes.
    Dword(mail + "\\000\\Criteria\\001", "Type", 7);
    Binary(mail + "\\000\\Criteria\\001", "Value", SzBytes("Einladung zur Mitgliederversammlung Süd"));
    Dword(mail + "\\000\\Actions\\000", "Type", 2);
    Binary(mail + "\\000\\Actions\\000", "Value", DwordBytes(11));
    Sz(mail + "\\001", "Name", "Verein \"Ehrenamt\" markieren");
    Dword(mail + "\\001", "Enabled", 0);
    Sz(mail + "\\001\\Criteria\\000", "Value", "vorstand@example.net");
    Binary(mail + "\\001\\Criteria\\001", "Value", SzBytes("AB"));
    Dword(mail + "\\001\\Actions\\000", "Type", 9);
    Dword(rules + "\\News", "Version", 6);

    // Blocked senders by mail and by news, numbered with the gaps that deleted entries leave;
    // one address needs the REGEDIT4 escapes, one entry has nothing but blanks.
    const std::string block = OeKey() + "\\Block Senders";
    id_.catalogueKeys.push_back(block);
    Dword(block + "\\Mail", "Version", 1);
    const struct {
        const char* group;
        const char* number;
        const char* address;
    } blocked[] = {{"Mail", "0", "werbung@example.net"},
                   {"Mail", "1", "example.invalid"},
                   {"Mail", "3", "\"gewinn\\\"spiel\"@example.com"},
                   {"Mail", "12", "   "},
                   {"News", "0", "stoerer@example.org"},
                   {"News", "2", "troll@example.org"}};
    for (const auto& b : blocked) {
        const std::string criterion = block + "\\" + b.group + "\\Criteria\\" + b.number;
        Sz(criterion, "Value", b.address);
        Dword(criterion, "Flags", 1);
    }
    Dword(block + "\\News", "Version", 1);
}

void Generator::Signatures() {
    const std::string signatures = OeKey() + "\\signatures";
    id_.catalogueKeys.push_back(signatures);
    Sz(signatures, "Default Signature", "00000000");
    Sz(signatures + "\\00000000", "name", "Signatur #1");
    Sz(signatures + "\\00000000", "text",
       "Mit freundlichen Grüßen\r\nJürgen Müller\r\n\"Büro Süd\" \\ Straße 5");
    Dword(signatures + "\\00000000", "type", 1);
    Sz(signatures + "\\00000000", "file", "");
    Sz(signatures + "\\00000001", "name", "Verein");
    Dword(signatures + "\\00000001", "type", 2);
    Sz(signatures + "\\00000001", "file", "C:\\Eigene Dateien\\Signatur Verein.txt");
}

void Generator::StationeryLists() {
    const std::string list = OeKey() + "\\Recent Stationery List";
    const std::string wide = OeKey() + "\\Recent Stationery Wide List";
    id_.catalogueKeys.push_back(list);
    id_.catalogueKeys.push_back(wide);
    const std::string folder = StationeryFolder();
    const char* const names[] = {"Blaue Rechtecke.htm", "Herbstlaub.htm",
                                 "Eigene\\Vereinsbrief.htm"};
    for (int i = 0; i < 3; ++i) {
        Sz(list, std::to_string(i), folder + names[i]);
        Binary(wide, std::to_string(i), WideBytes(folder + names[i]));
    }
}

void Generator::WabSortState() {
    const std::string key = id_.identityKey + "\\Software\\Microsoft\\WAB\\WAB Sort State";
    id_.catalogueKeys.push_back(key);
    Dword(key, "SortColumn", 0);
    Dword(key, "SortAscending", 1);
    Rng rng(SeedFor(o_.seed, "wab sort state"));
    Binary(key, "State", RandomBytes(rng, 16));
}

void Generator::IeZones() {
    const std::string domains =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
    id_.catalogueKeys.push_back(domains);
    Key(RegRoot::CurrentUser, domains);
    Dword(domains + "\\example.org", "*", 2);
    Dword(domains + "\\example.com\\www", "http", 2);
    Dword(domains + "\\example.com\\www", "https", 2);
    Dword(domains + "\\intranet.example.net", "file", 1);
    Dword(domains + "\\werbung.example.net", "*", 4);
}

void Generator::Cookies() {
    const std::string p3p = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P";
    id_.catalogueKeys.push_back(p3p);
    Dword(p3p + "\\History\\example.org", "", 1);
    Dword(p3p + "\\History\\werbung.example.net", "", 2);
}

// ---- mail store -------------------------------------------------------------------------

void Generator::MailFolders() {
    const std::string store = id_.storeFolder;
    Folder(store);

    // Sizes: fixed ones as given, the others by weight; what the division leaves goes to
    // the heaviest folder, so the total comes out as asked.
    std::vector<uint64_t> sizes(o_.mailFolders.size(), 0);
    uint64_t weights = 0;
    size_t heaviest = o_.mailFolders.size();
    for (size_t i = 0; i < o_.mailFolders.size(); ++i) {
        const auto& f = o_.mailFolders[i];
        if (f.fileName.empty() || !f.createFile || f.bytes) continue;
        weights += f.weight;
        if (heaviest == o_.mailFolders.size() || f.weight > o_.mailFolders[heaviest].weight)
            heaviest = i;
    }
    uint64_t spread = 0;
    for (size_t i = 0; i < o_.mailFolders.size(); ++i) {
        const auto& f = o_.mailFolders[i];
        if (f.fileName.empty() || !f.createFile) continue;
        if (f.bytes) {
            sizes[i] = f.bytes;
        } else if (weights) {
            sizes[i] =
                o_.mailBytes / weights * f.weight + o_.mailBytes % weights * f.weight / weights;
            spread += sizes[i];
        }
    }
    if (weights && heaviest < sizes.size() && o_.mailBytes > spread)
        sizes[heaviest] += o_.mailBytes - spread;

    // The mail files first: the index records their message counts.
    for (size_t i = 0; i < o_.mailFolders.size(); ++i) {
        const auto& planned = o_.mailFolders[i];
        OeMailFile file;
        file.folderId = planned.id;
        file.parentId = planned.parentId;
        file.folderName = planned.name;
        file.fileName = planned.fileName;
        if (!planned.fileName.empty()) file.path = store + planned.fileName;
        if (!planned.fileName.empty() && planned.createFile) {
            file.messages = planned.messages >= 0 ? static_cast<uint32_t>(planned.messages)
                                               : static_cast<uint32_t>(std::min<uint64_t>(
                                                     kMaxMessages, sizes[i] / kBytesPerMessage));
            Rng rng(SeedFor(o_.seed, planned.fileName));
            DbxWriter writer(DbxClass::Messages);
            SetStoreClassId(writer);
            std::vector<uint32_t> records;
            int64_t when = kFirstMessageTime + rng.Below(86400);
            for (uint32_t m = 1; m <= file.messages; ++m) {
                when += 600 + rng.Below(3 * 86400);
                const std::string subject = rng.Pick(kSubjects);
                const bool reply = rng.Below(3) == 0;
                const bool read = rng.Below(5) != 0;
                if (!read) ++file.unread;
                std::vector<DbxField> fields = {
                    DbxField::Direct(0x00, m),
                    DbxField::Direct(0x01, read ? 0x80u : 0u),
                    DbxField::Time(0x02, UnixToFileTime(when)),
                    DbxField::String(0x05, subject),
                    DbxField::String(0x07, "<" + std::to_string(rng.Next() % 1000000007) + "." +
                                               std::to_string(m) + "@example.com>"),
                    DbxField::String(0x08, reply ? "AW: " + subject : subject),
                    DbxField::String(0x0D, PersonName(rng)),
                    DbxField::String(0x0E, MailAddress(rng)),
                    DbxField::Time(0x12, UnixToFileTime(when + 30 + rng.Below(600))),
                };
                records.push_back(writer.AddRecord(fields));
            }
            if (!records.empty()) writer.SetMessageTree(file.messages, BuildTree(writer, records));
            file.contentStart = writer.EndOffset();
            file.size = std::max<uint64_t>(sizes[i], writer.EndOffset());
            WriteDbx(writer, file.path, file.size, SeedFor(o_.seed + 1, planned.fileName));
            file.exists = true;
        }
        id_.folders.push_back(file);
    }

    // The index: one record per folder and three trees over them, as Outlook Express keeps
    // them: by folder id with the root, by parent and name with the root, and by parent
    // and name without it. The program reads the third.
    DbxWriter writer(DbxClass::Folders);
    SetStoreClassId(writer);
    struct Entry {
        int32_t id;
        int64_t parent;
        std::string name;
        uint32_t record;
    };
    std::vector<Entry> entries;
    // The root stands for the whole store; its parent is -1.
    entries.push_back(Entry{0, -1, kRootName, 0});
    entries[0].record =
        writer.AddRecord({DbxField::Number(0x01, 0xFFFFFFFFu), DbxField::String(0x02, kRootName),
                          DbxField::Direct(0x0A, 4)});
    for (size_t i = 0; i < o_.mailFolders.size(); ++i) {
        const auto& planned = o_.mailFolders[i];
        const auto& file = id_.folders[i];
        std::vector<DbxField> fields;
        fields.push_back(DbxField::Direct(0x00, static_cast<uint32_t>(planned.id)));
        if (planned.parentId)
            fields.push_back(DbxField::Direct(0x01, static_cast<uint32_t>(planned.parentId)));
        fields.push_back(DbxField::String(0x02, planned.name));
        if (!planned.fileName.empty()) fields.push_back(DbxField::String(0x03, planned.fileName));
        if (!planned.accountKey.empty()) fields.push_back(DbxField::String(0x05, planned.accountKey));
        if (planned.parentId) fields.push_back(DbxField::Direct(0x06, 1));
        if (file.messages) fields.push_back(DbxField::Direct(0x07, file.messages));
        if (file.unread) fields.push_back(DbxField::Direct(0x08, file.unread));
        if (planned.specialType) fields.push_back(DbxField::Direct(0x09, planned.specialType));
        fields.push_back(DbxField::Direct(0x0A, planned.sourceType));
        entries.push_back(Entry{planned.id, planned.parentId, planned.name, writer.AddRecord(fields)});
    }

    std::vector<Entry> byId = entries;
    std::stable_sort(byId.begin(), byId.end(),
                     [](const Entry& a, const Entry& b) { return a.id < b.id; });
    std::vector<Entry> byParent = entries;
    std::stable_sort(byParent.begin(), byParent.end(), [](const Entry& a, const Entry& b) {
        if (a.parent != b.parent) return a.parent < b.parent;
        return AnsiCompareText(a.name, b.name) < 0;
    });
    const auto records = [](const std::vector<Entry>& list, size_t from) {
        std::vector<uint32_t> out;
        for (size_t i = from; i < list.size(); ++i) out.push_back(list[i].record);
        return out;
    };
    const auto all = records(byId, 0);
    writer.SetHeaderValue(0xC4, static_cast<uint32_t>(all.size()));
    writer.SetHeaderValue(0xE4, BuildTree(writer, all));
    const auto named = records(byParent, 0);
    writer.SetHeaderValue(0xC8, static_cast<uint32_t>(named.size()));
    writer.SetHeaderValue(0xE8, BuildTree(writer, named));
    const auto folders = records(byParent, 1);  // the root sorts first (parent -1)
    if (!folders.empty())
        writer.SetFolderTree(static_cast<uint32_t>(folders.size()), BuildTree(writer, folders));
    for (size_t i = 1; i < byParent.size(); ++i) id_.fileOrder.push_back(byParent[i].name);

    id_.folderIndex = store + "Folders.dbx";
    WriteDbx(writer, id_.folderIndex, 0, 0);
}

void Generator::StoreFiles() {
    Folder(id_.storeFolder);
    DbxWriter offline(DbxClass::Kind3);
    SetOfflineClassId(offline);
    const std::string offlinePath = id_.storeFolder + "Offline.dbx";
    WriteDbx(offline, offlinePath, 0, 0);
    id_.storeFiles.push_back(offlinePath);

    DbxWriter uidl(DbxClass::Kind2);
    const std::string uidlPath = id_.storeFolder + "Pop3uidl.dbx";
    WriteDbx(uidl, uidlPath, 0, 0);
    id_.storeFiles.push_back(uidlPath);
}

// ---- further files ------------------------------------------------------------------------

void Generator::AddressBook() {
    std::string user = p_.shell.GetEnvironment("USERNAME");
    if (user.empty()) user = "Benutzer";
    id_.wabFile = AppData() + "Microsoft\\Address Book\\" + user + ".wab";
    // The program copies the address book without reading it.
    Rng rng(SeedFor(o_.seed, "wab file"));
    WriteBytes(id_.wabFile, RandomBytes(rng, 48 * 1024));
    Set(RegRoot::CurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", RegType::Sz,
        SzBytes(id_.wabFile));
}

std::string Generator::StationeryFolder() {
    if (id_.stationeryFolder.empty())
        id_.stationeryFolder =
            Place(o_.places.commonFiles, TPathComponent(p_).CommonFilesDir(), "common files") +
            "Microsoft Shared\\Stationery\\";
    return id_.stationeryFolder;
}

void Generator::Stationery() {
    const std::string folder = StationeryFolder();
    const auto page = [](const std::string& title, const std::string& background) {
        return std::vector<std::string>{
            "<HTML><HEAD><TITLE>" + title + "</TITLE>",
            "<META content=\"text/html; charset=windows-1252\" http-equiv=Content-Type>",
            "</HEAD>",
            "<BODY background=\"" + background + "\">",
            "<P>&nbsp;</P>",
            "</BODY></HTML>"};
    };
    const struct {
        const char* name;
        const char* title;
        const char* background;
    } pages[] = {{"Blaue Rechtecke.htm", "Blaue Rechtecke", "Blaue Rechtecke.gif"},
                 {"Herbstlaub.htm", "Herbstlaub", "Bilder\\Herbstlaub.jpg"},
                 {"Geburtstag.htm", "Geburtstag", "Bilder\\Ballons.gif"},
                 {"Eigene\\Vereinsbrief.htm", "Vereinsbrief", "Logos\\Wappen.gif"}};
    for (const auto& p : pages) {
        WriteText(folder + p.name, page(p.title, p.background));
        id_.stationeryFiles.push_back(folder + p.name);
    }
    Rng rng(SeedFor(o_.seed, "stationery"));
    for (const char* image : {"Blaue Rechtecke.gif", "Bilder\\Herbstlaub.jpg",
                              "Bilder\\Ballons.gif", "Eigene\\Logos\\Wappen.gif"}) {
        WriteBytes(folder + image, RandomBytes(rng, 1024 + rng.Below(8192)));
        id_.stationeryFiles.push_back(folder + image);
    }
    std::sort(id_.stationeryFiles.begin(), id_.stationeryFiles.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });

    // Only an administrator may write the machine's key; without it the program finds the
    // same folder by its fallback.
    const std::string key = "SOFTWARE\\Microsoft\\Shared Tools\\Stationery";
    if (p_.registry.CreateKey(RegRoot::LocalMachine, key) == WinError::Success &&
        p_.registry.SetValue(RegRoot::LocalMachine, key, "Stationery Folder", RegType::Sz,
                             SzBytes(folder)) == WinError::Success)
        id_.stationeryValue = folder;
}

void Generator::Dictionaries() {
    id_.dictionaryFolder = AppData() + "Microsoft\\Proof\\";
    const std::string custom = id_.dictionaryFolder + "CUSTOM.DIC";
    WriteText(custom, {"Vereinsvorstand", "Müllabfuhr", "Straßenfest", "Vereinsheim"});
    const std::string special = id_.dictionaryFolder + "Fachbegriffe.dic";
    WriteText(special, {"Äquivalenzprinzip", "Grundschuld", "Nießbrauch", "Öffnungsklausel"});
    id_.dictionaries = {custom, special};
    std::sort(id_.dictionaries.begin(), id_.dictionaries.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });

    const std::string nested = id_.dictionaryFolder + "Alt\\Alt.dic";
    WriteText(nested, {"veraltet"});
    const std::string other = id_.dictionaryFolder + "Notizen.txt";
    WriteText(other, {"kein Wörterbuch"});
    id_.decoys.push_back(nested);
    id_.decoys.push_back(other);
}

void Generator::Favorites() {
    id_.favoritesFolder =
        Place(o_.places.favorites, TPathComponent(p_).ShellFavoritesFolder(), "favourites");
    const struct {
        const char* name;
        const char* url;
    } links[] = {{"Startseite.url", "http://www.example.com/"},
                 {"Links\\Suchmaschine.url", "http://suche.example.com/?q=gr%C3%BC%C3%9Fe"},
                 {"Nachrichten\\Wetter.url", "http://wetter.example.org/muenchen"},
                 {"Nachrichten\\Regional\\Stadtanzeiger.url", "http://www.example.net/lokal/"},
                 {"Banken & Versicherungen\\Hausbank Süd.url", "https://banking.example.com/"}};
    for (const auto& link : links) {
        const std::string path = id_.favoritesFolder + link.name;
        WriteText(path, {"[DEFAULT]", std::string("BASEURL=") + link.url, "[InternetShortcut]",
                         std::string("URL=") + link.url, "Modified=C0F1AA55E1A3DC0144"});
        id_.favorites.push_back(path);
    }
    Folder(id_.favoritesFolder + "Neuer Ordner");
    for (const char* folder : {"Banken & Versicherungen", "Links", "Nachrichten",
                               "Nachrichten\\Regional", "Neuer Ordner"})
        id_.favoriteFolders.push_back(id_.favoritesFolder + folder);
}

void Generator::Firefox() {
    const std::string base = AppData() + "Mozilla\\Firefox\\";
    id_.firefoxIni = base + "profiles.ini";
    // Firefox names a profile folder by eight random letters and digits.
    Rng rng(SeedFor(o_.seed, "firefox"));
    std::string salt;
    for (int i = 0; i < 8; ++i) salt += "abcdefghijklmnopqrstuvwxyz0123456789"[rng.Below(36)];
    const std::string relative = "Profiles/" + salt + ".default";
    const std::string absolute =
        Place(o_.places.personal, TPathComponent(p_).ShellPersonalFolder(), "documents") +
        "Firefox-Profil Büro";
    WriteText(id_.firefoxIni, {"[General]", "StartWithLastProfile=1", "", "[Profile0]",
                               "Name=default", "IsRelative=1", "Path=" + relative, "Default=1", "",
                               "[Profile1]", "Name=Büro", "IsRelative=0", "Path=" + absolute, ""});

    // Only the header of an SQLite database: the program copies the file, nothing more.
    std::string relativeFolder = base + relative;
    std::replace(relativeFolder.begin(), relativeFolder.end(), '/', '\\');
    const std::string places = relativeFolder + "\\places.sqlite";
    Bytes db(4096, 0);
    const char magic[] = "SQLite format 3";
    std::copy(magic, magic + sizeof magic, db.begin());
    db[16] = 0x10;  // page size 4096
    WriteBytes(places, db);

    const std::string bookmarks = absolute + "\\bookmarks.html";
    WriteText(bookmarks,
              {"<!DOCTYPE NETSCAPE-Bookmark-file-1>",
               "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">",
               "<TITLE>Lesezeichen</TITLE>", "<H1>Lesezeichen-Menü</H1>", "<DL><p>",
               "    <DT><A HREF=\"http://www.example.org/\">" + AnsiToUtf8("Bürgerbüro") + "</A>",
               "    <DT><A HREF=\"http://www.example.com/\">Startseite</A>", "</DL><p>"});
    id_.firefoxBookmarks = {places, bookmarks};
}

void Generator::Opera() {
    id_.operaFolder =
        ExcludeTrailingBackslash(Place(o_.places.programFiles, ProgramFilesFolder(), "programs")) +
        "\\Opera";
    Sz("Software\\Opera Software", "Last Directory3", id_.operaFolder);
    id_.operaProfile = id_.operaFolder + "\\profile\\";
    const auto hotlist = [](const std::vector<std::pair<std::string, std::string>>& entries) {
        std::vector<std::string> lines = {"Opera Hotlist version 2.0",
                                          "Options: encoding = utf8, version=3", ""};
        int id = 1;
        for (const auto& [name, url] : entries) {
            lines.push_back(url.empty() ? "#CONTACT" : "#URL");
            lines.push_back("\tID=" + std::to_string(id++));
            lines.push_back("\tNAME=" + AnsiToUtf8(name));
            if (!url.empty())
                lines.push_back("\tURL=" + url);
            else
                lines.push_back("\tMAIL=" + AnsiToUtf8("juergen.mueller@example.org"));
            lines.push_back("");
        }
        return lines;
    };
    const std::string bookmarks = id_.operaProfile + "opera6.adr";
    WriteText(bookmarks, hotlist({{"Startseite", "http://www.example.com/"},
                                  {"Wetter für München", "http://wetter.example.org/"}}));
    const std::string contacts = id_.operaProfile + "contacts.adr";
    WriteText(contacts, hotlist({{"Jürgen Müller", ""}}));
    const std::string notes = id_.operaProfile + "notes.adr";
    WriteText(notes, hotlist({{"Einkaufsliste: Äpfel, Brötchen", "http://notiz.example.net/"}}));
    id_.operaFiles = {bookmarks, contacts, notes};
    std::sort(id_.operaFiles.begin(), id_.operaFiles.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });

    const std::string ini = id_.operaProfile + "opera6.ini";
    WriteText(ini, {"[User Prefs]", "Hot List File Ver2=" + bookmarks});
    const std::string nested = id_.operaProfile + "Sicherung\\opera6.adr";
    WriteText(nested, hotlist({{"Alt", "http://alt.example.com/"}}));
    id_.decoys.push_back(ini);
    id_.decoys.push_back(nested);
}

// ---- the whole run ------------------------------------------------------------------------

void Generator::Run() {
    id_.username = o_.username;
    id_.guid = o_.guid.empty() ? OeIdentityBuilder::GuidFromSeed(o_.seed) : o_.guid;
    id_.keyName = "\\" + id_.guid + "\\";
    id_.identityKey = std::string(kIdentities) + "\\" + id_.guid;

    if (!o_.storeFolder.empty()) {
        id_.storeFolder = IncludeTrailingBackslash(p_.shell.ExpandEnvironment(o_.storeFolder));
    } else {
        id_.storeFolder =
            Place(o_.places.localAppData, TPathComponent(p_).ShellLocalAppDataFolder(),
                  "local application data") +
            "Identities\\" + id_.guid + "\\Microsoft\\Outlook Express\\";
    }
    const std::string store = ExcludeTrailingBackslash(id_.storeFolder);
    const std::string profile = IncludeTrailingBackslash(p_.shell.GetEnvironment("USERPROFILE"));
    if (o_.storeRootUserProfile && profile.size() > 1 && store.size() > profile.size() &&
        SameText(store.substr(0, profile.size()), profile)) {
        id_.storeRootValue = "%UserProfile%\\" + store.substr(profile.size());
        id_.storeRootType = RegType::ExpandSz;
    } else {
        id_.storeRootValue = store;
        id_.storeRootType = RegType::Sz;
    }

    // In the order of the catalogue, so that catalogueKeys follows it.
    IdentityKeys();
    if (o_.with.settings) Settings();
    if (o_.with.wabSortState) WabSortState();
    if (o_.with.accounts) Accounts();
    if (o_.with.defaultAccounts) DefaultAccounts();
    if (o_.with.rules) Rules();
    if (o_.with.signatures) Signatures();
    if (o_.with.stationeryLists) StationeryLists();
    if (o_.with.ieZones) IeZones();
    if (o_.with.cookies) Cookies();

    if (o_.with.mailFolders) MailFolders();
    if (o_.with.storeFiles) StoreFiles();
    if (o_.with.addressBook) AddressBook();
    if (o_.with.stationery) Stationery();
    if (o_.with.dictionaries) Dictionaries();
    if (o_.with.favorites) Favorites();
    if (o_.with.firefox) Firefox();
    if (o_.with.opera) Opera();

    if (o_.fileTime) {
        for (const auto& path : written_)
            if (!p_.files.SetTimes(path, &o_.fileTime, &o_.fileTime))
                throw std::runtime_error("cannot set the time of " + path);
    }
}

}  // namespace

// ---- public -----------------------------------------------------------------------------

std::vector<OeFolderSpec> DefaultFolderPlan() {
    std::vector<OeFolderSpec> plan;
    const auto add = [&plan](int32_t id, int32_t parent, const char* name, const char* file,
                             uint32_t weight, uint32_t special = 0) {
        OeFolderSpec f;
        f.id = id;
        f.parentId = parent;
        f.name = name;
        f.fileName = file;
        f.weight = weight;
        f.specialType = special;
        plan.push_back(f);
        return &plan.back();
    };
    add(1, 0, "Lokale Ordner", "", 0)->accountKey = "LocalStore";
    add(4, 1, "Posteingang", "Posteingang.dbx", 30, 1);
    add(5, 1, "Postausgang", "Postausgang.dbx", 1, 2);
    add(6, 1, "Gesendete Objekte", "Gesendete Objekte.dbx", 15, 3);
    add(7, 1, "Gelöschte Objekte", "Gelöschte Objekte.dbx", 5, 4);
    add(8, 1, "Entwürfe", "Entwürfe.dbx", 1, 5);
    OeFolderSpec* news = add(9, 0, "news.example.com", "", 0);
    news->accountKey = "00000002";
    news->sourceType = 1;
    add(10, 9, "de.alt.test", "de.alt.test.dbx", 2)->sourceType = 1;
    add(11, 1, "Rechnungen 2026", "Rechnungen 2026.dbx", 8);
    add(12, 1, "Familie", "Familie.dbx", 10);
    add(13, 12, "Urlaub 2025", "Urlaub 2025.dbx", 6);
    add(14, 13, "Fotos", "Fotos.dbx", 12);
    add(15, 18, "Verträge", "Verträge.dbx", 4);
    add(16, 15, "Versicherung", "Versicherung.dbx", 3);
    add(17, 1, "Vereine & Ehrenamt", "Vereine & Ehrenamt.dbx", 2);
    add(18, 1, "Archiv", "Archiv.dbx", 3);
    return plan;
}

OeGroups OeGroups::None() {
    OeGroups g;
    g.settings = g.accounts = g.defaultAccounts = g.rules = g.signatures = g.stationeryLists =
        g.wabSortState = g.ieZones = g.cookies = g.mailFolders = g.storeFiles = g.addressBook =
            g.stationery = g.dictionaries = g.favorites = g.firefox = g.opera = false;
    return g;
}

OePlaces OePlaces::Below(const std::string& base) {
    const std::string b = IncludeTrailingBackslash(base);
    OePlaces p;
    p.appData = b + "Anwendungsdaten";
    p.localAppData = b + "Lokale Einstellungen\\Anwendungsdaten";
    p.favorites = b + "Favoriten";
    p.personal = b + "Eigene Dateien";
    p.programFiles = b + "Programme";
    p.commonFiles = b + "Programme\\Gemeinsame Dateien";
    return p;
}

uint64_t OeIdentity::MailBytes() const {
    uint64_t total = 0;
    for (const auto& f : folders) total += f.size;
    return total;
}

const OeMailFile* OeIdentity::Folder(const std::string& name) const {
    for (const auto& f : folders)
        if (f.folderName == name) return &f;
    return nullptr;
}

OeMailFile* OeIdentity::Folder(const std::string& name) {
    return const_cast<OeMailFile*>(static_cast<const OeIdentity*>(this)->Folder(name));
}

OeIdentity OeIdentityBuilder::Build(const OeIdentityOptions& options) {
    OeIdentity identity;
    Generator(p_, options, identity).Run();
    return identity;
}

std::string OeIdentityBuilder::GuidFromSeed(uint32_t seed) {
    Rng rng(SeedFor(seed, "identity"));
    const uint64_t a = rng.Next(), b = rng.Next();
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                  static_cast<unsigned>(0x4000 | (a & 0x0FFF)),
                  static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return text;
}

bool TouchMailFile(Platform& platform, OeMailFile& file, uint32_t seed, uint64_t growBytes,
                   FileTime when) {
    Files& files = platform.files;
    FileTime before = 0;
    if (!file.exists || !files.GetTimes(file.path, nullptr, &before)) return false;
    auto stream = files.Open(file.path, OpenMode::ReadWrite);
    if (!stream) return false;
    const uint64_t size = stream->Size();
    bool ok = true;
    MailText text(SeedFor(seed, file.fileName) ^ before);
    std::vector<char> block(4096);
    if (size > file.contentStart) {
        // A new message in place of old content; the tree stays intact.
        const uint64_t room = size - file.contentStart;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(room, block.size()));
        const uint64_t at = file.contentStart + (Rng(seed).Next() % (room - n + 1));
        text.Fill(block.data(), n);
        ok = stream->Seek(at) && stream->Write(block.data(), n);
    } else if (growBytes == 0) {
        growBytes = 512;  // a file without content can only change by growing
    }
    if (ok && growBytes) ok = stream->Seek(size);
    for (uint64_t left = growBytes; ok && left > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
        text.Fill(block.data(), n);
        ok = stream->Write(block.data(), n);
        left -= n;
    }
    if (ok) file.size = stream->Size();
    ok = stream->Close() && ok;
    if (!ok) return false;

    // Later than before by at least the two seconds a FAT volume can tell apart.
    FileTime after = when ? when : platform.system.UtcNow();
    after = std::max<FileTime>(after, before + 2 * 10000000ull);
    if (!files.SetTimes(file.path, nullptr, &after)) return false;
    const uint32_t attributes = files.GetAttributes(file.path);
    if (attributes == FileAttr::Invalid) return false;
    return files.SetAttributes(file.path, (attributes & ~FileAttr::Normal) | FileAttr::Archive);
}

}  // namespace bv::test
