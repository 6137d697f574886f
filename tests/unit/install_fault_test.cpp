// A fault at every file and registry change of an install and of an uninstall, once and
// lasting: the run ends, says what went wrong in German, touches nothing but the product's
// own files and keys, and what it leaves can still be removed.
#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/failing_registry.h"
#include "tests/support/faulty_files.h"
#include "tests/support/recording_setup_views.h"
#include "tests/unit/install_test_support.h"

namespace bv {
namespace {

using Listing = std::vector<std::string>;

struct Fault {
    bool registry = false;
    test::FileOp fileOp = test::FileOp::Open;
    test::RegOp regOp = test::RegOp::CreateKey;
    int at = 0;
    bool lasting = false;
    std::string Name() const {
        return std::string(registry ? test::RegOpName(regOp) : test::FileOpName(fileOp)) + " #" + std::to_string(at) +
               (lasting ? " lasting" : " once");
    }
};

// One world: a fresh platform with the folders, the script and a way to put faults in.
struct World {
    test::TestPlatform tp;
    test::SetupEnv env{tp};
    InstallScript script = env.Script();
    test::FaultyFiles files{tp.files()};
    test::FailingRegistry registry{tp.registry()};
    Platform faulty{registry, files, tp.shell(), tp.system(), tp.prompter(), tp.pump()};

    explicit World(const Fault* fault = nullptr) {
        files.operationLimit = 200000;
        if (!fault) return;
        if (fault->registry) registry.FailAt(fault->regOp, fault->at, fault->lasting);
        else files.FailAt(fault->fileOp, fault->at, fault->lasting ? test::FaultMode::Lasting : test::FaultMode::Once);
    }
    std::string Root() { return tp.Posix() ? "C:\\" : tp.TempDir(); }
    Listing Files() { return env.Listing(tp.files(), Root()); }
    Listing Registry() { return env.RegistryListing(tp.registry()); }

    // What belongs to the product: its folders, shortcuts, uninstaller and information file.
    bool Ours(const std::string& line) {
        const SetupFolders& f = env.folders;
        for (const std::string& prefix :
             {env.installFolder + "\\", env.installFolder + " ", f.commonFiles + "Brevisto\\", f.programsMenu + "\\Brevisto\\",
              f.programsMenu + "\\Brevisto 3.lnk", f.desktop + "\\Brevisto.lnk", f.windows + "\\BrvUninst",
              f.windows + "\\Brevisto3", f.windows + "\\WININIT.INI"}) {
            if (line.compare(0, prefix.size(), prefix) == 0) return true;
        }
        return false;
    }
    static bool OurKey(const std::string& line) {
        const std::string key = line.substr(0, line.find('='));
        for (const char* mark : {"Brevisto", "brevisto", ".bvq", "hilfe.chm"})
            if (key.find(mark) != std::string::npos) return true;
        return false;
    }
    Listing Others(const Listing& listing) {
        Listing out;
        for (const std::string& l : listing)
            if (!Ours(l)) out.push_back(l);
        return out;
    }
    static Listing OtherKeys(const Listing& listing) {
        Listing out;
        for (const std::string& l : listing)
            if (!OurKey(l)) out.push_back(l);
        return out;
    }
    // The shared file of "CopyDestination" may stay.
    Listing WithoutShared(const Listing& listing) {
        Listing out;
        for (const std::string& l : listing)
            if (l.compare(0, env.folders.commonFiles.size() + 9, env.folders.commonFiles + "Brevisto\\") != 0)
                out.push_back(l);
        return out;
    }

    // What a restart does with the moves registered for it (POSIX only).
    void Restart() {
        auto* posix = tp.Posix();
        if (!posix) return;
        for (const auto& move : posix->files.PendingRestartMoves()) {
            if (!move.second.empty()) {
                (void)tp.files().MoveFile(move.first, move.second, true);
            } else if (DirectoryExists(tp.files(), move.first)) {
                (void)tp.files().RemoveDirectory(move.first);
            } else {
                (void)tp.files().SetAttributes(move.first, FileAttr::Normal);
                (void)tp.files().DeleteFile(move.first);
            }
        }
    }

