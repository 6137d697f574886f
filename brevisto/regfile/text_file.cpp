#include "brevisto/regfile/text_file.h"

#include "platform/system.h"

namespace bv {

EFileReadError::EFileReadError(const std::string& fileName, const std::string& reason)
    : std::runtime_error("Cannot open file \"" + fileName + "\". " + reason) {}

std::vector<std::string> SplitTextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

std::vector<std::string> ReadTextLines(Files& files, System& system, const std::string& path) {
    long error = 0;
    auto stream = files.Open(path, OpenMode::Read, &error);
    if (!stream) throw EFileReadError(path, TrimBlanks(system.ErrorText(error)));
    std::string text;
    char chunk[65536];
    for (;;) {
        const size_t got = stream->Read(chunk, sizeof chunk);
        if (got == 0) break;
        text.append(chunk, got);
    }
    const bool complete = text.size() == stream->Size();
    (void)stream->Close();  // read only
    if (!complete) throw EFileReadError(path, "The file could not be read completely.");
    return SplitTextLines(text);
}

bool WriteTextLines(Files& files, const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    auto stream = files.Open(path, OpenMode::CreateAlways);
    if (!stream) return false;
    const bool written = stream->Write(text.data(), text.size());
    const bool closed = stream->Close();
    if (written && closed) return true;
    (void)files.DeleteFile(path);  // the caller hears of the failure either way
    return false;
}

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

}  // namespace bv
