// "Brevisto.log" in the backup folder: a short entry per run, appended run after run.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

enum class LogPart { Header = 1, Status = 2, Cancel = 3 };

struct LogEntry {
    std::string identityName;
    bool unattended = false;
    std::string archivePath;
    bool cancelled = false;
    bool runOk = true;
};

extern const char* const kLogSeparator;  // "--------------------------"

// Appends one part; a failure shows "LogDatei konnte nicht auf Laufwerk ... angelegt werden!"
// and the run goes on. Returns whether the part was written.
bool WriteLogEntry(Platform& platform, const std::string& backupFolder, LogPart part,
                   const LogEntry& entry);

}  // namespace bv
