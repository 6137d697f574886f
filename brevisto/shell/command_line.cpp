#include "brevisto/shell/command_line.h"

#include "common/ini_file.h"

namespace bv {
namespace {

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; }

std::string TrimControls(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> items;
    size_t i = 0;
    const size_t n = commandLine.size();
    for (;;) {
        // Blanks and empty quote pairs in front of an item are skipped.
        for (;;) {
            while (i < n && IsSeparator(commandLine[i])) ++i;
            if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"')
                i += 2;
            else
                break;
        }
        if (i >= n || commandLine[i] == '\0') break;
        std::string item;
        while (i < n && static_cast<unsigned char>(commandLine[i]) > ' ') {
            if (commandLine[i] == '"') {
                ++i;
                while (i < n && commandLine[i] != '"' && commandLine[i] != '\0') item += commandLine[i++];
                if (i < n && commandLine[i] == '"') ++i;
            } else {
                item += commandLine[i++];
            }
        }
        items.push_back(item);
    }
    if (!items.empty()) items.erase(items.begin());  // the program itself
    return items;
}

StartArguments ParseStartArguments(const std::vector<std::string>& args) {
    StartArguments result;
    const std::string first = args.empty() ? std::string() : args.front();
    std::string upper = first;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!first.empty() && upper.find(".BVT") != std::string::npos) {
        // An unquoted path with blanks arrives in pieces; they are joined again.
        std::string joined;
        for (const std::string& a : args) joined += " " + a;
        result.ParamFilePath = TrimControls(joined);
        result.AutoRun = true;
    }
    // The rules apply in this order: a name with both marks keeps the unattended start
    // without a parameter file, which the start then reports as not found, and opens the
    // backup file in the viewer.
    if (first.find(".bvq") != std::string::npos) {
        result.ViewerFilePath = first;
        result.ParamFilePath.clear();
    }
    return result;
}

int ReadParamFileBackupKind(Platform& platform, const std::string& paramFilePath) {
    TTheIniFile ini(platform);
    ini.SetIniLocation(loUser);
    ini.SetIniFileName(paramFilePath);
    ini.SetOpen(true);
    ini.SetSection("Backup");
    const bool update = ini.ReadFlag("UPDATE");
    ini.SetOpen(false);
    return update ? 1 : 0;
}

std::string MissingParamFileText(const std::string& pathFromCommandLine) {
    return "Die angegebene Taskplaner-Datei wurde nicht gefunden!\rDas automatische Backup "
           "konnte nicht durchgeführt werden.\r\rParameter: " +
           pathFromCommandLine;
}

}  // namespace bv
