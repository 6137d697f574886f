// A Registry decorator that fails chosen changes, as FaultyFiles does for files: every
// change of a kind is counted from 1, and a plan fails the Nth once or from then on.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace bv::test {

enum class RegOp { CreateKey, SetValue, DeleteKeyTree, DeleteValue };
constexpr int kRegOpCount = 4;

inline const char* RegOpName(RegOp op) {
    switch (op) {
        case RegOp::CreateKey: return "CreateKey";
        case RegOp::SetValue: return "SetValue";
        case RegOp::DeleteKeyTree: return "DeleteKeyTree";
        case RegOp::DeleteValue: return "DeleteValue";
    }
    return "?";
}

class FailingRegistry : public Registry {
public:
    explicit FailingRegistry(Registry& inner) : inner_(inner) {}

    struct Plan {
        RegOp op;
        int at;
        bool lasting;
    };
    std::vector<Plan> plans;
    void FailAt(RegOp op, int at, bool lasting) { plans.push_back(Plan{op, at, lasting}); }
    int Seen(RegOp op) const { return seen_[static_cast<size_t>(op)]; }
    int failures = 0;

    long KeyExists(RegRoot root, const std::string& path) override { return inner_.KeyExists(root, path); }
    long CreateKey(RegRoot root, const std::string& path) override {
        return Fails(RegOp::CreateKey) ? WinError::AccessDenied : inner_.CreateKey(root, path);
    }
    long DeleteKeyTree(RegRoot root, const std::string& path) override {
        return Fails(RegOp::DeleteKeyTree) ? WinError::AccessDenied : inner_.DeleteKeyTree(root, path);
    }
    long QueryValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) override {
        return inner_.QueryValue(root, path, name, out);
    }
    long SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                  const Bytes& data) override {
        return Fails(RegOp::SetValue) ? WinError::AccessDenied : inner_.SetValue(root, path, name, type, data);
    }
    long DeleteValue(RegRoot root, const std::string& path, const std::string& name) override {
        return Fails(RegOp::DeleteValue) ? WinError::AccessDenied : inner_.DeleteValue(root, path, name);
    }
    long EnumSubKeys(RegRoot root, const std::string& path, std::vector<std::string>& out) override {
        return inner_.EnumSubKeys(root, path, out);
    }
    long EnumValues(RegRoot root, const std::string& path, std::vector<RegValue>& out) override {
        return inner_.EnumValues(root, path, out);
    }

private:
    bool Fails(RegOp op) {
        const int n = ++seen_[static_cast<size_t>(op)];
        for (const Plan& plan : plans) {
            if (plan.op == op && (n == plan.at || (plan.lasting && n > plan.at))) {
                ++failures;
                return true;
            }
        }
        return false;
    }
    Registry& inner_;
    std::array<int, kRegOpCount> seen_{};
};

}  // namespace bv::test
