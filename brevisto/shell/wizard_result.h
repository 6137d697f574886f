// How the backup wizard ended, for the main window and the program's exit code.
#pragma once

namespace bv {

struct WizardResult {
    bool endApplication = false;  // the program ends after the wizard
    bool runStarted = false;
    bool succeeded = false;       // a run that saved and tested everything
    bool oeClosedByProgram = false;  // the wizard closed an Outlook Express started meanwhile
};

}  // namespace bv
