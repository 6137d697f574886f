#include "setup/install/script_reg_key.h"

#include <cctype>

namespace bv {

namespace {

std::string UpperPrefix(const std::string& text, size_t count) {
    std::string prefix = text.substr(0, count);
    for (char& c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return prefix;
}

}  // namespace

bool ParseScriptRegKey(const std::string& text, RegRoot& root, std::string& path) {
    const std::string four = UpperPrefix(text, 4);
    if (four == "HKCR") root = RegRoot::ClassesRoot;
    else if (four == "HKCU") root = RegRoot::CurrentUser;
    else if (four == "HKLM") root = RegRoot::LocalMachine;
    else if (UpperPrefix(text, 3) == "HKU") root = RegRoot::Users;
    else return false;
    const size_t slash = text.find('\\');
    if (slash == std::string::npos || slash + 1 >= text.size()) return false;
    path = text.substr(slash + 1);
    return true;
}

std::string ScriptRootName(RegRoot root) {
    switch (root) {
        case RegRoot::ClassesRoot: return "HKCR";
        case RegRoot::CurrentUser: return "HKCU";
        case RegRoot::LocalMachine: return "HKLM";
        case RegRoot::Users: return "HKU";
    }
    return std::string();
}

}  // namespace bv
