// Small stream helpers of the archive components: exact reads at a position, a buffered
// sequential reader for directory records, unique temporary files beside a target.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"

namespace bv::zip {

// 256 KiB per buffer: large enough to keep system calls rare, small enough that every
// operation stays far below its memory budget.
constexpr size_t kBufferSize = 256 * 1024;

bool ReadExact(FileStream& in, void* buffer, size_t count);
bool ReadAt(FileStream& in, uint64_t position, void* buffer, size_t count);

// Size and modification time of an existing file (not a folder).
bool StatFile(Files& files, const std::string& path, uint64_t& size, FileTime& lastWrite);

// Sequential reads through one fixed buffer, with positioning.
class BufferedIn {
public:
    explicit BufferedIn(FileStream& in, size_t bufferSize = 64 * 1024)
        : in_(in), buffer_(bufferSize) {}
    bool Seek(uint64_t position);
    bool Read(void* out, size_t count);
    uint64_t Position() const { return position_; }

private:
    FileStream& in_;
    std::vector<uint8_t> buffer_;
    size_t have_ = 0;
    size_t at_ = 0;
    uint64_t position_ = 0;      // logical position of the next byte handed out
    bool positioned_ = false;    // the stream stands at position_ + (have_ - at_)
};

// Creates a new, empty file with a unique name in `folder` (which ends with "\").
// Returns the open stream and its path, or nullptr.
std::unique_ptr<FileStream> CreateUniqueFile(Files& files, System& system,
                                             const std::string& folder, const std::string& prefix,
                                             std::string& path);

// Removes the temporary files of `prefix` that CreateUniqueFile made in `folder` and a killed
// run left behind. A file that is still open (another run writing it) cannot be deleted and
// stays. Returns how many were removed.
int RemoveStaleUniqueFiles(Files& files, const std::string& folder, const std::string& prefix);

// The copy of `target` that a replacing move on Windows 9x sets aside until the new file is
// in place (see Files::MoveFile of the Win32 backend).
std::string SetAsidePath(const std::string& target);
// A run killed between the two renames of such a move left the old file only under the
// set-aside name: it is put back. A set-aside copy beside a present target is out of date
// (the new file made it) and is removed.
void RecoverSetAside(Files& files, const std::string& target);

}  // namespace bv::zip
