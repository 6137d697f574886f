// A WizardView without a window: keeps what the model set, answers its modal dialogs from
// the test's script and counts the calls that have no state of their own.
#pragma once
#include <array>
#include <map>
#include <string>
#include <vector>

#include "brevisto/wizard/wizard_model.h"

namespace bv::test {

class RecordingWizardView : public WizardView {
public:
    // BackupView
    struct Status {
        std::string text;
        StatusColor color;
    };
    std::vector<Status> statuses;
    std::vector<std::string> report;
    std::map<BackupGroup, int> icons;  // the last image of each group
    int totalProgress = -1;

    void SetStatus(const std::string& text, StatusColor color) override { statuses.push_back({text, color}); }
    void SetIcon(BackupGroup group, int image) override { icons[group] = image; }
    void ShowGroup(BackupGroup, bool) override {}
    void SetTotalProgress(int percent) override { totalProgress = percent; }
    void SetFileProgress(int) override {}
    void AppendReport(const std::string& line) override { report.push_back(line); }
    void ClearReport() override { report.clear(); }
    bool ReportHas(const std::string& line) const {
        for (const std::string& l : report)
            if (l == line) return true;
        return false;
    }

    // The frame and the buttons.
    std::string caption;
    bool updatePicture = false;
    int sidePictureCleared = 0;
    WizardPage page = wpIdentity;
    std::vector<WizardPage> pagesShown;
    bool nextEnabled = true;
    std::string nextCaption;
    bool backEnabled = true;
    std::string cancelCaption;
    bool cancelEnabled = true;
    bool printShown = false;
    bool finishShown = false;
    bool finishEnabled = false;
    bool finishHint = true;
    std::string endText;
    bool endRed = false;

    void SetCaption(const std::string& text) override { caption = text; }
    void ShowUpdatePicture(bool shown) override { updatePicture = shown; }
    void ClearSidePicture() override { ++sidePictureCleared; }
    void ShowPage(WizardPage shown) override {
        page = shown;
        pagesShown.push_back(shown);
    }
    void SetNextEnabled(bool enabled) override { nextEnabled = enabled; }
    void SetNextCaption(const std::string& text) override { nextCaption = text; }
    void SetBackEnabled(bool enabled) override { backEnabled = enabled; }
    void SetCancelCaption(const std::string& text) override { cancelCaption = text; }
    void SetCancelEnabled(bool state) override { cancelEnabled = state; }
    void ShowPrintButton(bool shown) override { printShown = shown; }
    void ShowFinishButton(bool shown) override { finishShown = shown; }
    void SetFinishEnabled(bool enabled) override { finishEnabled = enabled; }
    void SetFinishHint(bool shown) override { finishHint = shown; }
    void SetEndSelectionText(const std::string& text, bool red) override {
        endText = text;
        endRed = red;
    }

    // Page "Identitaet".
    std::vector<std::string> identityNames;
    int selected = -1;
    std::string identityKeyText;
    std::map<WizardField, std::string> fields;
    std::vector<WizardField> focused;

    void SetIdentityNames(const std::vector<std::string>& names) override {
        identityNames = names;
        selected = -1;
    }
    int SelectedIdentity() override { return selected; }
    void SelectIdentity(int index) override { selected = index; }
    void SetIdentityKeyText(const std::string& text) override { identityKeyText = text; }
    std::string FieldText(WizardField field) override { return fields[field]; }
    void SetFieldText(WizardField field, const std::string& text) override { fields[field] = text; }
    void FocusField(WizardField field) override { focused.push_back(field); }

    // Page "Mails".
    int treeLoadsBegun = 0;
    int treeLoadsEnded = 0;
    size_t treeNodesShown = 0;
    std::vector<bool> treeChecks;  // as last refreshed
    std::string folderCountText;

    void BeginTreeLoad() override { ++treeLoadsBegun; }
    void EndTreeLoad(const TMailFolderTree& tree) override {
        ++treeLoadsEnded;
        treeNodesShown = tree.Count();
    }
    void RefreshTreeChecks(const TMailFolderTree& tree) override {
        treeChecks.clear();
        for (size_t i = 0; i < tree.Count(); ++i) treeChecks.push_back(tree.Checked(i));
    }
    void SetFolderCountText(const std::string& text) override { folderCountText = text; }

    // Page "Others": every box enabled unless a test says otherwise.
    std::array<bool, kSaveOptionCount> checked{};
    std::array<bool, kSaveOptionCount> enabled = [] {
        std::array<bool, kSaveOptionCount> all{};
        all.fill(true);
        return all;
    }();
    bool allFoldersForAutomation = false;
    bool AllFoldersForAutomation() override { return allFoldersForAutomation; }

    bool OptionChecked(int option) override { return checked.at(static_cast<size_t>(option)); }
    void SetOptionChecked(int option, bool state) override { checked.at(static_cast<size_t>(option)) = state; }
    bool OptionEnabled(int option) override { return enabled.at(static_cast<size_t>(option)); }

    // Page "Backup".
    std::string identityNameText;
    std::string mailCountText;
    void SetIdentityNameText(const std::string& text) override { identityNameText = text; }
    void SetMailCountText(const std::string& text) override { mailCountText = text; }

    // Modal dialogs: scripted answers, every call recorded.
    std::vector<FreeSpaceNotice> freeSpaceNotices;
    bool preferencesAnswer = false;
    PreferencesValues preferencesResult;  // handed back on OK
    int preferencesRuns = 0;
    bool passwordAnswer = false;
    std::string passwordEntered;  // handed back on OK
    int passwordRuns = 0;
    NoticeAnswer noticeAnswer{true, false};
    std::vector<std::string> noticeTexts;
    std::vector<int> helpContexts;

    void ShowFreeSpaceNotice(const FreeSpaceNotice& notice) override { freeSpaceNotices.push_back(notice); }
    bool RunPreferences(PreferencesValues& values) override {
        ++preferencesRuns;
        if (preferencesAnswer) values = preferencesResult;
        return preferencesAnswer;
    }
    int oePreferencesRuns = 0;
    void RunOutlookExpressPreferences() override { ++oePreferencesRuns; }
    bool RunPasswordDialog(std::string& password) override {
        ++passwordRuns;
        if (passwordAnswer) password = passwordEntered;
        return passwordAnswer;
    }
    NoticeAnswer RunNoticeDialog(const std::string& text) override {
        noticeTexts.push_back(text);
        return noticeAnswer;
    }
    void ShowHelp(int context) override { helpContexts.push_back(context); }

    // The rest of the window.
    bool busy = false;
    int broughtToForeground = 0;
    bool timerRunning = false;
    int timerStarts = 0;
    int timerStops = 0;
    int minimized = 0;
    int closed = 0;

    void SetBusyCursor(bool state) override { busy = state; }
    void BringToForeground() override { ++broughtToForeground; }
    void StartTimer() override {
        timerRunning = true;
        ++timerStarts;
    }
    void StopTimer() override {
        timerRunning = false;
        ++timerStops;
    }
    void MinimizeApp() override { ++minimized; }
    void CloseWizard() override { ++closed; }
};

}  // namespace bv::test
