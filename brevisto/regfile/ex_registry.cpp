#include "brevisto/regfile/ex_registry.h"

#include <algorithm>
#include <cstdio>

#include "brevisto/regfile/text_file.h"
#include "platform/ansi.h"

namespace bv {

namespace {

constexpr size_t kBufferStep = 65536;
// Windows' own limit for key and value names (plus the terminating NUL).
constexpr size_t kMaxNameLength = 256;
// A line of data bytes is finished once it would reach this length.
constexpr size_t kWrapLength = 77;

struct RootName {
    const char* name;
    std::optional<RegRoot> root;
};

// In this order in both directions.
const RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
    {"HKEY_USERS", RegRoot::Users},
    {"HKEY_PERFORMANCE_DATA", std::nullopt},
    {"HKEY_CURRENT_CONFIG", std::nullopt},
    {"HKEY_DYN_DATA", std::nullopt},
};

std::string Format(const char* format, unsigned long number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer;
}

std::string ReplaceAll(std::string text, const std::string& pattern,
                       const std::string& replacement) {
    size_t pos = 0;
    while ((pos = text.find(pattern, pos)) != std::string::npos) {
        text.replace(pos, pattern.size(), replacement);
        pos += replacement.size();
    }
    return text;
}


std::string HexByte(uint8_t value) {
    static const char digits[] = "0123456789abcdef";
    return std::string{digits[value >> 4], digits[value & 0x0F]};
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

EConvertError NotANumber(const std::string& text) {
    return EConvertError("'" + text + "' is not a valid integer value");
}

uint32_t ParseHexNumber(const std::string& text) {
    if (text.empty() || text.size() > 8) throw NotANumber(text);
    uint32_t value = 0;
    for (char c : text) {
        if (!IsHexDigit(c)) throw NotANumber(text);
        value = (value << 4) | HexDigitValue(c);
    }
    return value;
}

uint32_t ParseDecimalNumber(const std::string& text) {
    if (text.empty()) throw NotANumber(text);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw NotANumber(text);
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFFFFFFu) throw NotANumber(text);
    }
    return static_cast<uint32_t>(value);
}

