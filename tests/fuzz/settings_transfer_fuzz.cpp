// Rules, blocked senders, signatures and stationery lists from a backup's snapshots: the
// rewrite must end with REGEDIT4 text, never a crash or a hang, and importing that text must
// write nothing outside HKEY_CURRENT_USER\Software\Microsoft\<mail program>, whatever the
// snapshot names. The first input byte picks the snapshot and the mail program.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "brevisto/regfile/ex_registry.h"
#include "brevisto/transfer/settings_transfer.h"
#include "brevisto/transfer/transfer_target.h"
#include "platform/ansi.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const bv::RegRoot kRoots[] = {bv::RegRoot::CurrentUser, bv::RegRoot::LocalMachine, bv::RegRoot::ClassesRoot,
                              bv::RegRoot::Users};

// Only the chain Software\Microsoft\<program> may exist, without values above the program key.
void CheckOnlyProgramKey(bv::Registry& registry, const std::string& program) {
    const char* const chain[] = {"Software", "Microsoft"};
    for (bv::RegRoot root : kRoots) {
        std::vector<std::string> keys;
        registry.EnumSubKeys(root, "", keys);
        if (keys.empty()) continue;
        if (root != bv::RegRoot::CurrentUser) abort();
        std::string path;
        std::vector<bv::RegValue> values;
        registry.EnumValues(root, "", values);
        if (!values.empty()) abort();
        for (const char* name : chain) {
            if (keys.size() != 1 || !bv::SameText(keys[0], name)) abort();
            path += (path.empty() ? "" : "\\") + keys[0];
            values.clear();
            registry.EnumValues(root, path, values);
            if (!values.empty()) abort();
            keys.clear();
            registry.EnumSubKeys(root, path, keys);
        }
        if (keys.size() > 1 || (keys.size() == 1 && !bv::SameText(keys[0], program))) abort();
    }
}

void EmptyRegistry(bv::Registry& registry) {
    for (bv::RegRoot root : kRoots) {
        std::vector<std::string> keys;
        registry.EnumSubKeys(root, "", keys);
        for (const std::string& key : keys) registry.DeleteKeyTree(root, key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* const kFiles[] = {bv::kRulesSnapshot, bv::kBlockedSendersSnapshot, bv::kSignaturesSnapshot,
                                         bv::kStationeryListSnapshot, bv::kStationeryWideListSnapshot};
    const std::string snapshot = kFiles[data[0] % 5];
    const std::string program = (data[0] & 0x80) ? bv::kWindowsLiveMail : bv::kWindowsMail;

    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    const std::string file = bv::fuzz::WriteInput(p.files, "fuzz.ols", data + 1, size - 1);
    const bv::ConvertedSnapshot converted = bv::ConvertSnapshot(p.files, p.system, file, snapshot, program);
    if (converted.lines.empty() || converted.lines[0] != "REGEDIT4") abort();

    std::string text;
    for (const std::string& line : converted.lines) text += line + "\r\n";
    const std::string out = bv::fuzz::WriteInput(p.files, "fuzz-converted.reg",
                                                 reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EmptyRegistry(p.registry);
    bv::TExRegistry importer(p.registry, p.files, p.system);
    importer.Access = bv::KeyAccess::Write;
    try {
        importer.ImportFromRegFile(out);
    } catch (const bv::ERegFileError&) {
    } catch (const bv::EConvertError&) {
    }
    CheckOnlyProgramKey(p.registry, program);
    EmptyRegistry(p.registry);
    return 0;
}
