#include "brevisto/transfer/settings_transfer.h"

#include <cstdio>
#include <exception>
#include <initializer_list>

#include "brevisto/regfile/ex_registry.h"
#include "brevisto/regfile/text_file.h"
#include "brevisto/shell/product.h"
#include "brevisto/transfer/reg_snapshot.h"
#include "brevisto/support/common_routines.h"
#include "common/msg_box.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace bv {

const char* const kRulesSnapshot = "FILTERS.OLS";
const char* const kBlockedSendersSnapshot = "BLOCKERS.OLS";
const char* const kSignaturesSnapshot = "SIGNS.OLS";
const char* const kStationeryListSnapshot = "PAPER.OLS";
const char* const kStationeryWideListSnapshot = "PAPERW.OLS";

namespace {

// Where Outlook Express keeps an identity's settings; everything up to it is the identity's
// part of a key line and gives way to the new program's key.
const char kIdentityMarker[] = "\\Software\\Microsoft\\Outlook Express\\5.0";
const char kBlockSenders[] = "\\Block Senders";
// "%s" marks where the criterion's own subkey name goes.
const char kBlockSendersList[] = "\\PerPassportSettings\\0\\Junk Mail\\Block Senders List%s";
const char kPerAccount[] = "PerPassportSettings\\0\\";
const char kMailCriteria[] = "\\Mail\\Criteria\\";
const char kCriterionPrefix[] = "\\00000";
constexpr size_t kPieceLength = 78;
// The exporter's line length for values that are not rewritten.
constexpr size_t kWrapLength = 77;
constexpr uint32_t kOutlookExpressVersion = 0x00050000;
constexpr uint32_t kWindowsMailVersion = 0x00070000;

// Every occurrence, left to right, in one pass: a replacement that holds the pattern again
// is never looked at a second time.
std::string ReplaceEach(const std::string& text, const std::string& pattern,
                        const std::string& replacement) {
    if (pattern.empty()) return text;
    std::string out;
    size_t start = 0;
    for (size_t p; (p = text.find(pattern, start)) != std::string::npos; start = p + pattern.size()) {
        out.append(text, start, p - start);
        out += replacement;
    }
    out.append(text, start, std::string::npos);
    return out;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The REGEDIT4 reader writes line breaks of the text as "\r\n"; it reads them back the same way.
std::string WithLineBreaksEscaped(const std::string& line) { return ReplaceEach(line, "\r\n", "\\r\\n"); }

std::string HexByte(uint8_t value) {
    static const char digits[] = "0123456789abcdef";
    return std::string{digits[value >> 4], digits[value & 0x0F]};
}

std::string NamePart(const std::string& name) {
    return name.empty() ? std::string("@=") : "\"" + EscapeRegText(name) + "\"=";
}

std::string TypePart(uint32_t type) {
    if (type == RegType::Binary) return "hex:";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "hex(%lu):", static_cast<unsigned long>(type));
    return buffer;
}

// The whole value on one line, bytes as the reader wants them: "41,42,00".
std::string HexLine(const std::string& name, uint32_t type, const Bytes& data) {
    std::string line = NamePart(name) + TypePart(type);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0) line += ',';
        line += HexByte(data[i]);
    }
    return line;
}

// A text the reader turns back into the same bytes when written between quotes: one NUL at the
// end and none before it, line breaks only as CR LF.
bool IsPlainString(const Bytes& data) {
    if (data.empty() || data.back() != 0) return false;
    const size_t end = data.size() - 1;
    for (size_t i = 0; i < end; ++i) {
        if (data[i] == 0 || data[i] == '\n') return false;
        if (data[i] == '\r') {
            if (i + 1 >= end || data[i + 1] != '\n') return false;
            ++i;
        }
    }
    return true;
}

uint32_t DwordOf(const Bytes& data) {
    return uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
}

Bytes DwordBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

// One value in the form the exporter gives it, so that the reader gets the same bytes back.
std::vector<std::string> ValueLines(const std::string& name, uint32_t type, const Bytes& data) {
    if ((type == RegType::Sz) && IsPlainString(data)) {
        const std::string text(data.begin(), data.end() - 1);
        return {WithLineBreaksEscaped(NamePart(name) + "\"" + EscapeRegText(text) + "\"")};
    }
    if (type == RegType::Dword && data.size() == 4) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%8.8lx", static_cast<unsigned long>(DwordOf(data)));
        return {WithLineBreaksEscaped(NamePart(name) + buffer)};
    }
    // Wrapped after a byte, never inside the name: the reader trims continuation lines.
    std::vector<std::string> lines;
    std::string line = NamePart(name) + TypePart(type);
    for (size_t i = 0; i < data.size(); ++i) {
        std::string piece = HexByte(data[i]);
        if (i + 1 < data.size()) piece += ',';
        if (line.size() + piece.size() >= kWrapLength && i + 1 < data.size()) {
            lines.push_back(line + piece + "\\");
            line = "  ";
        } else {
            line += piece;
        }
    }
    lines.push_back(line);
    for (std::string& l : lines) l = WithLineBreaksEscaped(l);
    return lines;
}

