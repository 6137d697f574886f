#include "tests/support/faulty_files.h"

namespace bv::test {
namespace {

class FaultyStream : public FileStream {
public:
    FaultyStream(std::unique_ptr<FileStream> inner, FaultyFiles& owner, std::string path)
        : inner_(std::move(inner)), owner_(owner), path_(std::move(path)) {}

    size_t Read(void* buffer, size_t count) override {
        if (owner_.NextReadFails(path_)) return 0;
        return inner_->Read(buffer, count);
    }
    bool Write(const void* data, size_t count) override {
        if (owner_.NextWriteFails(path_)) return false;
        return inner_->Write(data, count);
    }
    bool Seek(uint64_t position) override {
        if (owner_.NextSeekFails(path_)) return false;
        return inner_->Seek(position);
    }
    uint64_t Position() override { return inner_->Position(); }
    uint64_t Size() override { return inner_->Size(); }
    bool Truncate() override {
        if (owner_.NextTruncateFails(path_)) return false;
        return inner_->Truncate();
    }
    bool Flush() override {
        if (owner_.NextFlushFails(path_)) return false;
        return inner_->Flush();
    }
    bool Close() override {
        // The handle goes away either way; only the report of it fails.
        const bool ok = inner_->Close();
        return owner_.NextCloseFails(path_) ? false : ok;
    }

private:
    std::unique_ptr<FileStream> inner_;
    FaultyFiles& owner_;
    std::string path_;
};

}  // namespace

const char* FileOpName(FileOp op) {
    switch (op) {
        case FileOp::Open: return "Open";
        case FileOp::Read: return "Read";
        case FileOp::Write: return "Write";
        case FileOp::Seek: return "Seek";
        case FileOp::Truncate: return "Truncate";
        case FileOp::Close: return "Close";
        case FileOp::Rename: return "Rename";
        case FileOp::Delete: return "Delete";
        case FileOp::SetAttributes: return "SetAttributes";
        case FileOp::CreateDirectory: return "CreateDirectory";
        case FileOp::CopyFile: return "CopyFile";
        case FileOp::Flush: return "Flush";
    }
    return "?";
}

const std::array<FileOp, kFileOpCount>& AllFileOps() {
    static const std::array<FileOp, kFileOpCount> all = {
        FileOp::Open,          FileOp::Read,            FileOp::Write,   FileOp::Seek,
        FileOp::Truncate,      FileOp::Close,           FileOp::Rename,  FileOp::Delete,
        FileOp::SetAttributes, FileOp::CreateDirectory, FileOp::CopyFile, FileOp::Flush,
    };
    return all;
}

const char* FaultModeName(FaultMode mode) { return mode == FaultMode::Once ? "once" : "lasting"; }

const FaultPlan* FaultyFiles::PlanFor(FileOp op, int index) const {
    for (const FaultPlan& plan : plans) {
        if (plan.op != op || plan.at <= 0) continue;
        if (index == plan.at || (plan.mode == FaultMode::Lasting && index > plan.at)) return &plan;
    }
    return nullptr;
}

bool FaultyFiles::Next(FileOp op, const std::string& path, bool legacy, long* error,
                       const std::string& target) {
    const int index = ++seen_[Index(op)];
    ++total_;
    if (operationLimit != 0 && total_ > operationLimit) runaway = true;
    const FaultPlan* plan = PlanFor(op, index);
    if (!plan && !legacy && !runaway) return false;
    ++failures;
    ++failed_[Index(op)];
    injected.push_back(InjectedFault{op, index, path, target});
    if (error) *error = plan ? plan->error : WinError::AccessDenied;
    return true;
}

std::unique_ptr<FileStream> FaultyFiles::Open(const std::string& path, OpenMode mode,
                                              long* error) {
    const bool forWriting = OpensForWriting(mode);
    const bool failAny = At(++opens, failOpenAt);
    const bool failWrite = forWriting && At(++writeOpens, failOpenWriteAt);
    if (Next(FileOp::Open, path, failAny || failWrite, error)) return nullptr;
    auto stream = inner_.Open(path, mode, error);
    if (!stream) return nullptr;
    if (forWriting) createdPaths.push_back(path);
    return std::make_unique<FaultyStream>(std::move(stream), *this, path);
}

bool FaultyFiles::MoveFile(const std::string& from, const std::string& to, bool replaceExisting,
                           long* error) {
    if (Next(FileOp::Rename, from, At(++moves, failMoveAt), error, to)) return false;
    return inner_.MoveFile(from, to, replaceExisting, error);
}

bool FaultyFiles::DeleteFile(const std::string& path, long* error) {
    if (Next(FileOp::Delete, path, false, error)) return false;
    return inner_.DeleteFile(path, error);
}

bool FaultyFiles::SetAttributes(const std::string& path, uint32_t attributes) {
    if (Next(FileOp::SetAttributes, path, false)) return false;
    return inner_.SetAttributes(path, attributes);
}

bool FaultyFiles::CreateDirectory(const std::string& path, long* error) {
    if (Next(FileOp::CreateDirectory, path, false, error)) return false;
    return inner_.CreateDirectory(path, error);
}

bool FaultyFiles::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (Next(FileOp::CopyFile, from, false, nullptr, to)) return false;
    return inner_.CopyFile(from, to, failIfExists);
}

}  // namespace bv::test
