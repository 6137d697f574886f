#include <algorithm>

#include "platform/ansi.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace bv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::string raw;
    LineKind kind = LineKind::Other;
    std::string name;   // section or key name
    std::string value;  // key value, trimmed
};

Line Parse(const std::string& raw) {
    Line line;
    line.raw = raw;
    std::string text = Trim(raw);
    if (text.empty() || text[0] == ';') return line;
    if (text[0] == '[') {
        size_t close = text.find(']');
        line.kind = LineKind::Section;
        line.name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    size_t eq = text.find('=');
    line.kind = LineKind::Key;
    line.name = Trim(text.substr(0, eq));
    line.value = eq == std::string::npos ? std::string() : Trim(text.substr(eq + 1));
    if (line.name.empty()) line.kind = LineKind::Other;
    return line;
}

class PortableProfile : public PrivateProfile {
public:
    explicit PortableProfile(Files& files) : files_(files) {}

    std::string ReadString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        std::vector<Line> lines;
        if (Load(file, lines)) {
            const Line* found = FindKey(lines, section, key, nullptr);
            if (found) return Unquote(found->value);
        }
        // As the system does, trailing blanks of the default are dropped.
        std::string def = defaultValue;
        while (!def.empty() && IsBlank(def.back())) def.pop_back();
        return def;
    }

    bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override {
        std::vector<Line> lines;
        Load(file, lines);
        std::string newLine = key + "=" + value;
        size_t position = 0;
        bool sectionFound = false;
        if (Line* found = FindKey(lines, section, key, &position)) {
            *found = Parse(newLine);
        } else if (SectionEnd(lines, section, position, sectionFound), sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(position), Parse(newLine));
        } else {
            if (!lines.empty() && !Trim(lines.back().raw).empty()) lines.push_back(Parse(""));
            lines.push_back(Parse("[" + section + "]"));
            lines.push_back(Parse(newLine));
        }
        return Save(file, lines);
    }

    std::vector<std::string> ReadKeys(const std::string& file, const std::string& section) override {
        std::vector<std::string> keys;
        std::vector<Line> lines;
        if (!Load(file, lines)) return keys;
        bool inSection = false;
        for (const Line& line : lines) {
            if (line.kind == LineKind::Section) {
                if (inSection) break;  // only the first section of that name counts
                inSection = SameText(line.name, section);
            } else if (inSection && line.kind == LineKind::Key) {
                keys.push_back(line.name);
            }
        }
        return keys;
    }

private:
    static std::string Unquote(const std::string& value) {
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            return value.substr(1, value.size() - 2);
        return value;
    }

    // The first matching key of the first matching section.
    static Line* FindKey(std::vector<Line>& lines, const std::string& section,
                         const std::string& key, size_t* index) {
        bool inSection = false, seen = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            Line& line = lines[i];
            if (line.kind == LineKind::Section) {
                if (seen) return nullptr;
                inSection = SameText(line.name, section);
                seen = inSection;
            } else if (inSection && line.kind == LineKind::Key && SameText(line.name, key)) {
                if (index) *index = i;
                return &line;
            }
        }
        return nullptr;
    }

    // Where a new key of the section goes: after its last non-blank line.
    static void SectionEnd(const std::vector<Line>& lines, const std::string& section,
                           size_t& position, bool& found) {
        found = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].kind != LineKind::Section || !SameText(lines[i].name, section)) continue;
            found = true;
            position = i + 1;
            for (size_t j = i + 1; j < lines.size() && lines[j].kind != LineKind::Section; ++j)
                if (!Trim(lines[j].raw).empty()) position = j + 1;
            return;
        }
    }

    bool Load(const std::string& file, std::vector<Line>& lines) {
        auto stream = files_.Open(file, OpenMode::Read);
        if (!stream) return false;
        std::string content;
        char buf[8192];
        while (size_t n = stream->Read(buf, sizeof buf)) content.append(buf, n);
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            std::string raw = content.substr(start, end - start);
            if (!raw.empty() && raw.back() == '\r') raw.pop_back();
            lines.push_back(Parse(raw));
            start = end + 1;
        }
        return true;
    }

    bool Save(const std::string& file, const std::vector<Line>& lines) {
        std::string content;
        for (const Line& line : lines) content += line.raw + "\r\n";
        auto stream = files_.Open(file, OpenMode::CreateAlways);
        if (!stream) return false;
        bool ok = stream->Write(content.data(), content.size());
        return stream->Close() && ok;
    }

    Files& files_;
};

}  // namespace

std::unique_ptr<PrivateProfile> CreatePortableProfile(Files& files) {
    return std::make_unique<PortableProfile>(files);
}

}  // namespace bv