    UninstallResult Uninstall(Platform& p, const std::string& infoPath, const std::string& own) {
        UninstallData data;
        ReadUninstallInfo(p, infoPath, data);
        test::RecordingUninstallView view;
        UninstallRun run(p, env.folders, data, infoPath, view, UninstallOptions{own});
        return run.Run();
    }
};

// Every operation of each kind natively; under Wine the first and the last of each kind.
std::vector<Fault> Faults(const test::FaultyFiles& files, const test::FailingRegistry& registry) {
    std::vector<Fault> faults;
    auto indices = [](int seen) {
        std::vector<int> at;
        for (int i = 1; i <= seen; ++i)
            if (!test::TestPlatform::IsWindows() || i == 1 || i == seen) at.push_back(i);
        return at;
    };
    for (test::FileOp op : test::AllFileOps())
        for (int at : indices(files.Seen(op)))
            for (bool lasting : {false, true}) faults.push_back(Fault{false, op, test::RegOp::CreateKey, at, lasting});
    for (test::RegOp op : {test::RegOp::CreateKey, test::RegOp::SetValue, test::RegOp::DeleteKeyTree, test::RegOp::DeleteValue})
        for (int at : indices(registry.Seen(op)))
            for (bool lasting : {false, true}) faults.push_back(Fault{true, test::FileOp::Open, op, at, lasting});
    return faults;
}

TEST(InstallFaults, EveryFaultOfAnInstallIsReportedAndLeavesARemovableInstall) {
    Listing cleanFiles, cleanKeys;
    std::vector<Fault> faults;
    {
        // Gone before the faulty runs: on Windows its entries are real until it ends.
        World reference;
        const InstallResult clean = reference.env.Install(reference.faulty, reference.script, reference.env.Choices());
        ASSERT_EQ(clean.outcome, InstallOutcome::Completed);
        cleanFiles = reference.Files();
        cleanKeys = reference.Registry();
        faults = Faults(reference.files, reference.registry);
    }
    ASSERT_GT(faults.size(), 20u);
    ::testing::Test::RecordProperty("fault_cases", static_cast<int>(faults.size()));

    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.Name());
        World w(&fault);
        const Listing filesBefore = w.Files();
        const Listing keysBefore = w.Registry();
        const InstallResult r = w.env.Install(w.faulty, w.script, w.env.Choices());
        EXPECT_FALSE(w.files.runaway);
        const Listing filesAfter = w.Files();
        const Listing keysAfter = w.Registry();
        // Nothing but the product's own.
        EXPECT_EQ(w.Others(filesAfter), w.Others(filesBefore));
        EXPECT_EQ(World::OtherKeys(keysAfter), World::OtherKeys(keysBefore));
        // A fault that was not reported changed nothing.
        if (w.tp.prompter().messages.empty()) {
            EXPECT_EQ(r.outcome, InstallOutcome::Completed);
            if (!test::TestPlatform::IsWindows()) {
                EXPECT_EQ(filesAfter, cleanFiles);
                EXPECT_EQ(keysAfter, cleanKeys);
            }
        }
        // A registered entry points at an uninstaller and information that exist.
        const std::string entry = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brevisto3;UninstallString";
        const std::string command = ReadRegistryValue(w.tp.registry(), entry);
        if (!command.empty()) {
            EXPECT_TRUE(r.registered);
            EXPECT_TRUE(FileExists(w.tp.files(), r.uninstallerPath));
            EXPECT_TRUE(FileExists(w.tp.files(), r.infoPath));
        }
        if (r.outcome == InstallOutcome::FolderFailed || r.outcome == InstallOutcome::Refused) {
            EXPECT_FALSE(w.tp.prompter().messages.empty());
            EXPECT_EQ(filesAfter, filesBefore);
            continue;
        }
        if (r.infoPath.empty()) {
            // No information: nothing else may be left that points to one.
            EXPECT_FALSE(w.tp.prompter().messages.empty());
            EXPECT_TRUE(command.empty());
            continue;
        }
        // What the faulty install left goes again with the uninstaller.
        w.tp.prompter().messages.clear();
        w.tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes, MsgResult::No};
        w.Uninstall(w.tp.platform(), r.infoPath, r.uninstallerPath);
        if (test::TestPlatform::IsWindows()) continue;
        w.Restart();
        EXPECT_EQ(w.WithoutShared(w.Files()), w.WithoutShared(filesBefore));
        EXPECT_EQ(w.Registry(), keysBefore);
    }
}

TEST(InstallFaults, EveryFaultOfAnUninstallIsReportedOrUndoneAtTheRestart) {
    std::vector<Fault> faults;
    {
        World reference;
        const InstallResult installed =
            reference.env.Install(reference.tp.platform(), reference.script, reference.env.Choices());
        ASSERT_TRUE(installed.registered);
        reference.tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes, MsgResult::No};
        reference.Uninstall(reference.faulty, installed.infoPath, installed.uninstallerPath);
        faults = Faults(reference.files, reference.registry);
    }
    ASSERT_GT(faults.size(), 10u);
    ::testing::Test::RecordProperty("fault_cases", static_cast<int>(faults.size()));

    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.Name());
        World w(&fault);
        const Listing filesBefore = w.Files();
        const Listing keysBefore = w.Registry();
        const InstallResult r = w.env.Install(w.tp.platform(), w.script, w.env.Choices());
        ASSERT_TRUE(r.registered);
        const Listing installedFiles = w.Files();
        const Listing installedKeys = w.Registry();
        w.tp.prompter().messages.clear();
        w.tp.prompter().answers = {MsgResult::Ok, MsgResult::Yes, MsgResult::No};
        w.Uninstall(w.faulty, r.infoPath, r.uninstallerPath);
        EXPECT_FALSE(w.files.runaway);
        w.Restart();
        const Listing filesAfter = w.Files();
        const Listing keysAfter = w.Registry();
        EXPECT_EQ(w.Others(filesAfter), w.Others(installedFiles));
        EXPECT_EQ(World::OtherKeys(keysAfter), World::OtherKeys(installedKeys));
        if (test::TestPlatform::IsWindows()) continue;
        // Either everything went (at the latest with the restart) or the user was told.
        const bool clean = w.WithoutShared(filesAfter) == w.WithoutShared(filesBefore) && keysAfter == keysBefore;
        bool told = false;
        for (const auto& m : w.tp.prompter().messages)
            told = told || (m.text.find("Stellen Sie sicher") != 0 && m.text.find("Möchten Sie auch") != 0);
        EXPECT_TRUE(clean || told);
    }
}

}  // namespace
}  // namespace bv
