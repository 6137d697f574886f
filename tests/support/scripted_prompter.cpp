#include "tests/support/test_platform.h"

namespace bv::test {

int ScriptedPrompter::MessageBox(const std::string& text, const std::string& caption,
                                 uint32_t style) {
    messages.push_back(RecordedMessage{text, caption, style});
    if (answers.empty()) return defaultAnswer;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

int ScriptedPrompter::TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style,
                                      uint32_t timeoutMs, int) {
    timeouts.push_back(timeoutMs);
    return MessageBox(text, caption, style);
}

void ScriptedPrompter::PlainMessage(const std::string& text) {
    messages.push_back(RecordedMessage{text, std::string(), 0xFFFFFFFFu});
}

bool ScriptedPrompter::SelectFolder(const std::string&, const std::string&, std::string& folder,
                                    bool) {
    if (folderAnswers.empty()) return false;
    std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (answer.empty()) return false;
    folder = answer;
    return true;
}

std::string ScriptedPrompter::SelectFolderFromComputer(const std::string&, const std::string&) {
    if (folderAnswers.empty()) return std::string();
    std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

bool ScriptedPrompter::SaveFileName(const std::string& title, const std::string& filter,
                                    const std::string& defaultExt,
                                    const std::string& initialFolder, std::string& chosenPath) {
    saveRequests.push_back(SaveRequest{title, filter, defaultExt, initialFolder});
    if (saveAnswers.empty()) return false;
    chosenPath = saveAnswers.front();
    saveAnswers.pop_front();
    return true;
}

bool TestPlatform::WriteFile(const std::string& path, const std::string& content) {
    auto stream = files().Open(path, OpenMode::CreateAlways);
    if (!stream) return false;
    bool ok = stream->Write(content.data(), content.size());
    return stream->Close() && ok;
}

std::string TestPlatform::ReadFile(const std::string& path) {
    auto stream = files().Open(path, OpenMode::Read);
    std::string content;
    if (!stream) return content;
    char buf[65536];
    while (size_t n = stream->Read(buf, sizeof buf)) content.append(buf, n);
    return content;
}

std::string TestPlatform::FixturePath(const std::string& relative) {
    std::string path = "Z:" BREVISTO_FIXTURES;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path + "\\" + relative;
}

}  // namespace bv::test
