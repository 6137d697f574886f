#include "brevisto/shell/about_box.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "brevisto/support/version_info.h"

namespace bv {

const char* const kAboutCaption = "Info";
const char* const kAboutProductName = "Brevisto";
const char* const kAboutCredits =
    "Datenkompression: zlib (www.zlib.net)\r\n"
    "Verschlüsselung: traditionelle ZIP-Verschlüsselung\r\n"
    "Programmierung und Gestaltung: Quillmar Software";

namespace {

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string VersionLabel(const std::string& versionText) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = versionText.find('.', start);
        parts.push_back(versionText.substr(start, dot == std::string::npos ? dot : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    bool fourNumbers = parts.size() == 4;
    for (const std::string& p : parts) fourNumbers = fourNumbers && AllDigits(p);
    // Only a.b.c.d has a build number to show; any other text is shown as it is.
    if (!fourNumbers) return "Version " + versionText;
    std::string build = parts[3];
    size_t firstNonZero = build.find_first_not_of('0');
    build = firstNonZero == std::string::npos ? "0" : build.substr(firstNonZero);
    if (build.size() < 4) build.insert(0, 4 - build.size(), '0');
    return "Version " + parts[0] + "." + parts[1] + " [" + parts[0] + "." + parts[1] + "." +
           parts[2] + "." + build + "]";
}

std::string ProgramVersionLabel(System& system) {
    return VersionLabel(TVersionInfo(system, system.ProgramFile()).FileVersion());
}

std::string BuildStampText(const char* compilerDate, const char* compilerTime) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!compilerDate || !compilerTime || std::strlen(compilerDate) != 11 ||
        std::strlen(compilerTime) != 8)
        return std::string();
    int month = 0;
    for (int m = 0; m < 12; ++m)
        if (std::strncmp(compilerDate, kMonths[m], 3) == 0) month = m + 1;
    int day = 0, year = 0;
    if (month == 0 || std::sscanf(compilerDate + 4, "%d %d", &day, &year) != 2) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %.8s", day, month, year, compilerTime);
    return text;
}

std::string BuildDateLabel() { return "vom " + BuildStampText(__DATE__, __TIME__); }

}  // namespace bv
