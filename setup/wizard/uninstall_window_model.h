// The uninstaller window without its window: its texts, its four steps and the one removal
// pass it starts.
#pragma once
#include <string>

#include "platform/platform.h"
#include "setup/install/system_routines.h"
#include "setup/install/uninstall_info.h"
#include "setup/install/uninstall_run.h"

namespace bv {

constexpr int kUninstallStepCount = 4;
const char* UninstallStepLabel(int step);

// The header never changes: the window only removes.
extern const char kUninstallHeaderTitle[];
extern const char kUninstallHeaderInfo[];

class UninstallWindowModel {
public:
    // `argument` is the first command-line argument ("/UnInst:" + the information file).
    UninstallWindowModel(Platform& p, const SetupFolders& folders, const std::string& argument);

    // Reads the information file; a missing one leaves the lists empty.
    void Create();

    const std::string& infoPath() const { return infoPath_; }
    const UninstallData& data() const { return data_; }
    std::string text() const;   // the explanation with the product's name
    std::string title() const;  // the application's title while the window shows

    // "Deinstallation durchführen": true when the window is to close afterwards.
    bool Perform(UninstallView& view, const UninstallOptions& options = UninstallOptions());
    const UninstallResult& result() const { return result_; }

private:
    Platform& p_;
    SetupFolders folders_;
    std::string infoPath_;
    UninstallData data_;
    UninstallResult result_;
};

}  // namespace bv
