#include "setup/wizard/uninstall_window_model.h"

#include <algorithm>

namespace bv {
namespace {

const char* const kSteps[kUninstallStepCount] = {
    "Programmdateien entfernen",
    "Datendateien entfernen",
    "Startmenü und Desktop aktualisieren",
    "Entfernen der Registrierungsschlüssel",
};

std::string FillAll(std::string text, const std::string& value) {
    for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + value.size()))
        text.replace(at, 2, value);
    return text;
}

}  // namespace

const char kUninstallHeaderTitle[] = "Lizenzvereinbarung";
const char kUninstallHeaderInfo[] = "Bitte lesen Sie die nachfolgende Lizenverin";

const char* UninstallStepLabel(int step) {
    return kSteps[std::clamp(step, 0, kUninstallStepCount - 1)];
}

UninstallWindowModel::UninstallWindowModel(Platform& p, const SetupFolders& folders, const std::string& argument)
    : p_(p), folders_(folders), infoPath_(UninstallInfoArgument(argument)) {}

void UninstallWindowModel::Create() {
    data_ = UninstallData();
    if (!infoPath_.empty()) (void)ReadUninstallInfo(p_, infoPath_, data_);
}

std::string UninstallWindowModel::text() const {
    return FillAll(
        "Es soll das Produkt %s deinstalliert werden, klicken Sie auf \"Deinstallation durchführen\" um die "
        "Deinstallation zu beginnen. Wählen Sie \"Abbrechen\", um %s nicht zu deinstallieren.",
        data_.applicationName);
}

std::string UninstallWindowModel::title() const {
    return data_.applicationName + " Deinstallation";
}

bool UninstallWindowModel::Perform(UninstallView& view, const UninstallOptions& options) {
    UninstallRun run(p_, folders_, data_, infoPath_, view, options);
    result_ = run.Run();
    return result_.outcome == UninstallOutcome::Completed;
}

}  // namespace bv