void SkipBlanks(std::string& text) {
    size_t n = 0;
    while (n < text.size() && text[n] == ' ') ++n;
    text.erase(0, n);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string EscapeRegText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

EExRegistryException::EExRegistryException(System& system, long code,
                                           const std::string& operation)
    : std::runtime_error([&] {
          const std::string text = TrimBlanks(system.ErrorText(code));
          std::string description = text.empty()
                                        ? "Error " + std::to_string(code)
                                        : "Error " + std::to_string(code) + " : " + text;
          return description + ":" + operation;
      }()),
      code_(code) {}

TExRegistry::TExRegistry(Platform& platform)
    : TExRegistry(platform.registry, platform.files, platform.system) {}

TExRegistry::TExRegistry(Registry& registry, Files& files, System& system)
    : registry_(registry), files_(files), system_(system) {}

bool TExRegistry::OpenKey(const std::string& key, bool canCreate) {
    CloseKey();
    const std::string path = StartsWith(key, "\\") ? key.substr(1) : key;
    if (registry_.KeyExists(RootKey, path) != WinError::Success) {
        if (!canCreate || (Access & KeyAccess::CreateSubKey) == 0) return false;
        if (registry_.CreateKey(RootKey, path) != WinError::Success) return false;
    }
    currentPath_ = path;
    currentKeyOpen_ = true;
    return true;
}

bool TExRegistry::OpenKeyReadOnly(const std::string& key) {
    Access = KeyAccess::Read;
    return OpenKey(key, false);
}

void TExRegistry::CloseKey() {
    currentKeyOpen_ = false;
    currentPath_.clear();
}

std::string TExRegistry::RootKeyName(RegRoot root) {
    for (const auto& entry : kRootNames)
        if (entry.root == root) return entry.name;
    return std::string();
}

bool TExRegistry::IsRootKeyName(const std::string& name) {
    for (const auto& entry : kRootNames)
        if (name == entry.name) return true;
    return false;
}

std::optional<RegRoot> TExRegistry::RootFromName(const std::string& name) {
    for (const auto& entry : kRootNames)
        if (name == entry.name) return entry.root;
    return std::nullopt;
}

size_t TExRegistry::GrownBufferSize(size_t current, size_t longest) {
    if (current >= longest) return current;
    return (longest + kBufferStep) / kBufferStep * kBufferStep;
}

// ---------------------------------------------------------------------------------------
// Export

bool TExRegistry::ExportToRegFile(const std::string& fileName) {
    if (!currentKeyOpen_) return false;
    outputLines_.assign(1, "REGEDIT4");
    lastKeyWritten_.clear();
    anyKeyWritten_ = false;
    valueBuffer_.assign(kBufferStep, 0);
    bool ok = true;
    try {
        WalkKey(currentPath_);
        outputLines_.push_back(std::string());
        ok = WriteTextLines(files_, fileName, outputLines_);
    } catch (const std::exception&) {
        ok = false;
    }
    outputLines_.clear();
    std::vector<uint8_t>().swap(valueBuffer_);
    return ok;
}

void TExRegistry::WalkKey(const std::string& path) {
    if (registry_.KeyExists(RootKey, path) != WinError::Success) return;

    std::vector<std::string> subKeys;
    long error = registry_.EnumSubKeys(RootKey, path, subKeys);
    if (error == WinError::AccessDenied) return;
    if (error != WinError::Success)
        throw EExRegistryException(system_, error, "Unable to query key info");

    std::vector<RegValue> values;
    error = registry_.EnumValues(RootKey, path, values);
    if (error == WinError::AccessDenied) return;
    if (error != WinError::Success)
        throw EExRegistryException(system_, error, "Unable to get value info");

    if (values.empty()) {
        EmitValue(path, std::string(), RegType::None, nullptr, 0);
    } else {
        size_t longest = 0;
        for (const auto& value : values) longest = std::max(longest, value.data.size());
        if (valueBuffer_.size() < longest)
            valueBuffer_.resize(GrownBufferSize(valueBuffer_.size(), longest));
        for (const auto& value : values) {
            if (value.name.size() >= kMaxNameLength)
                throw EExRegistryException(system_, WinError::MoreData,
                                           "Unable to get value info");
            // The buffer is reused, so its bytes past this value's length are stale.
            std::copy(value.data.begin(), value.data.end(), valueBuffer_.begin());
            EmitValue(path, value.name, value.type, valueBuffer_.data(), value.data.size());
        }
    }

    for (const auto& name : subKeys) WalkKey(path.empty() ? name : path + "\\" + name);
}

void TExRegistry::EmitValue(const std::string& path, const std::string& name, uint32_t type,
                            const uint8_t* data, size_t length) {
    if (!anyKeyWritten_ || path != lastKeyWritten_) {
        outputLines_.push_back(std::string());
        outputLines_.push_back("[" + RootKeyName(RootKey) + "\\" + path + "]");
        lastKeyWritten_ = path;
        anyKeyWritten_ = true;
    }
    if (length == 0 || type == RegType::ExpandSz) return;

    const auto addLine = [this](const std::string& line) {
        outputLines_.push_back(ReplaceAll(line, "\r\n", "\\r\\n"));
    };

    std::string line = name.empty() ? "@=" : "\"" + EscapeRegText(name) + "\"=";
    if (type == RegType::Sz) {
        size_t textLength = 0;
        while (textLength < length && data[textLength] != 0) ++textLength;
        const std::string text(reinterpret_cast<const char*>(data), textLength);
        addLine(line + "\"" + EscapeRegText(text) + "\"");
        return;
    }
    if (type == RegType::Dword) {
        uint32_t number = 0;
        for (size_t i = 0; i < 4 && i < length; ++i) number |= uint32_t{data[i]} << (8 * i);
        addLine(line + Format("dword:%8.8lx", number));
        return;
    }
    line += type == RegType::Binary ? std::string("hex:") : Format("hex(%lu):", type);
    for (size_t i = 0; i < length; ++i) {
        std::string piece = HexByte(data[i]);
        if (i + 1 < length) piece += ',';
        if (line.size() + piece.size() >= kWrapLength) {
            addLine(line + piece + "\\");
            line = "  ";
        } else {
            line += piece;
        }
    }
    addLine(line);
}

// ---------------------------------------------------------------------------------------
// Import

void TExRegistry::SyntaxError(const std::string& fileName, size_t lineIndex,
                              const std::string& rest) {
    throw ERegFileError("Syntax error in reg file " + fileName + " at line " +
                        std::to_string(lineIndex) + " with string: " + rest);
}

void TExRegistry::ImportFromRegFile(const std::string& fileName) {
    std::vector<std::string> lines = ReadTextLines(files_, system_, fileName);

    size_t first = 0;
    while (first < lines.size()) {
        const std::string trimmed = TrimBlanks(lines[first]);
        if (!trimmed.empty() && trimmed[0] != ';') break;
        ++first;
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
    if (lines.empty() || lines[0] != "REGEDIT4")
        throw ERegFileError("Bad file format.  Missing REGEDIT4 in first line.");

    importRoot_ = RootKey;
    importPath_ = currentPath_;
    importKeyOpen_ = currentKeyOpen_;

    for (size_t i = 1; i < lines.size(); ++i) {
        std::string line = ReplaceAll(TrimBlanks(lines[i]), "\\r\\n", "\r\n");
        while (!line.empty() && line.back() == '\\') {
            line.pop_back();
            if (i + 1 >= lines.size()) break;
            ++i;
            line += TrimBlanks(lines[i]);
        }
        if (line.empty() || line[0] == ';') continue;

        if (line[0] == '[') {
            ImportKeyLine(fileName, i, line.substr(1));
        } else if (line[0] == '"' || line[0] == '@') {
            ImportValueLine(fileName, i, line);
        } else {
            SyntaxError(fileName, i, line);
        }
    }
}

void TExRegistry::ImportKeyLine(const std::string& fileName, size_t lineIndex,
                                std::string rest) {
    if (rest.empty() || rest.back() != ']') SyntaxError(fileName, lineIndex, rest);
    rest.pop_back();
    const size_t slash = rest.find('\\');
    if (slash == std::string::npos) SyntaxError(fileName, lineIndex, rest);
    const std::string rootName = rest.substr(0, slash);
    const std::string path = rest.substr(slash + 1);
    if (!IsRootKeyName(rootName) || path.empty()) SyntaxError(fileName, lineIndex, rest);

    // Values must never land in the key of an earlier line, so a key that cannot be
    // created ends the import here.
    const std::optional<RegRoot> root = RootFromName(rootName);
    importKeyOpen_ = false;
    if (!root || (Access & KeyAccess::CreateSubKey) == 0 ||
        registry_.CreateKey(*root, path) != WinError::Success)
        throw ERegFileError("Unable to create registry key " + rest);
    importRoot_ = *root;
    importPath_ = path;
    importKeyOpen_ = true;
}

void TExRegistry::ImportValueLine(const std::string& fileName, size_t lineIndex,
                                  std::string rest) {
    std::string name;
    if (rest[0] == '"') {
        // The name ends at the first quote that is not escaped; the exporter writes a quote
        // or a backslash of a name as \" and \\.
        size_t k = 1;
        for (; k < rest.size() && rest[k] != '"'; ++k) {
            if (rest[k] == '\\' && k + 1 < rest.size() && (rest[k + 1] == '"' || rest[k + 1] == '\\')) ++k;
            name += rest[k];
        }
        if (k >= rest.size()) SyntaxError(fileName, lineIndex, rest);
        rest.erase(0, k + 1);
    } else {
        rest.erase(0, 1);
    }

    SkipBlanks(rest);
    if (rest.empty() || rest[0] != '=') SyntaxError(fileName, lineIndex, rest);
    rest.erase(0, 1);
    SkipBlanks(rest);
    if (rest.empty()) SyntaxError(fileName, lineIndex, rest);

    uint32_t type = RegType::Sz;
    Bytes data;
    if (rest[0] == '"') {
        if (rest.size() < 2 || rest.back() != '"') SyntaxError(fileName, lineIndex, rest);
        const std::string quoted = rest.substr(1, rest.size() - 2);
        std::string text;
        for (size_t k = 0; k < quoted.size(); ++k) {
            // A lone backslash at the end has nothing to escape and stays as it is.
            if (quoted[k] == '\\' && k + 1 < quoted.size()) ++k;
            text += quoted[k];
        }
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else {
        const size_t wordEnd = rest.find_first_of(" (:");
        const std::string word = rest.substr(0, wordEnd);
        rest.erase(0, word.size());
        if (SameText(word, "dword")) {
            SkipBlanks(rest);
            if (rest.empty() || rest[0] != ':') SyntaxError(fileName, lineIndex, rest);
            rest.erase(0, 1);
            SkipBlanks(rest);
            const uint32_t number = ParseHexNumber(rest);
            type = RegType::Dword;
            data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                    static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        } else if (SameText(word, "hex")) {
            type = RegType::Binary;
            if (!rest.empty() && rest[0] == '(') {
                const size_t close = rest.find(')');
                if (close == std::string::npos) SyntaxError(fileName, lineIndex, rest);
                type = ParseDecimalNumber(rest.substr(1, close - 1));
                rest.erase(0, close + 1);
            }
            SkipBlanks(rest);
            if (rest.empty() || rest[0] != ':') SyntaxError(fileName, lineIndex, rest);
            rest.erase(0, 1);
            // Every run of hex digits is one byte (its low 8 bits). An item without digits
            // (",,", a trailing ",", or nothing at all) stands for a zero byte in its place,
            // so the length is always the number of commas plus one.
            size_t commas = 0;
            bool inNumber = false;
            bool itemHasDigits = false;
            for (char c : rest) {
                if (IsHexDigit(c)) {
                    if (!inNumber) data.push_back(0);
                    data.back() = static_cast<uint8_t>((data.back() << 4) | HexDigitValue(c));
                    inNumber = true;
                    itemHasDigits = true;
                    continue;
                }
                inNumber = false;
                if (c == ',') {
                    if (!itemHasDigits) data.push_back(0);
                    ++commas;
                    itemHasDigits = false;
                }
            }
            if (!itemHasDigits) data.push_back(0);
            data.resize(commas + 1, 0);
        } else {
            SyntaxError(fileName, lineIndex, word + rest);
        }
    }

    if (!importKeyOpen_ || (Access & KeyAccess::SetValue) == 0 ||
        registry_.SetValue(importRoot_, importPath_, name, type, data) != WinError::Success)
        throw ERegFileError("Unable to set registry data for " + name);
}

}  // namespace bv
