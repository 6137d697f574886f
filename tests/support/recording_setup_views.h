// Views of the install and uninstall runs that remember what the runs showed.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "setup/install/install_run.h"
#include "setup/install/uninstall_run.h"

namespace bv::test {

class RecordingInstallView : public InstallView {
public:
    std::vector<std::string> statuses;
    std::vector<int> percents;
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetPercent(int percent) override { percents.push_back(percent); }
};

class RecordingUninstallView : public UninstallView {
public:
    bool panelShown = false;
    std::vector<bool> buttons;  // every EnableButtons, in order
    std::vector<int> running;
    std::map<int, StepMark> marks;
    std::vector<int> disabled;
    void ShowStatusPanel() override { panelShown = true; }
    void EnableButtons(bool enable) override { buttons.push_back(enable); }
    void SetRunningStep(int step) override { running.push_back(step); }
    void MarkStep(int step, StepMark mark) override { marks[step] = mark; }
    void DisableStep(int step) override { disabled.push_back(step); }
};

}  // namespace bv::test
