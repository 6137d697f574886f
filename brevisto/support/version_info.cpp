#include "brevisto/support/version_info.h"

#include <cstdio>

#include "platform/ansi.h"

namespace bv {
namespace {

// A block of the version resource: wLength, wValueLength, [wType,] key, value, children.
// Windows NT stores keys and texts as UTF-16 (with wType); Windows 9x as ANSI (without).
struct Block {
    size_t start = 0, end = 0;  // the block's bytes
    std::string key;
    size_t valueStart = 0;
    size_t valueLength = 0;  // in bytes for binary values, characters for texts
    bool text = false;
    size_t childrenStart = 0;
};

class VersionResource {
public:
    explicit VersionResource(const Bytes& data) : d_(data) {
        // The root key "VS_VERSION_INFO" tells the layout.
        wide_ = d_.size() > 8 && d_[6] == 'V' && d_[7] == 0;
    }

    bool Parse(size_t at, size_t limit, Block& b) const {
        if (at + 4 > limit || limit > d_.size()) return false;
        size_t length = Word(at);
        if (length < 4 || at + length > limit) return false;
        b.start = at;
        b.end = at + length;
        b.valueLength = Word(at + 2);
        size_t pos = at + 4;
        if (wide_) {
            b.text = Word(pos) == 1;
            pos += 2;
            std::string key;
            while (pos + 2 <= b.end && Word(pos) != 0) {
                uint16_t c = Word(pos);
                key += c < 256 ? static_cast<char>(c) : '?';
                pos += 2;
            }
            pos += 2;
            b.key = key;
        } else {
            std::string key;
            while (pos < b.end && d_[pos] != 0) key += static_cast<char>(d_[pos++]);
            ++pos;
            b.key = key;
            b.text = false;
        }
        pos = Align(pos);
        b.valueStart = pos;
        size_t valueBytes = wide_ && b.text ? b.valueLength * 2 : b.valueLength;
        if (b.valueStart + valueBytes > b.end) valueBytes = b.end - b.valueStart;
        b.childrenStart = Align(b.valueStart + valueBytes);
        return true;
    }

    bool Child(const Block& parent, const std::string& key, Block& out) const {
        for (size_t at = parent.childrenStart; at + 4 <= parent.end;) {
            Block c;
            if (!Parse(at, parent.end, c)) return false;
            if (SameText(c.key, key)) {
                out = c;
                return true;
            }
            at = Align(c.end);
        }
        return false;
    }

    std::string Text(const Block& b) const {
        std::string s;
        if (wide_) {
            for (size_t p = b.valueStart; p + 2 <= b.end && Word(p) != 0; p += 2) {
                uint16_t c = Word(p);
                s += c < 256 ? static_cast<char>(c) : '?';
            }
        } else {
            for (size_t p = b.valueStart; p < b.end && d_[p] != 0; ++p) s += static_cast<char>(d_[p]);
        }
        return s;
    }

    uint16_t Word(size_t at) const {
        return at + 2 <= d_.size() ? static_cast<uint16_t>(d_[at] | (d_[at + 1] << 8)) : 0;
    }
    uint32_t Dword(size_t at) const {
        return static_cast<uint32_t>(Word(at)) | (static_cast<uint32_t>(Word(at + 2)) << 16);
    }

private:
    static size_t Align(size_t p) { return (p + 3) & ~static_cast<size_t>(3); }
    const Bytes& d_;
    bool wide_ = false;
};

}  // namespace

TVersionInfo::TVersionInfo(System& system, const std::string& fileName) : fileName_(fileName) {
    read_ = system.ReadVersionResource(fileName, resource_) && !resource_.empty();
    if (!read_) resource_.clear();
}

std::string TVersionInfo::FileVersion() const {
    return read_ ? FileVersionOf(resource_) : std::string();
}

std::string TVersionInfo::FileVersionOf(const Bytes& resource) {
    VersionResource res(resource);
    Block root;
    if (!res.Parse(0, resource.size(), root)) return std::string();

    Block varInfo, translation, stringInfo, table, entry;
    if (res.Child(root, "VarFileInfo", varInfo) && res.Child(varInfo, "Translation", translation) &&
        translation.valueLength >= 4 && translation.valueStart + 4 <= translation.end) {
        char key[16];
        std::snprintf(key, sizeof key, "%04X%04X", res.Word(translation.valueStart),
                      res.Word(translation.valueStart + 2));
        if (res.Child(root, "StringFileInfo", stringInfo) && res.Child(stringInfo, key, table) &&
            res.Child(table, "FileVersion", entry)) {
            std::string text = res.Text(entry);
            if (!text.empty()) return text;
        }
    }
    // VS_FIXEDFILEINFO: signature 0xFEEF04BD, then the version words.
    if (root.valueLength < 52 || root.valueStart + 52 > root.end ||
        res.Dword(root.valueStart) != 0xFEEF04BDu)
        return std::string();
    uint32_t ms = res.Dword(root.valueStart + 8), ls = res.Dword(root.valueStart + 12);
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
    return text;
}

}  // namespace bv
