// Writes a few generated Windows Mail stores into a folder, the seed corpus of wm_store_fuzz:
//   wm_store_seeds <host folder>
#include <cstdio>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tests/support/wm_store_writer.h"

using bv::test::WmPageKind;
using bv::test::WmPageMarker;
using bv::test::WmPageSetup;
using bv::test::WmRecord;
using bv::test::WmStoreWriter;

namespace {

WmRecord Record(const std::string& name, const std::string& kind, const std::u16string& local, int layout) {
    WmRecord r;
    r.name = name;
    r.text = u"Ordner";
    r.kind = layout == 12 ? std::string() : kind;
    r.localFolder = local;
    r.layout = layout;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wm_store_seeds <folder>\n");
        return 2;
    }
    bv::PosixPlatform& p = bv::fuzz::SharedPlatform();
    p.map.MapDrive('S', argv[1]);

    // Both page kinds, all three layouts, the local store and a newsgroup.
    WmStoreWriter full;
    const size_t first = full.AddPage();
    full.AddRecord(first, Record("Lokale Ordner", "LocalStore", u"Lokale Ordner", 16));
    WmRecord news = Record("de.test", "", u"news.example.org", 12);
    news.newsgroup = true;
    full.AddRecord(first, news);
    WmPageSetup child;
    child.kind = WmPageKind::Second;
    child.parentTag = 0x4242;
    const size_t second = full.AddPage(child);
    WmRecord half = Record("Konto", "account{1}.oeaccount", u"mail.example.org", 20);
    half.halfByteMarker = true;
    half.markerAt = 8;
    full.AddRecord(second, half);

    // A page marked half a byte off, records behind each other.
    WmStoreWriter marker;
    WmPageSetup odd;
    odd.marker = WmPageMarker::HalfByte;
    odd.markerAt = 5;
    const size_t page = marker.AddPage(odd);
    for (int i = 0; i < 4; ++i)
        marker.AddRecord(page, Record("Ordner " + std::to_string(i), "LocalStore", u"Ablage", 16));

    // A store that ends half way into its second page.
    WmStoreWriter cut = full;
    cut.SetFileSize(8192 + 8190);

    const struct {
        const char* name;
        const WmStoreWriter* writer;
    } seeds[] = {{"seed-full.store", &full}, {"seed-marker.store", &marker}, {"seed-cut.store", &cut}};
    for (const auto& seed : seeds) {
        if (!seed.writer->WriteTo(p.files, std::string("S:\\") + seed.name)) {
            std::fprintf(stderr, "cannot write %s\n", seed.name);
            return 1;
        }
    }
    return 0;
}
