#include "tests/support/faulty_files.h"

namespace bv::test {
namespace {

class FaultyStream : public FileStream {
public:
    FaultyStream(std::unique_ptr<FileStream> inner, FaultyFiles& owner)
        : inner_(std::move(inner)), owner_(owner) {}

    size_t Read(void* buffer, size_t count) override { return inner_->Read(buffer, count); }
    bool Write(const void* data, size_t count) override {
        if (owner_.NextWriteFails()) return false;
        return inner_->Write(data, count);
    }
    bool Seek(uint64_t position) override {
        if (owner_.NextSeekFails()) return false;
        return inner_->Seek(position);
    }
    uint64_t Position() override { return inner_->Position(); }
    uint64_t Size() override { return inner_->Size(); }
    bool Truncate() override { return inner_->Truncate(); }
    bool Close() override {
        const bool ok = inner_->Close();
        return owner_.NextCloseFails() ? false : ok;
    }

private:
    std::unique_ptr<FileStream> inner_;
    FaultyFiles& owner_;
};

}  // namespace

std::unique_ptr<FileStream> FaultyFiles::Open(const std::string& path, OpenMode mode,
                                              long* error) {
    const bool forWriting = mode != OpenMode::Read;
    const bool failAny = Hit(++opens, failOpenAt);
    const bool failWrite = forWriting && Hit(++writeOpens, failOpenWriteAt);
    if (failAny || failWrite) {
        if (error) *error = WinError::AccessDenied;
        return nullptr;
    }
    auto stream = inner_.Open(path, mode, error);
    if (!stream) return nullptr;
    if (forWriting) createdPaths.push_back(path);
    return std::make_unique<FaultyStream>(std::move(stream), *this);
}

bool FaultyFiles::MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                           long* error) {
    if (Hit(++moves, failMoveAt)) {
        if (error) *error = WinError::AccessDenied;
        return false;
    }
    return inner_.MoveFile(from, to, replaceExisting, error);
}

}  // namespace bv::test
