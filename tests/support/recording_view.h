// A BackupView that remembers what the run showed.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "brevisto/backup/backup_view.h"

namespace bv::test {

class RecordingView : public BackupView {
public:
    struct Status {
        std::string text;
        StatusColor color;
    };
    std::vector<Status> statuses;
    std::map<BackupGroup, std::vector<int>> icons;  // every image set, in order
    std::map<BackupGroup, bool> shown;
    std::vector<std::string> report;
    int totalProgress = -1;

    void SetStatus(const std::string& text, StatusColor color) override {
        statuses.push_back(Status{text, color});
    }
    void SetIcon(BackupGroup group, int image) override { icons[group].push_back(image); }
    void ShowGroup(BackupGroup group, bool show) override { shown[group] = show; }
    void SetTotalProgress(int percent) override { totalProgress = percent; }
    void SetFileProgress(int) override {}
    void AppendReport(const std::string& line) override { report.push_back(line); }
    void ClearReport() override { report.clear(); }

    int LastIcon(BackupGroup group) const {
        auto it = icons.find(group);
        return it == icons.end() || it->second.empty() ? -100 : it->second.back();
    }
    bool ReportHas(const std::string& line) const {
        for (const std::string& l : report)
            if (l == line) return true;
        return false;
    }
};

}  // namespace bv::test
