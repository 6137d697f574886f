// Installer scripts from outside (a "Setup.in" on a CD may be damaged or made up): reading and
// expanding must end with a script, never a crash or a hang, and no file entry that the copy
// plan calls valid may leave the install folder or take its source from outside the setup
// folder, whichever separator or ".." spelling the script uses.
#include <cstdint>
#include <cstdlib>

#include "platform/ansi.h"
#include "setup/install/install_run.h"
#include "setup/install/install_script.h"
#include "setup/install/script_reg_key.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const std::string kSetup = "C:\\Setup";
const std::string kInstall = "C:\\Programme\\Fuzz";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && bv::SameText(text.substr(0, prefix.size()), prefix);
}

// True when `rest`, taken as Windows would resolve it below a folder, stays below it: both
// separators count, ".." goes up (blanks around it do not hide it), and a drive or stream
// colon leaves the folder.
bool StaysInside(const std::string& rest) {
    if (rest.empty() || rest.find(':') != std::string::npos) return false;
    if (rest[0] == '\\' || rest[0] == '/') return false;
    int depth = 0;
    size_t from = 0;
    while (from <= rest.size()) {
        size_t end = rest.find_first_of("\\/", from);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(from, end - from);
        while (!part.empty() && static_cast<unsigned char>(part.back()) <= ' ') part.pop_back();
        while (!part.empty() && static_cast<unsigned char>(part.front()) <= ' ') part.erase(0, 1);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        from = end + 1;
    }
    return true;
}

void CheckInside(const std::string& path, const std::string& folder) {
    const std::string prefix = folder + "\\";
    if (!StartsWith(path, prefix) || !StaysInside(path.substr(prefix.size()))) abort();
}

bool Routed(const bv::FileEntry& entry, const std::vector<bv::CopyDestination>& destinations) {
    if (entry.option != bv::FileOption::None) return false;
    for (const bv::CopyDestination& d : destinations) {
        std::string file = d.file;
        while (!file.empty() && static_cast<unsigned char>(file.back()) <= ' ') file.pop_back();
        while (!file.empty() && static_cast<unsigned char>(file.front()) <= ' ') file.erase(0, 1);
        if (bv::SameText(file, entry.file)) return true;
    }
    return false;
}

void CheckFiles(const std::vector<std::string>& values, const bv::InstallScript& script) {
    for (const std::string& value : values) {
        const bv::FileEntry entry = bv::ParseFileEntry(value);
        if (entry.file.empty()) continue;
        const bv::CopyPlan plan = bv::PlanCopy(entry, kSetup, kInstall, script.copyDestinations);
        if (!plan.valid) continue;
        CheckInside(plan.source, kSetup);
        // A shared file goes where the script's destination list says; that is its purpose.
        if (Routed(entry, script.copyDestinations)) continue;
        CheckInside(plan.destination, kInstall);
        if (!plan.folderToCreate.empty()) CheckInside(plan.folderToCreate + "x", kInstall);
        if (!plan.removablePath.empty()) CheckInside(plan.removablePath + "x", kInstall);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    (void)p.files.CreateDirectory(kSetup);
    const std::string file = bv::fuzz::WriteInput(p.files, "Setup\\Setup.in", data, size);
    bv::Platform platform = p.Bind();

    bv::InstallScript script;
    if (bv::ReadInstallScript(platform, file, script) != bv::ScriptReadResult::Ok) return 0;
    bv::ExpandScriptPlaceholders(script, kInstall + "\\", "C:\\Programme\\Gemeinsame Dateien");

    for (const auto* keys : {&script.createRegKeys, &script.uninstallRegKeys}) {
        for (const std::string& key : *keys) {
            bv::RegRoot root;
            std::string path;
            if (bv::ParseScriptRegKey(key, root, path) && path.empty()) abort();
        }
    }
    CheckFiles(script.progFiles, script);
    CheckFiles(script.additionalFiles, script);
    return 0;
}
