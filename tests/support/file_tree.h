// Every file and folder below a folder with its content, one map entry each: two listings of
// the same folder compare as values. Links and junctions are listed, never followed.
#pragma once
#include <map>
#include <string>

#include "tests/support/test_platform.h"

namespace bv::test {

inline std::map<std::string, std::string> FileTree(TestPlatform& tp, const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const FindEntry& e : tp.files().Find(folder + "*")) {
        if (e.IsDirectory()) {
            tree[folder + e.name + "\\"] = "<Ordner>";
            if (!e.IsLink())
                for (const auto& entry : FileTree(tp, folder + e.name + "\\")) tree.insert(entry);
        } else {
            tree[folder + e.name] = tp.ReadFile(folder + e.name);
        }
    }
    return tree;
}

}  // namespace bv::test
