// The installer under injected file faults. The built installer runs with
// the test's fault injector preloaded (FaultInject.cpp, the fault_inject
// library): named opens are refused, or their streams pass a given number of
// bytes and then fail as on a full disk (writes) or a bad sector (reads).
// The faults a file size limit or a folder in the way cannot single out are
// made here: the disk filling up while the live configuration itself is
// written, the vehicle.tmp read back falling short, and a rollback that
// cannot copy the backup back.
//
// Each run checks the console byte for byte, the live configuration byte for
// byte (the old content or the complete new one; anything else only with the
// line that names the backup to copy back by hand, and then the backup holds
// the old content), and the injector's log, which proves each fault fired
// where the case meant it to.
#include <cstdlib>

#include "InstallerFixture.h"

using namespace installertest;

namespace {

class InstallerWithFaults : public Installer {
protected:
    fs::path log = root / "faults.log";

    // Runs the installer with the rules of SKINKIT_FAULTS (see FaultInject.cpp).
    RunResult RunWithFaults(const std::string& faults) {
        fs::remove(log);
        // The sanitizer's runtime would refuse to come after the preloaded library.
        std::string asan = "verify_asan_link_order=0";
        if (const char* given = std::getenv("ASAN_OPTIONS"); given != nullptr && given[0] != '\0')
            asan = std::string(given) + ":" + asan;
        return RunProgram(SKININSTALL_EXE, work,
                          {{"SKINKIT_REGISTRY", registry.string()},
                           {"LD_PRELOAD", FAULT_INJECT_LIB},
                           {"ASAN_OPTIONS", asan},
                           {"SKINKIT_FAULTS", faults},
                           {"SKINKIT_FAULT_LOG", log.string()}});
    }
    Bytes FaultLog() const { return ReadBytes(log); }

    std::string VehicleOldPath() const { return game.string() + "\\Cfg\\Vehicle.old"; }
    std::string CantWrite() const { return "\n***\tERROR: '" + VehicleCfgPath() + "' can't be written!\n"; }
    std::string PutBack() const {
        return "\n***\tERROR: '" + VehicleCfgPath() + "' can't be written! The previous one is put back.\n";
    }
    std::string ByHand() const {
        return "\n***\tERROR: '" + VehicleCfgPath() + "' could not be put back! Copy '" + VehicleOldPath() +
               "' over it by hand.\n";
    }

    // A configuration of some 300 KiB: more than the file layer's 64 KiB
    // stream buffer and the installer's 256 KiB work buffer, so faults can
    // hit each stage of a copy. The car gets its skin in the middle.
    static Bytes Configuration(bool withSkin) {
        std::vector<std::string> cars;
        for (int i = 0; i < 22; ++i) {
            bool match = i == 5;
            std::string name = match ? "Big Truck" : "Car number " + std::to_string(i);
            KeyValues kv = CarKeys(name, match && withSkin ? "Blue,Red Line" : "Blue",
                                   match && withSkin ? "blue,red_line" : "blue", std::to_string(i));
            for (auto& [k, v] : kv)
                if (k != "Name" && k != "Color" && k != "DirName") v += std::string(950, static_cast<char>('a' + i));
            cars.push_back(Section(i, kv));
        }
        return JoinSections(cars);
    }

