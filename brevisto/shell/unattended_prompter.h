// The questions of an unattended run: nobody is at the machine, so nothing may wait for ever.
// Retry questions are answered Cancel at once; every other box is still shown but closes by
// itself after a minute. Each text is handed to the run's report as well.
#pragma once
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/prompter.h"

namespace bv {

class UnattendedPrompter : public Prompter {
public:
    static constexpr uint32_t kTimeoutMs = 60000;
    using Note = std::function<void(const std::string& text)>;

    UnattendedPrompter(Prompter& inner, Note note) : inner_(inner), note_(std::move(note)) {}

    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
    void PlainMessage(const std::string& text) override;
    int TimedMessageBox(const std::string& text, const std::string& caption, uint32_t style,
                        uint32_t timeoutMs, int timeoutAnswer) override;
    // No folder dialog in an unattended run.
    bool SelectFolder(const std::string&, const std::string&, std::string&, bool) override { return false; }
    std::string SelectFolderFromComputer(const std::string&, const std::string&) override { return {}; }

private:
    Prompter& inner_;
    Note note_;
};

// The platform of an unattended run: the same system, with questions that never wait.
class UnattendedPlatform {
public:
    UnattendedPlatform(Platform& base, UnattendedPrompter::Note note)
        : prompter_(base.prompter, std::move(note)),
          platform_{base.registry, base.files, base.shell, base.system, prompter_, base.pump} {}
    UnattendedPlatform(const UnattendedPlatform&) = delete;
    UnattendedPlatform& operator=(const UnattendedPlatform&) = delete;

    Platform& platform() { return platform_; }

private:
    UnattendedPrompter prompter_;
    Platform platform_;
};

// What a box that closes by itself counts as: Cancel, No or OK (Abort for abort/retry/ignore).
int TimeoutAnswer(uint32_t style);

// A box's text as report lines: its own line breaks become the report's.
std::string ReportTextOfMessage(const std::string& caption, const std::string& text);

}  // namespace bv
