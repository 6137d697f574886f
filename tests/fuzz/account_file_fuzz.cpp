// Account names and values from a backup's account keys go into a folder name and an XML
// account file: the folder name must never be a path or a name Windows refuses, and the XML
// text must never carry markup or a character XML forbids.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ansi.h"
#include "brevisto/transfer/account_file.h"

namespace {

bool IsDevice(std::string stem) {
    stem = bv::AnsiUpperCase(stem.substr(0, stem.find('.')));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                           "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                           "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const char* d : kDevices)
        if (stem == d) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string folder = bv::AccountFolderName(text);
    if (!folder.empty()) {
        for (unsigned char c : folder)
            if (c < 0x20 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) abort();
        if (folder.back() == '.' || folder.back() == ' ') abort();
        if (folder == "." || folder == "..") abort();
        if (IsDevice(folder)) abort();
    }

    const std::string xml = bv::XmlText(text);
    for (size_t i = 0; i < xml.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(xml[i]);
        if (c < 0x20 || c == '<' || c == '>') abort();
        if (c == '&' && xml.compare(i, 5, "&amp;") != 0 && xml.compare(i, 4, "&lt;") != 0 &&
            xml.compare(i, 4, "&gt;") != 0 && xml.compare(i, 2, "&#") != 0)
            abort();
    }
    bv::RegValue value;
    value.name = "Account Name";
    value.type = bv::RegType::Sz;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    (void)bv::AccountFileText({value});
    return 0;
}
