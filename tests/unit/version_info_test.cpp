#include <gtest/gtest.h>

#include "brevisto/shell/product.h"
#include "brevisto/support/product_version.h"
#include "brevisto/support/version_info.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

// Builds version resources in the layout Windows NT returns (UTF-16 keys and texts).
class VersionResourceBuilder {
public:
    struct Node {
        std::string key;
        Bytes value;
        bool text = false;
        std::vector<Node> children;
    };

    static Node Text(const std::string& key, const std::string& text) {
        Node n{key, {}, true, {}};
        for (char c : text) {
            n.value.push_back(static_cast<uint8_t>(c));
            n.value.push_back(0);
        }
        n.value.push_back(0);
        n.value.push_back(0);
        return n;
    }

    static Bytes Build(const Node& node) {
        Bytes out(6, 0);
        for (char c : node.key) {
            out.push_back(static_cast<uint8_t>(c));
            out.push_back(0);
        }
        out.push_back(0);
        out.push_back(0);
        Pad(out);
        out.insert(out.end(), node.value.begin(), node.value.end());
        for (const Node& child : node.children) {
            Pad(out);
            Bytes c = Build(child);
            out.insert(out.end(), c.begin(), c.end());
        }
        Put16(out, 0, out.size());
        Put16(out, 2, node.text ? node.value.size() / 2 : node.value.size());
        Put16(out, 4, node.text ? 1 : 0);
        return out;
    }

    static Bytes Fixed(uint32_t ms, uint32_t ls) {
        Bytes v(52, 0);
        Put32(v, 0, 0xFEEF04BD);
        Put32(v, 4, 0x00010000);
        Put32(v, 8, ms);
        Put32(v, 12, ls);
        return v;
    }

private:
    static void Pad(Bytes& b) {
        while (b.size() % 4) b.push_back(0);
    }
    static void Put16(Bytes& b, size_t at, size_t v) {
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    static void Put32(Bytes& b, size_t at, uint32_t v) {
        Put16(b, at, v & 0xFFFF);
        Put16(b, at + 2, v >> 16);
    }
};

using Node = VersionResourceBuilder::Node;

Node Resource(const std::string& fileVersion, uint16_t language, uint16_t codePage) {
    Node root{"VS_VERSION_INFO", VersionResourceBuilder::Fixed(0x00020003, 0x00040005), false, {}};
    Node table{"040704E4", {}, true, {VersionResourceBuilder::Text("CompanyName", "Quillmar"),
                                      VersionResourceBuilder::Text("FileVersion", fileVersion)}};
    root.children.push_back(Node{"StringFileInfo", {}, true, {table}});
    Node translation{"Translation",
                     {static_cast<uint8_t>(language), static_cast<uint8_t>(language >> 8),
                      static_cast<uint8_t>(codePage), static_cast<uint8_t>(codePage >> 8)},
                     false,
                     {}};
    root.children.push_back(Node{"VarFileInfo", {}, true, {translation}});
    return root;
}

TEST(VersionInfo, FileVersionOfTheFirstTranslation) {
    Bytes res = VersionResourceBuilder::Build(Resource("4.2.0.17", 0x0407, 0x04E4));
    EXPECT_EQ(TVersionInfo::FileVersionOf(res), "4.2.0.17");
}

TEST(VersionInfo, FixedInformationWhenTheStringIsMissing) {
    // The translation names a table that is not there, and an empty text counts as missing.
    EXPECT_EQ(TVersionInfo::FileVersionOf(VersionResourceBuilder::Build(Resource("4.2", 0x0409, 0x04B0))),
              "2.3.4.5");
    EXPECT_EQ(TVersionInfo::FileVersionOf(VersionResourceBuilder::Build(Resource("", 0x0407, 0x04E4))),
              "2.3.4.5");
}

TEST(VersionInfo, DamagedResourcesGiveNoVersion) {
    Bytes res = VersionResourceBuilder::Build(Resource("4.2.0.17", 0x0407, 0x04E4));
    EXPECT_EQ(TVersionInfo::FileVersionOf(Bytes{}), "");
    for (size_t cut : {size_t(3), size_t(40), res.size() / 2, res.size() - 1}) {
        Bytes part(res.begin(), res.begin() + static_cast<std::ptrdiff_t>(cut));
        TVersionInfo::FileVersionOf(part);  // must neither crash nor read past the end
    }
    Bytes huge = res;
    huge[0] = 0xFF;
    huge[1] = 0xFF;  // a length beyond the buffer
    EXPECT_EQ(TVersionInfo::FileVersionOf(huge), "");
}

TEST(VersionInfo, AFileWithoutResource) {
    test::TestPlatform tp;
    ASSERT_TRUE(tp.WriteFile(tp.TempDir() + "x.txt", "kein Programm"));
    TVersionInfo info(tp.system(), tp.TempDir() + "x.txt");
    EXPECT_FALSE(info.HasResource());
    EXPECT_EQ(info.FileVersion(), "");
}

// The version stands in one place; the texts built from it keep their exact bytes.
TEST(VersionInfo, TheProductVersionInTheTexts) {
    EXPECT_STREQ(kProductVersion, "4.80");
    EXPECT_STREQ(kMainWindowTitle, "Brevisto - Spezialversion - V4.80");
}

}  // namespace
}  // namespace bv
