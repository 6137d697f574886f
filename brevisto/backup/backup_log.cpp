#include "brevisto/backup/backup_log.h"

#include "brevisto/support/product_version.h"
#include "common/msg_box.h"
#include "platform/path.h"

namespace bv {

const char* const kLogSeparator = "--------------------------";

namespace {

std::string PartText(Platform& platform, LogPart part, const LogEntry& e) {
    const std::string crlf = "\r\n";
    const std::string sep = std::string(kLogSeparator) + crlf;
    switch (part) {
        case LogPart::Header:
            return sep + "Version   : V" + kProductVersion + crlf +
                   "Datum     : " + platform.system.DateTimeText(platform.system.LocalNow()) + crlf +
                   "Identität : " + e.identityName + crlf +
                   (e.unattended ? "Sicherung : automatisiert" : "Sicherung : manuell") + crlf +
                   "Backup    : " + e.archivePath + crlf;
        case LogPart::Status:
            return std::string(e.cancelled ? "Status    : ABGEBROCHEN"
                               : e.runOk   ? "Status    : OK"
                                           : "Status    : FEHLER") +
                   crlf + sep;
        case LogPart::Cancel:
            return "Status    : ABGEBROCHEN" + crlf + sep;
    }
    return std::string();
}

}  // namespace

bool WriteLogEntry(Platform& platform, const std::string& backupFolder, LogPart part,
                   const LogEntry& entry) {
    const std::string path = IncludeTrailingBackslash(backupFolder) + "Brevisto.log";
    std::string text;
    std::unique_ptr<FileStream> log = platform.files.Open(path, OpenMode::ReadWrite);
    bool ok = true;
    if (log) {
        ok = log->Seek(log->Size());
    } else {
        log = platform.files.Open(path, OpenMode::CreateNew);
        text = std::string(kLogSeparator) + "\r\n" + "Logdatei für Sicherungen der Software Brevisto\r\n" +
               kLogSeparator + "\r\n\r\n";
    }
    if (log) {
        text += PartText(platform, part, entry);
        ok = log->Write(text.data(), text.size()) && ok;
        ok = log->Close() && ok;
    } else {
        ok = false;
    }
    if (!ok)
        ShowMsgBox(platform.prompter,
                   "LogDatei konnte nicht auf Laufwerk " + ExtractFileDrive(backupFolder) +
                       " angelegt werden!",
                   "Brevisto", mkError, bsOk);
    return ok;
}

}  // namespace bv