    const Bytes oldCfg = Configuration(false);
    const Bytes newCfg = Configuration(true);
};

std::string Limited(const std::string& rule, std::size_t bytes) {
    return rule + " limited to " + std::to_string(bytes) + " bytes\n";
}
std::string FailedAfter(const std::string& rule, std::size_t bytes) {
    return rule + " failed after " + std::to_string(bytes) + " bytes\n";
}

// Faults while the configuration is updated. The live configuration ends as
// the old content, put back from the backup where the replacement had begun;
// the control row, with room enough, shows the injector's stream passing the
// new configuration through unchanged.
TEST_F(InstallerWithFaults, FaultsWhileTheLiveConfigurationIsReplaced) {
    ASSERT_GT(oldCfg.size(), 262144u + 2000u);
    const std::size_t full = newCfg.size();
    const std::string live = "w Vehicle.cfg #1";
    struct Case {
        std::string label;
        std::string faults;
        std::string lines;  // after the head
        std::string log;
        bool installed = false;    // the control case: nothing fails
        bool backupWhole = true;  // false: the read for the backup itself failed
    };
    const std::string refused = kRefusedTail;
    const Case cases[] = {
        {"the live file cannot be opened for writing", "w:Vehicle.cfg:1:deny", CantWrite() + refused,
         live + " denied\n"},
        {"disk full at the first byte", "w:Vehicle.cfg:1:0", PutBack() + refused,
         Limited(live, 0) + FailedAfter(live, 0)},
        {"disk full past the first stream buffer", "w:Vehicle.cfg:1:70000", PutBack() + refused,
         Limited(live, 70000) + FailedAfter(live, 70000)},
        {"disk full in the second work buffer", "w:Vehicle.cfg:1:263000", PutBack() + refused,
         Limited(live, 263000) + FailedAfter(live, 263000)},
        {"disk full one byte before the end", "w:Vehicle.cfg:1:" + std::to_string(full - 1), PutBack() + refused,
         Limited(live, full - 1) + FailedAfter(live, full - 1)},
        {"vehicle.tmp read back falls short", "r:vehicle.tmp:1:70000", PutBack() + refused,
         Limited("r vehicle.tmp #1", 70000) + FailedAfter("r vehicle.tmp #1", 70000)},
        {"the live file read for the backup falls short", "r:Vehicle.cfg:1:70000",
         "\n***\tERROR: the backup '" + VehicleOldPath() + "' can't be written!\n" + refused,
         Limited("r Vehicle.cfg #1", 70000) + FailedAfter("r Vehicle.cfg #1", 70000), false, false},
        {"control: room for exactly the new file", "w:Vehicle.cfg:1:" + std::to_string(full),
         kUpdated + CopyLines() + InstalledTail("Red Line"), Limited(live, full), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FreshGame();
        WriteSkin("Big Truck", "Red Line", "red line");
        WriteVehicleCfg(oldCfg);

        RunResult r = RunWithFaults(c.faults);
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + c.lines);
        EXPECT_EQ(FaultLog(), c.log);
        ExpectOrderlyEnd(r);
        EXPECT_TRUE(VehicleCfg() == (c.installed ? newCfg : oldCfg))
            << "live configuration of " << VehicleCfg().size() << " bytes";
        if (c.backupWhole) {
            EXPECT_TRUE(VehicleOld() == oldCfg) << "backup of " << VehicleOld().size() << " bytes";
        }
        if (c.installed)
            ExpectSkinTree("Big_Truck", "red_line");
        else
            ExpectNoSkinTree();
    }
}

// The rollback cannot copy the backup back, after a replacement that fell
// short or after a failed skin copy: the user is told which file to copy
// back by hand, and that file holds the old configuration whole.
TEST_F(InstallerWithFaults, RollbackThatCannotCopyTheBackupBackNamesIt) {
    struct Case {
        std::string label;
        std::set<std::string> missing;  // skin files left out
        std::string faults;
        Bytes live;  // what the failed copies leave in the live file
        std::string log;
    };
    const std::string first = "w Vehicle.cfg #1", second = "w Vehicle.cfg #2";
    const Case cases[] = {
        {"replacement falls short, the backup cannot be opened", {}, "w:Vehicle.cfg:1:70000;r:Vehicle.old:*:deny",
         newCfg.substr(0, 70000), Limited(first, 70000) + FailedAfter(first, 70000) + "r Vehicle.old #1 denied\n"},
        {"replacement and rollback both fall short", {}, "w:Vehicle.cfg:*:70000", oldCfg.substr(0, 70000),
         Limited(first, 70000) + FailedAfter(first, 70000) + Limited(second, 70000) + FailedAfter(second, 70000)},
        {"replacement falls short, the live file cannot be opened again", {},
         "w:Vehicle.cfg:1:70000;w:Vehicle.cfg:2:deny", newCfg.substr(0, 70000),
         Limited(first, 70000) + FailedAfter(first, 70000) + second + " denied\n"},
        // The rollback reads the backup's first 256 KiB before it opens (and
        // so empties) the live file: a read failing there leaves the live
        // file as it was; one past there, whatever was copied.
        {"replacement falls short, the backup read falls short", {}, "w:Vehicle.cfg:1:70000;r:Vehicle.old:1:1000",
         newCfg.substr(0, 70000), Limited(first, 70000) + FailedAfter(first, 70000) +
                                      Limited("r Vehicle.old #1", 1000) + FailedAfter("r Vehicle.old #1", 1000)},
        {"a skin file missing, the backup cannot be opened", {"t11.tex"}, "r:Vehicle.old:*:deny", newCfg,
         "r Vehicle.old #1 denied\n"},
        {"a skin file missing, the backup read falls short", {"t11.tex"}, "r:Vehicle.old:1:1000", newCfg,
         Limited("r Vehicle.old #1", 1000) + FailedAfter("r Vehicle.old #1", 1000)},
        {"a skin file missing, the backup read falls short past 256 KiB", {"t11.tex"}, "r:Vehicle.old:1:270000",
         oldCfg.substr(0, 262144), Limited("r Vehicle.old #1", 270000) + FailedAfter("r Vehicle.old #1", 270000)},
        {"a skin file missing, the rollback falls short", {"t11.tex"}, "w:Vehicle.cfg:2:70000",
         oldCfg.substr(0, 70000), Limited(second, 70000) + FailedAfter(second, 70000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(game);
        fs::create_directories(game / "Cfg");
        fs::remove_all(work);
        fs::create_directories(work);
        skinData.clear();
        WriteSkin("Big Truck", "Red Line", "red line", c.missing);
        WriteVehicleCfg(oldCfg);

        RunResult r = RunWithFaults(c.faults);
        const std::string lines = c.missing.empty() ? PutBack() + ByHand() + kRefusedTail
                                                    : kUpdated + CopyLines(c.missing) + ByHand() + kCopyFailedTail;
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + lines);
        EXPECT_EQ(FaultLog(), c.log);
        ExpectOrderlyEnd(r);
        EXPECT_TRUE(VehicleOld() == oldCfg) << "backup of " << VehicleOld().size() << " bytes";
        EXPECT_TRUE(VehicleCfg() == c.live) << "live configuration of " << VehicleCfg().size() << " bytes";
        if (c.missing.empty())
            ExpectNoSkinTree();
        else
            ExpectSkinTree("Big_Truck", "red_line", c.missing);
    }
}

// A skin file whose read falls short (a bad sector, say) is a failed copy:
// no target file is made from part of it, and the configuration is put back.
TEST_F(InstallerWithFaults, SkinFileReadFallingShortFailsItsCopies) {
    const std::set<std::string> bad = {"t10.tex"};
    WriteSkin("Big Truck", "Red Line", "red line");
    WriteVehicleCfg(oldCfg);

    RunResult r = RunWithFaults("r:t10.tex:*:100");
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines(bad) + kCopyFailedTail);
    const std::string single = "r t10.tex #1", multi = "r t10.tex #2";
    EXPECT_EQ(FaultLog(), Limited(single, 100) + FailedAfter(single, 100) + Limited(multi, 100) +
                              FailedAfter(multi, 100));
    ExpectOrderlyEnd(r);
    EXPECT_TRUE(VehicleCfg() == oldCfg);
    EXPECT_TRUE(VehicleOld() == oldCfg);
    ExpectSkinTree("Big_Truck", "red_line", bad);
}

// "vehicle.tmp" written whole but not readable again: a fatal error of the
// file layer, after the backup and before the live file is opened. The run
// ends silently with the fatal exit code; nothing but the backup was written.
TEST_F(InstallerWithFaults, TemporaryFileThatCannotBeReadBackIsFatal) {
    WriteSkin("Big Truck", "Red Line", "red line");
    WriteVehicleCfg(oldCfg);
    const Bytes regBefore = ReadBytes(registry);

    RunResult r = RunWithFaults("r:vehicle.tmp:*:deny");
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line"));
    EXPECT_EQ(FaultLog(), "r vehicle.tmp #1 denied\n");
    EXPECT_EQ(r.exitCode, kFatalExitCode);
    EXPECT_EQ(ReadBytes(registry), regBefore);
    EXPECT_TRUE(VehicleCfg() == oldCfg);
    EXPECT_TRUE(VehicleOld() == oldCfg);
    EXPECT_TRUE(ReadBytes(work / "vehicle.tmp") == newCfg);
    ExpectNoSkinTree();
}

}  // namespace
