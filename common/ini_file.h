// Ini-file access for both programs: where the file lies, a current section, an open state
// that prepares the file (read-only attribute removed, creatability checked) and an error
// code. A missing entry reads as the text "INIERROR".
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/profile.h"

namespace bv {

enum TIniLocation { loWinDir = 0, loProgDir = 1, loUser = 2, loDefUser = 3 };

extern const char* const IniErrorText;  // "INIERROR"

// The name of an error code ("NoError", "FileNotFound", ...).
std::string IniErrorName(int code);

class TTheIniFile {
public:
    explicit TTheIniFile(Platform& platform);
    ~TTheIniFile();

    const std::string& IniFileName() const { return fileName_; }
    void SetIniFileName(const std::string& name);
    TIniLocation IniLocation() const { return location_; }
    void SetIniLocation(TIniLocation location) { location_ = location; }
    const std::string& DefFilePath() const { return defFilePath_; }
    void SetDefFilePath(const std::string& path);
    const std::string& Section() const { return section_; }
    void SetSection(const std::string& section) { section_ = section; }
    bool Open() const { return open_; }
    void SetOpen(bool open);
    int ErrorCode() const { return errorCode_; }
    std::string ErrorCodeStr() const;
    // The file the entries go to (after preparing).
    std::string FullPath() const;

    std::string ReadEntry(const std::string& key);
    bool ReadFlag(const std::string& key);
    void WriteEntry(const std::string& key, const std::string& value);
    void WriteFlag(const std::string& key, bool value);
    void ReadKeys(std::vector<std::string>& list);
    void ReadKeyValues(std::vector<std::string>& list);
    bool EraseFile();

private:
    void Prepare();
    void Release();
    // Shows the message for a missing section or file name; true when entries may proceed.
    bool Ready();

    Platform& p_;
    std::unique_ptr<PrivateProfile> profile_;
    std::string fileName_;
    TIniLocation location_ = loWinDir;
    std::string defFilePath_;
    std::string section_;
    bool open_ = false;
    bool prepared_ = false;  // a file object exists
    std::string preparedPath_;
    int errorCode_ = 0;
    // Determined once, when the component is created.
    std::string windowsDir_;
    std::string programDirShort_;
};

}  // namespace bv