// A rewritten piece of the new file: a key line (judged before it is written) or value lines.
struct Item {
    bool isKey = false;
    std::string keyLine;             // "[HKEY_...\path]", line breaks unescaped
    std::vector<std::string> lines;  // value lines as written, or blank lines
};

Item KeyItem(const std::string& line) {
    Item item;
    item.isKey = true;
    item.keyLine = line;
    return item;
}

Item LinesItem(std::vector<std::string> lines) {
    Item item;
    item.lines = std::move(lines);
    return item;
}

std::string KeyLineOf(const RegSnapshotLine& e) {
    return "[" + TExRegistry::RootKeyName(e.root) + "\\" + e.path + "]";
}

// An identity's key line moves below the program's key. A line without the identity's part
// stays as it is (and is then judged like any other key line).
std::string MoveIdentityKey(const std::string& line, const std::string& program) {
    if (!Contains(line, "\\{")) return line;
    const size_t marker = line.find(kIdentityMarker);
    if (marker == std::string::npos) return line;
    const std::string prefix = line.substr(0, marker + sizeof kIdentityMarker - 1);
    return ReplaceEach(line, prefix, "[HKEY_CURRENT_USER\\Software\\Microsoft\\" + program);
}

bool NamedValue(const RegValue& v, const char* name) { return SameText(v.name, name); }

std::vector<std::string> WidenedValue(const RegValue& v) {
    return CutValueLine(WidenHexValueLine(HexLine(v.name, v.type, v.data)));
}

std::vector<Item> SettingsItems(const std::vector<RegSnapshotLine>& events, const std::string& program) {
    std::vector<Item> items;
    for (const auto& e : events) {
        if (e.isKey) {
            items.push_back(LinesItem({""}));
            items.push_back(KeyItem(MoveIdentityKey(KeyLineOf(e), program)));
            continue;
        }
        if (e.beforeAnyKey) continue;
        const RegValue& v = e.value;
        if (NamedValue(v, "Value") && v.type == RegType::Binary) {
            items.push_back(LinesItem(WidenedValue(v)));
        } else if (NamedValue(v, "Version") && v.type == RegType::Dword && v.data.size() == 4 &&
                   DwordOf(v.data) == kOutlookExpressVersion) {
            items.push_back(LinesItem(ValueLines(v.name, v.type, DwordBytes(kWindowsMailVersion))));
        } else {
            items.push_back(LinesItem(ValueLines(v.name, v.type, v.data)));
        }
    }
    return items;
}

std::vector<Item> BlockedSenderItems(const std::vector<RegSnapshotLine>& events,
                                     const std::string& program, bool liveMail) {
    const std::string list = liveMail ? "\\PerPassportSettings\\0\\Junk Mail\\Block Senders List"
                                      : "\\Junk Mail\\Block Senders List";
    std::vector<Item> items;
    items.push_back(LinesItem({""}));
    items.push_back(KeyItem("[HKEY_CURRENT_USER\\Software\\Microsoft\\" + program + list + "]"));
    items.push_back(LinesItem({"\"Version\"=dword:00050000", ""}));

    // Links a criterion's key to the address that follows it.
    std::string criterion;
    for (const auto& e : events) {
        if (e.isKey) {
            const std::string line =
                ReplaceEach(MoveIdentityKey(KeyLineOf(e), program), kBlockSenders, kBlockSendersList);
            const size_t at = line.find(kMailCriteria);
            if (at == std::string::npos) continue;
            criterion = line.substr(at + sizeof kMailCriteria - 1);
            if (!criterion.empty()) criterion.pop_back();  // the closing bracket
            const size_t mark = line.find("%s");
            std::string key = (mark == std::string::npos ? std::string() : line.substr(0, mark)) +
                              kCriterionPrefix + criterion + "]";
            if (!liveMail) key = ReplaceEach(key, kPerAccount, "");
            items.push_back(KeyItem(key));
            items.push_back(LinesItem({"\"Flags\"=dword:00000001"}));
            continue;
        }
        if (e.beforeAnyKey) continue;
        const RegValue& v = e.value;
        if (!NamedValue(v, "Value")) continue;
        if (!criterion.empty() && v.type == RegType::Sz) {
            std::vector<std::string> lines = ValueLines("Exception", v.type, v.data);
            lines.push_back("");
            items.push_back(LinesItem(std::move(lines)));
            criterion.clear();
        } else if (v.type == RegType::Binary) {
            items.push_back(LinesItem(WidenedValue(v)));
        }
    }
    return items;
}

