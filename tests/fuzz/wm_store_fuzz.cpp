// Windows Mail stores from outside: the folder scan must end with a list of records that the
// scan keeps, never a crash, a hang or a read outside the file or the page. Raw bytes seldom
// look like pages, so an input whose first byte is even first gets the header bytes of a
// page laid over each of its pages (kind, head, marker, start tag); the counts, the tag
// arrays and the records stay as fuzzed.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "brevisto/mailstore/wm_store_scanner.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kPage = 8192;

void LayPageHeaders(std::vector<uint8_t>& bytes) {
    for (size_t page = 0; page * kPage + 8190 <= bytes.size(); ++page) {
        uint8_t* p = bytes.data() + page * kPage;
        // A page keeps its kind; any other picks one by its first byte. The second kind
        // follows start tag 42 42.
        const bool firstKind = p[8188] == 0x10 || (p[8188] != 0x09 && (p[0] & 1) == 0);
        p[8188] = firstKind ? 0x10 : 0x09;
        p[8189] = 0x00;
        if (firstKind) {
            const uint8_t head[6] = {static_cast<uint8_t>((p[0] & 2) ? 0x16 : 0x14), 0, 0, 0, 1, 0};
            for (int i = 0; i < 6; ++i) p[40 + i] = head[i];
            const uint8_t step[4] = {0x09, 0x00, 0x42, 0x42};
            for (int i = 0; i < 4; ++i) p[80 + i] = step[i];
        } else {
            p[40] = 0x42;
            p[41] = 0x42;
        }
        p[48] = 0x19;
        p[49] = 0x80;
        p[50] = 0x68;
    }
}

uint32_t TwoByteNumberOf(const std::string& hex) {
    return static_cast<uint32_t>(std::stoul(hex.substr(2, 2) + hex.substr(0, 2), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    std::vector<uint8_t> bytes(data, data + size);
    if (size > 0 && (data[0] & 1) == 0) LayPageHeaders(bytes);
    const std::string path =
        bv::fuzz::WriteInput(p.files, "WindowsMail.MSMessageStore", bytes.data(), bytes.size());
    bv::Platform platform = p.Bind();

    const std::vector<bv::TWMFolderData> folders = bv::ScanMailStoreFolders(platform, path);
    for (const bv::TWMFolderData& f : folders) {
        if (f.IdText.size() != 16 || f.ParentIdText.size() != 16) abort();
        if (f.Id != TwoByteNumberOf(f.IdText) || f.ParentId != TwoByteNumberOf(f.ParentIdText)) abort();
        if (f.IsSpecial != (f.Id <= 8)) abort();
        if (f.LocalFolder.empty() && f.Kind != "LocalStore") abort();
    }
    const std::string name = bv::LocalStoreFolderName(platform, path);
    if (folders.empty() != (name == "Local Folders")) {
        // Only a local store named so could give that name besides an empty scan.
        bool named = false;
        for (const auto& f : folders) named = named || f.Kind == "LocalStore";
        if (!named) abort();
    }
    return 0;
}
