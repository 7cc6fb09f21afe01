// The installer on a disk that fills up: the run gets a limit on the size of
// the files it may write (RLIMIT_FSIZE), so every write past it falls short
// as it would on a full disk. Whatever falls short, the live vehicle
// configuration comes through byte for byte.
#include "InstallerFixture.h"
#include "PosixRun.h"

using namespace installertest;

namespace {

class InstallerOnFullDisk : public Installer {
protected:
    RunResult RunLimited(std::size_t limit) {
        return RunProgramWithFileSizeLimit(SKININSTALL_EXE, work, {{"SKINKIT_REGISTRY", registry.string()}}, limit);
    }

    // Cars with long values, so the sizes are far above the registry file's.
    static std::string Car(int index, const std::string& name, const std::string& color, const std::string& dirs) {
        KeyValues kv = CarKeys(name, color, dirs, std::to_string(index));
        kv[1].second += std::string(900, 'x');
        return Section(index, kv);
    }
};

// The new configuration is larger than the old one and does not fit: the
// temporary file falls short, and nothing else is written.
TEST_F(InstallerOnFullDisk, TemporaryFileFallsShort) {
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg = JoinSections({Car(0, "Buggy", "Red", "red"), Car(1, "Big Truck", "Blue", "blue")});
    WriteVehicleCfg(cfg);

    RunResult r = RunLimited(cfg.size());
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + "\n***\tERROR: 'vehicle.tmp' can't be written!\n" +
                            kRefusedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);
    EXPECT_FALSE(HasBackup());
    ExpectNoSkinTree();
}

// The old configuration carries lines the rewrite drops, so the new one is
// smaller and fits while the backup does not: the live configuration stays.
TEST_F(InstallerOnFullDisk, BackupFallsShort) {
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg = "; notes of the game's makers\r\n" + std::string(3000, ';') + "\r\n" +
                      JoinSections({Car(0, "Buggy", "Red", "red"), Car(1, "Big Truck", "Blue", "blue")});
    const Bytes newCfg =
        JoinSections({Car(0, "Buggy", "Red", "red"), Car(1, "Big Truck", "Blue,Red Line", "blue,red_line")});
    ASSERT_LT(newCfg.size(), cfg.size());
    WriteVehicleCfg(cfg);

    RunResult r = RunLimited(newCfg.size());
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + "\n***\tERROR: the backup '" + game.string() +
                            "\\Cfg\\Vehicle.old' can't be written!\n" + kRefusedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);
    ExpectNoSkinTree();
}

// A skin file that does not fit is a failed copy, not a copied one: its
// "[ERROR]", and the configuration put back.
TEST_F(InstallerOnFullDisk, SkinFileFallsShort) {
    WriteSkin("Big Truck", "Red Line", "red line");  // t9.tex.big.tga is the one of 300 KiB
    const Bytes cfg = JoinSections({Car(0, "Buggy", "Red", "red"), Car(1, "Big Truck", "Blue", "blue")});
    WriteVehicleCfg(cfg);

    RunResult r = RunLimited(100 * 1024);
    EXPECT_EQ(r.output,
              Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines({"t9.tex.big.tga"}) + kCopyFailedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);
    EXPECT_EQ(VehicleOld(), cfg);
}

}  // namespace