// A key the new file may write: below HKEY_CURRENT_USER\Software\Microsoft\<program>, judged
// the way the reader will take the line.
bool BelowProgramKey(const std::string& keyLine, const std::string& program) {
    if (keyLine.size() < 2 || keyLine.front() != '[' || keyLine.back() != ']') return false;
    const std::string inner = keyLine.substr(1, keyLine.size() - 2);
    const size_t slash = inner.find('\\');
    if (slash == std::string::npos) return false;
    if (TExRegistry::RootFromName(inner.substr(0, slash)) != RegRoot::CurrentUser) return false;
    std::vector<std::string> parts;
    size_t start = slash + 1;
    for (;;) {
        const size_t next = inner.find('\\', start);
        parts.push_back(inner.substr(start, next == std::string::npos ? std::string::npos : next - start));
        if (next == std::string::npos) break;
        start = next + 1;
    }
    if (parts.size() < 4 || !SameText(parts[0], "Software") || !SameText(parts[1], "Microsoft") ||
        !SameText(parts[2], program))
        return false;
    // "." and ".." are no names the identity's keys have; a registry that took them as
    // steps would leave the program's key.
    for (const std::string& part : parts)
        if (part.empty() || part == "." || part == "..") return false;
    return true;
}

// The file to import: keys outside the program's key go, and their values with them.
std::vector<std::string> Emit(const std::vector<Item>& items, const std::string& program) {
    std::vector<std::string> lines = {"REGEDIT4"};
    bool keyKept = false;
    for (const Item& item : items) {
        if (item.isKey) {
            keyKept = BelowProgramKey(item.keyLine, program);
            if (keyKept) lines.push_back(WithLineBreaksEscaped(item.keyLine));
            continue;
        }
        const bool blank = item.lines.size() == 1 && item.lines[0].empty();
        if (!keyKept && !blank) continue;
        lines.insert(lines.end(), item.lines.begin(), item.lines.end());
    }
    lines.push_back("");
    return lines;
}

bool IsBlocked(const std::string& file) { return file == kBlockedSendersSnapshot; }

void Tell(Platform& p, const std::string& text) {
    ShowMsgBox(p.prompter, text, kMessageCaption, mkError, bsOk);
}

void TellNotImported(Platform& p, const std::string& file) {
    Tell(p, "Datei " + file + " konnte nicht eingespielt werden!");
}

// True when the file is gone (or never was).
bool RemoveCopy(Files& files, const std::string& path) {
    if (!FileExists(files, path)) return true;
    ClearReadOnlyHidden(files, path);
    return files.DeleteFile(path) || !FileExists(files, path);
}

bool AllBlank(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!TrimBlanks(line).empty()) return false;
    return true;
}

// Restores what this transfer changes on the dialog's reader.
class ReaderScope {
public:
    explicit ReaderScope(TZipReader& r) : r_(r), destDir_(r.DestDir()), recreateDirs_(r.RecreateDirs()) {}
    ~ReaderScope() {
        r_.SetDestDir(destDir_);
        r_.SetRecreateDirs(recreateDirs_);
    }
    ReaderScope(const ReaderScope&) = delete;
    ReaderScope& operator=(const ReaderScope&) = delete;

private:
    TZipReader& r_;
    std::string destDir_;
    bool recreateDirs_;
};

}  // namespace

std::string WidenHexValueLine(const std::string& line) { return ReplaceEach(line, ",", ",00,") + ",00"; }

std::vector<std::string> CutValueLine(const std::string& line) {
    std::vector<std::string> pieces;
    size_t at = 0;
    while (at < line.size()) {
        std::string piece = line.substr(at, kPieceLength);
        at += piece.size();
        const bool more = !TrimBlanks(line.substr(at)).empty();
        pieces.push_back((pieces.empty() ? "" : "  ") + piece + (more ? "\\" : ""));
        if (!more) break;
    }
    return pieces;
}

ConvertedSnapshot ConvertSnapshot(Files& files, System& system, const std::string& path,
                                  const std::string& file, const std::string& mailProgram) {
    ConvertedSnapshot converted;
    std::vector<RegSnapshotLine> lines;
    try {
        ReadRegSnapshotLines(files, system, path, lines);
    } catch (const std::exception& e) {
        converted.readError = e.what();  // what was read before is still taken
    }
    const bool liveMail = mailProgram == kWindowsLiveMail;
    const std::vector<Item> items = IsBlocked(file)
                                        ? BlockedSenderItems(lines, mailProgram, liveMail)
                                        : SettingsItems(lines, mailProgram);
    converted.lines = Emit(items, mailProgram);
    return converted;
}

