// Parameter files come from wherever the user keeps them and may be edited by hand or cut
// off. Reading one must end with a result: every folder it yields lies in the mail store
// it names, and an unreadable password stops the reading.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "brevisto/automation/parameter_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// A store with one folder file, a subfolder holding another and a file beside the store:
// only the first may ever be chosen.
void MakeStore(bv::Files& files) {
    static bool made = false;
    if (made) return;
    made = true;
    const uint8_t byte = 0;
    if (!files.CreateDirectory("C:\\Store") || !files.CreateDirectory("C:\\Store\\sub")) abort();
    (void)bv::fuzz::WriteInput(files, "Store\\Inbox.dbx", &byte, 1);
    (void)bv::fuzz::WriteInput(files, "Store\\sub\\y.dbx", &byte, 1);
    (void)bv::fuzz::WriteInput(files, "x.dbx", &byte, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& posix = bv::fuzz::SharedPlatform();
    MakeStore(posix.files);
    bv::Platform platform = posix.Bind();
    const std::string path = bv::fuzz::WriteInput(posix.files, "auto.bvt", data, size);
    const bv::ParameterFile file = bv::ReadParameterFile(platform, path);
    if (file.passwordUnreadable && (file.optionsRead || !file.autoFolders.empty())) abort();
    const std::string& store = file.identity.StoreRoot;
    for (const bv::MailFolderChoice& folder : file.autoFolders) {
        if (folder.path.compare(0, store.size(), store) != 0) abort();
        const std::string rest = folder.path.substr(store.size());
        if (rest.empty() || rest.find_first_of("\\/:") != std::string::npos || rest == ".." ||
            rest == ".")
            abort();
    }
    return 0;
}
