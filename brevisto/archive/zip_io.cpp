#include "brevisto/archive/zip_io.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/path.h"

namespace bv::zip {

bool ReadExact(FileStream& in, void* buffer, size_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const size_t got = in.Read(p, count);
        if (got == 0) return false;
        p += got;
        count -= got;
    }
    return true;
}

bool ReadAt(FileStream& in, uint64_t position, void* buffer, size_t count) {
    return in.Seek(position) && ReadExact(in, buffer, count);
}

bool StatFile(Files& files, const std::string& path, uint64_t& size, FileTime& lastWrite) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
    for (const FindEntry& e : files.Find(path)) {
        if (e.IsDirectory()) continue;
        size = e.size;
        lastWrite = e.lastWriteTime;
        return true;
    }
    return false;
}

bool BufferedIn::Seek(uint64_t position) {
    // A position inside the buffered bytes needs no system call.
    const uint64_t bufferStart = position_ - at_;
    if (positioned_ && position >= bufferStart && position <= bufferStart + have_) {
        at_ = static_cast<size_t>(position - bufferStart);
        position_ = position;
        return true;
    }
    have_ = at_ = 0;
    position_ = position;
    positioned_ = in_.Seek(position);
    return positioned_;
}

bool BufferedIn::Read(void* out, size_t count) {
    if (!positioned_) return false;
    auto* p = static_cast<uint8_t*>(out);
    while (count > 0) {
        if (at_ == have_) {
            have_ = in_.Read(buffer_.data(), buffer_.size());
            at_ = 0;
            if (have_ == 0) return false;
        }
        const size_t n = std::min(count, have_ - at_);
        std::memcpy(p, buffer_.data() + at_, n);
        at_ += n;
        p += n;
        count -= n;
        position_ += n;
    }
    return true;
}

std::unique_ptr<FileStream> CreateUniqueFile(Files& files, System& system,
                                             const std::string& folder, const std::string& prefix,
                                             std::string& path) {
    static uint32_t counter = 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        uint32_t salt = 0;
        if (!system.RandomBytes(&salt, sizeof salt)) salt = 0x9E3779B9u * (counter + 1);
        char name[32];
        std::snprintf(name, sizeof name, "%s%06X.tmp", prefix.c_str(),
                      static_cast<unsigned>((salt ^ ++counter) & 0xFFFFFF));
        path = folder + name;
        long error = 0;
        auto stream = files.Open(path, OpenMode::CreateNew, &error);
        if (stream) return stream;
        // Only a name clash is worth another name; anything else will not get better.
        if (error != WinError::FileExists && error != WinError::AlreadyExists) break;
    }
    path.clear();
    return nullptr;
}

namespace {

// Only names of CreateUniqueFile's form: a user's own "~bz...tmp" file is none of ours.
bool IsUniqueFileName(const std::string& name, const std::string& prefix) {
    constexpr size_t kDigits = 6;
    if (name.size() != prefix.size() + kDigits + 4) return false;
    if (!WildcardMatch(prefix + "*.tmp", name)) return false;
    for (size_t i = prefix.size(); i < prefix.size() + kDigits; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

}  // namespace

int RemoveStaleUniqueFiles(Files& files, const std::string& folder, const std::string& prefix) {
    int removed = 0;
    for (const FindEntry& e : files.Find(folder + prefix + "*.tmp")) {
        if (e.IsDirectory() || e.IsLink() || !IsUniqueFileName(e.name, prefix)) continue;
        // A file in use is refused by DeleteFile: that run is still going and keeps it.
        if (files.DeleteFile(folder + e.name)) ++removed;
    }
    return removed;
}

std::string SetAsidePath(const std::string& target) { return target + ".~bv"; }

void RecoverSetAside(Files& files, const std::string& target) {
    const std::string aside = SetAsidePath(target);
    const uint32_t asideAttrs = files.GetAttributes(aside);
    if (asideAttrs == FileAttr::Invalid || (asideAttrs & FileAttr::Directory)) return;
    // Nothing to report if either fails: the next run tries again, and the archive's own
    // absence is what the caller sees.
    if (files.GetAttributes(target) == FileAttr::Invalid)
        (void)files.MoveFile(aside, target, false);
    else
        (void)files.DeleteFile(aside);
}

}  // namespace bv::zip