SnapshotResult TransferSnapshot(Platform& p, TZipReader& reader, const TransferTarget& target,
                                const std::string& file) {
    int index = -1;
    for (int i = 0; i < reader.EntryCount() && index < 0; ++i)
        if (!reader.EntryName(i).empty() && Contains(AnsiUpperCase(reader.EntryName(i)), file)) index = i;
    if (index < 0) return SnapshotResult::Missing;

    const std::string folder = IncludeTrailingBackslash(target.tempFolder);
    const std::string copy = folder + reader.EntryName(index);
    {
        ReaderScope scope(reader);
        for (int i = 0; i < reader.EntryCount(); ++i) reader.SetEntrySelected(i, i == index);
        // An old copy that stays is overwritten by the extraction or makes it fail.
        (void)RemoveCopy(p.files, copy);
        reader.SetDestDir(folder);
        reader.SetRecreateDirs(false);
        if (reader.ExtractSelected() == 0) {
            // Never an older copy in its place: it would be another archive's data.
            TellNotImported(p, file);
            return SnapshotResult::NotExtracted;
        }
    }
    ClearReadOnlyHidden(p.files, copy);

    SnapshotResult result = SnapshotResult::Imported;
    try {
        if (AllBlank(ReadTextLines(p.files, p.system, copy))) {
            (void)RemoveCopy(p.files, copy);
            return SnapshotResult::Empty;
        }
    } catch (const std::exception& e) {
        Tell(p, e.what());
        (void)RemoveCopy(p.files, copy);
        return SnapshotResult::Failed;
    }

    const ConvertedSnapshot converted = ConvertSnapshot(p.files, p.system, copy, file, target.mailProgram);
    if (!converted.readError.empty()) {
        Tell(p, converted.readError);
        result = SnapshotResult::Failed;
    }
    if (!WriteTextLines(p.files, copy, converted.lines)) {
        TellNotImported(p, file);
        (void)RemoveCopy(p.files, copy);
        return SnapshotResult::Failed;
    }
    p.pump.ProcessMessages();
    try {
        TExRegistry importer(p);
        importer.RootKey = RegRoot::CurrentUser;
        importer.ImportFromRegFile(copy);
    } catch (const std::exception& e) {
        Tell(p, e.what());
        result = SnapshotResult::Failed;
    }
    // A copy that stays is removed before the next extraction of the same entry.
    (void)RemoveCopy(p.files, copy);
    return result;
}

int CleanUpJunkMailLists(Registry& registry, const TransferTarget& target) {
    const std::string program = target.ProgramKey();
    if (target.mailProgram.empty() || registry.KeyExists(RegRoot::CurrentUser, program) != WinError::Success)
        return 0;
    const std::string junk = program + (target.LiveMail() ? "\\PerPassportSettings\\0" : "") + "\\Junk Mail\\";
    int removed = 0;
    for (const char* list : {"Block Senders List", "Safe Senders List"}) {
        const std::string key = junk + list;
        std::vector<std::string> entries;
        if (registry.EnumSubKeys(RegRoot::CurrentUser, key, entries) != WinError::Success) continue;
        for (const std::string& entry : entries) {
            const std::string path = key + "\\" + entry;
            RegValue exception;
            const long error = registry.QueryValue(RegRoot::CurrentUser, path, "Exception", exception);
            bool noAddress = error == WinError::FileNotFound;
            if (error == WinError::Success && (exception.type == RegType::Sz || exception.type == RegType::ExpandSz)) {
                std::string text(exception.data.begin(), exception.data.end());
                text = text.substr(0, text.find('\0'));
                noAddress = TrimBlanks(text).empty();
            }
            if (noAddress && registry.DeleteKeyTree(RegRoot::CurrentUser, path) == WinError::Success) ++removed;
        }
    }
    return removed;
}

namespace {

std::vector<SnapshotOutcome> TransferEach(Platform& p, TZipReader& reader, const TransferTarget& target,
                                          std::initializer_list<const char*> files) {
    std::vector<SnapshotOutcome> outcomes;
    for (const char* file : files) outcomes.push_back({file, TransferSnapshot(p, reader, target, file)});
    return outcomes;
}

}  // namespace

std::vector<SnapshotOutcome> TransferRulesAndBlockedSenders(Platform& p, TZipReader& reader,
                                                            const TransferTarget& target) {
    std::vector<SnapshotOutcome> outcomes =
        TransferEach(p, reader, target, {kRulesSnapshot, kBlockedSendersSnapshot});
    CleanUpJunkMailLists(p.registry, target);
    return outcomes;
}

std::vector<SnapshotOutcome> TransferSignatures(Platform& p, TZipReader& reader, const TransferTarget& target) {
    return TransferEach(p, reader, target, {kSignaturesSnapshot});
}

std::vector<SnapshotOutcome> TransferStationeryLists(Platform& p, TZipReader& reader,
                                                     const TransferTarget& target) {
    return TransferEach(p, reader, target, {kStationeryListSnapshot, kStationeryWideListSnapshot});
}

}  // namespace bv
