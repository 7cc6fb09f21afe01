// End-to-end runs of the built skin installer.
//
// Each test lays out a scratch skin folder (the working folder: Skin.cfg and
// the skin files), a scratch game folder (Cfg/Vehicle.cfg and, where a test
// needs them, the archives Language.cod and Game.cod) and a scratch registry
// file that names the game folder, runs skininstall there, and compares what
// it printed, its exit code, the rewritten vehicle configuration, the backup,
// the copied skin files and the registry marker byte for byte.
#include "InstallerFixture.h"

using namespace installertest;

namespace {

// ---------------------------------------------------------------------------
// The ends of a run

TEST_F(Installer, RegistryKeyMissingEndsAtOnceAndCreatesTheKey) {
    const Bytes other =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n\"Installpath\"=\"/nowhere\"\r\n\r\n";
    WriteBytes(registry, other);
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output, Banner(r.output) + "\n***\tERROR: Gravelmax not installed!\n\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Marker(), std::optional<std::string>("IGEN :)"));
    EXPECT_EQ(RegistryValue(registry, "HKEY_LOCAL_MACHINE\\Software\\Elsewhere", "Installpath"),
              std::optional<std::string>("/nowhere"));
    EXPECT_EQ(VehicleCfg(), cfg);
    EXPECT_FALSE(HasBackup());
    ExpectNoSkinTree();
}

// The early ends through the skin description: exit code -1, nothing written,
// no marker.
struct EarlyEndCase {
    const char* label;
    std::optional<Bytes> skinCfg;  // none: no Skin.cfg at all
    const char* message;
};

TEST_F(Installer, SkinDescriptionMissingOrIncompleteEndsEarly) {
    const EarlyEndCase cases[] = {
        {"no file", std::nullopt, "\n\n***\tERROR: 'Skin.cfg' file not found!\n"},
        {"empty file", Bytes(), "\n\n***\tERROR: Wrong 'Name' key in Skin.cfg skin file !\n"},
        {"no section", Bytes("[OTHER]\r\nName=Big Truck\r\nSkinName=Red\r\nSkinDirName=red\r\n"),
         "\n\n***\tERROR: Wrong 'Name' key in Skin.cfg skin file !\n"},
        {"section name case", Bytes("[skinappend]\r\nName=Big Truck\r\nSkinName=Red\r\nSkinDirName=red\r\n"),
         "\n\n***\tERROR: Wrong 'Name' key in Skin.cfg skin file !\n"},
        {"Name empty", Bytes("[SKINAPPEND]\r\nName=\r\nSkinName=Red\r\nSkinDirName=red\r\n"),
         "\n\n***\tERROR: Wrong 'Name' key in Skin.cfg skin file !\n"},
        {"SkinName missing", Bytes("[SKINAPPEND]\r\nName=Big Truck\r\nSkinDirName=red\r\n"),
         "\n\n***\tERROR: Wrong 'SkinName' key in Skin.cfg skin file !\n"},
        {"SkinName empty, SkinDirName missing", Bytes("[SKINAPPEND]\r\nName=Big Truck\r\nSkinName=\r\n"),
         "\n\n***\tERROR: Wrong 'SkinName' key in Skin.cfg skin file !\n"},
        {"SkinDirName empty", Bytes("[SKINAPPEND]\r\nName=Big Truck\r\nSkinName=Red\r\nSkinDirName=\r\n"),
         "\n\n***\tERROR: Wrong 'SkinDirName' key in Skin.cfg skin file !\n"},
        {"SkinDirName in the next section",
         Bytes("[SKINAPPEND]\r\nName=Big Truck\r\nSkinName=Red\r\n[NEXT]\r\nSkinDirName=red\r\n"),
         "\n\n***\tERROR: Wrong 'SkinDirName' key in Skin.cfg skin file !\n"},
    };
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(work / "Skin.cfg");
        if (c.skinCfg) WriteBytes(work / "Skin.cfg", *c.skinCfg);
        WriteVehicleCfg(cfg);
        const Bytes regBefore = ReadBytes(registry);

        RunResult r = Run();
        EXPECT_EQ(r.output, Banner(r.output) + "SkinFile:\t'Skin.cfg'" + c.message);
        EXPECT_EQ(r.exitCode, kFatalExitCode);
        EXPECT_EQ(ReadBytes(registry), regBefore);  // no marker on an early end
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_FALSE(HasBackup());
        EXPECT_FALSE(fs::exists(work / "vehicle.tmp"));
        ExpectNoSkinTree();
    }
}

// Worked example: blanks of the skin directory become underscores before
// the update, blanks of the car name only for the directories.
TEST_F(Installer, WorkedExampleBigTruckRedLine) {
    WriteSkin("Big Truck", "Red Line", "red line");
    const std::string car0 = Section(0, CarKeys("Sprinter", "White", "white", "1"));
    const Bytes cfg = JoinSections({car0, Section(1, CarKeys("Big Truck", "Blue,Green", "blue,green", "2"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines() + InstalledTail("Red Line"));
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleOld(), cfg);
    EXPECT_EQ(
        VehicleCfg(),
        JoinSections({car0, Section(1, CarKeys("Big Truck", "Blue,Green,Red Line", "blue,green,red_line", "2"))}));
    ExpectSkinTree("Big_Truck", "red_line");
}

// Worked example: the car is matched without regard to letter case, the
// other car is written line for line as it was, the walk ends at Car2. An
// empty skin file is copied as an empty file, and an existing target file is
// truncated.
TEST_F(Installer, WorkedExampleMonsterTruckGold) {
    WriteSkin("monster truck", "Gold", "gold_flames");
    skinData["t11.tex"] = "";
    WriteBytes(work / "t11.tex", "");
    fs::path old = game / "Car" / "monster_truck" / "Single" / "txt" / "gold_flames";
    fs::create_directories(old);
    WriteBytes(old / "t10.tex", Bytes(100000, 'z'));
    fs::create_directories(game / "Car" / "monster_truck" / "Multi");

    const std::string car0 = Section(0, CarKeys("Buggy", "Red,Blue", "red,blue", "1"));
    const Bytes cfg = JoinSections({car0, Section(1, CarKeys("Monster Truck", "Black", "black", "2"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output, Head(r.output, "monster truck", "Gold") + kUpdated + CopyLines() + InstalledTail("Gold"));
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleOld(), cfg);
    EXPECT_EQ(VehicleCfg(),
              JoinSections({car0, Section(1, CarKeys("Monster Truck", "Black,Gold", "black,gold_flames", "2"))}));
    ExpectSkinTree("monster_truck", "gold_flames");
}

// A car that is not listed: the configuration is still rewritten in the
// normalised form (eighteen keys in order, missing keys empty, extra keys and
// comments dropped, sections after a gap dropped) and backed up.
TEST_F(Installer, CarNotFoundStillRewritesAndBacksUpTheConfiguration) {
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg =
        "; vehicles of the game\r\n"
        "[Car0]\r\nName=Buggy\r\nPower=120\r\nLongName=Buggy Sport\r\nSound=buggy.wav\r\nColor=Red\r\n"
        "DirName=red\r\nEngine=flat four\r\nWeight=800\r\n\r\n" +
        Section(1, CarKeys("Pickup", "Grey", "grey", "5")) + "\r\n" +
        Section(3, CarKeys("Big Truck", "Blue", "blue", "3"));  // after the gap: never reached
    WriteVehicleCfg(cfg);

    KeyValues buggy;
    for (const auto& k : kCarKeys) buggy.push_back({k, ""});
    auto set = [&](const char* k, const char* v) {
        for (auto& kv : buggy)
            if (kv.first == k) kv.second = v;
    };
    set("Name", "Buggy");
    set("LongName", "Buggy Sport");
    set("Engine", "flat four");
    set("Color", "Red");
    set("DirName", "red");
    set("Weight", "800");
    set("Power", "120");

    RunResult r = Run();
    EXPECT_EQ(r.output,
              Head(r.output, "Big Truck", "Red Line") + "\n***\tERROR: 'Big Truck' car not found!\n" + kRefusedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleOld(), cfg);
    EXPECT_EQ(VehicleCfg(), JoinSections({Section(0, buggy), Section(1, CarKeys("Pickup", "Grey", "grey", "5"))}));
    ExpectNoSkinTree();
}

// "Name" is found as the first "Name=" of the section, so a "SkinName" line
// before it gives the car name.
TEST_F(Installer, SkinNameLineBeforeNameLineGivesTheCarName) {
    WriteSkin("Big Truck", "Red Line", "red line");
    WriteBytes(work / "Skin.cfg", "[SKINAPPEND]\r\nSkinName=Red Line\r\nName=Big Truck\r\nSkinDirName=red line\r\n");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output,
              Head(r.output, "Red Line", "Red Line") + "\n***\tERROR: 'Red Line' car not found!\n" + kRefusedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);  // already normalised, so rewritten unchanged
}

TEST_F(Installer, MissingVehicleConfigurationRefusesTheUpdate) {
    WriteSkin("Big Truck", "Red Line", "red line");
    fs::remove_all(game / "Cfg");

    RunResult r = Run();
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + "\n***\tERROR: '" + VehicleCfgPath() +
                            "' not found\n" + kRefusedTail);
    ExpectOrderlyEnd(r);
    EXPECT_TRUE(fs::is_directory(game / "Cfg"));  // the configuration folder is made first
    EXPECT_FALSE(fs::exists(game / "Cfg" / "Vehicle.cfg"));
    EXPECT_FALSE(HasBackup());
    ExpectNoSkinTree();
}

// Every section that names the car gets the skin, each with its own checks.
TEST_F(Installer, CarNamedTwiceGetsTheSkinInBothSections) {
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg =
        JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue", "1")),
                      Section(1, CarKeys("Buggy", "Red", "red", "2")), Section(2, CarKeys("BIG TRUCK", "", "", "3"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines() + InstalledTail("Red Line"));
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleOld(), cfg);
    EXPECT_EQ(VehicleCfg(), JoinSections({Section(0, CarKeys("Big Truck", "Blue,Red Line", "blue,red_line", "1")),
                                          Section(1, CarKeys("Buggy", "Red", "red", "2")),
                                          Section(2, CarKeys("BIG TRUCK", ",Red Line", ",red_line", "3"))}));
    ExpectSkinTree("Big_Truck", "red_line");
}

// ---------------------------------------------------------------------------
// The checks on the matched car's skin lists

struct ListCase {
    const char* label;
    std::optional<std::string> color;            // none: no Color key in the section
    std::optional<std::string> dirName;          // none: no DirName key in the section
    std::string error;                           // empty: the skin is added
    std::string newColor = {}, newDirName = {};  // the lists written when added
};

std::string Items(const std::string& prefix, int n) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += (i > 1 ? "," : "") + prefix + std::to_string(i);
    return s;
}

TEST_F(Installer, SkinListChecks) {
    const std::string found = "\n***\tERROR: the 'Red Line' skin found in the '";
    const std::string dirFound = "\n***\tERROR: the 'red_line' skin directory found in the '";
    const std::string past = "'.\n\t\tThis skin installed in the past!!\n";
    const std::string space = "\n***\tERROR: Not enougth Skin space! NO MORE SKIN ALLOWED FOR THAT CAR!\n";
    const std::string cfgPath = VehicleCfgPath();
    const ListCase cases[] = {
        {"lists of unequal length", "A,B,C", "a,b",
         "\n***\tERROR: the number of Color's not equal with the number of DirName !"},
        {"nine skins", Items("C", 9), Items("d", 9), space},
        {"eight skins: the new one is the ninth", Items("C", 8), Items("d", 8), "", Items("C", 8) + ",Red Line",
         Items("d", 8) + ",red_line"},
        {"colour present", "Blue,Red Line", "blue,x", found + cfgPath + past},
        {"colour differs in case only", "Blue,red line", "blue,x", "", "Blue,red line,Red Line", "blue,x,red_line"},
        {"directory present in another case", "Blue,Green", "blue,RED_LINE", dirFound + cfgPath + past},
        {"first clashing entry decides", "Blue,Red Line", "red_line,x", dirFound + cfgPath + past},
        {"no Color and no DirName", std::nullopt, std::nullopt, "", ",Red Line", ",red_line"},
        {"empty last items", "Blue,", "blue,", "", "Blue,,Red Line", "blue,,red_line"},
        {"blanks are kept", " Blue , Green", "blue ,green ", "", " Blue , Green,Red Line", "blue ,green ,red_line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FreshGame();
        WriteSkin("Big Truck", "Red Line", "red line");

        auto carKeys = [&](const std::string& color, const std::string& dirs, bool dropMissing) {
            KeyValues kv = CarKeys("Big Truck", color, dirs, "2");
            if (dropMissing)
                std::erase_if(kv, [&](const auto& p) {
                    return (p.first == "Color" && !c.color) || (p.first == "DirName" && !c.dirName);
                });
            return kv;
        };
        const std::string car0 = Section(0, CarKeys("Buggy", "Red", "red", "1"));
        const Bytes cfg = JoinSections({car0, Section(1, carKeys(c.color.value_or(""), c.dirName.value_or(""), true))});
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        ExpectOrderlyEnd(r);
        if (c.error.empty()) {
            EXPECT_EQ(r.output,
                      Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines() + InstalledTail("Red Line"));
            EXPECT_EQ(VehicleOld(), cfg);
            EXPECT_EQ(VehicleCfg(), JoinSections({car0, Section(1, carKeys(c.newColor, c.newDirName, false))}));
            ExpectSkinTree("Big_Truck", "red_line");
        } else {
            EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + c.error + kRefusedTail);
            EXPECT_EQ(VehicleCfg(), cfg);
            EXPECT_FALSE(HasBackup());
            ExpectNoSkinTree();
        }
    }
}

// ---------------------------------------------------------------------------
// A skin file missing: the configuration is put back from the backup; the
// other files and all directories stay.

TEST_F(Installer, MissingSkinFileRestoresTheConfiguration) {
    const std::set<std::string> cases[] = {{"t10.tex.big.tga"}, {"t9.tex"}};
    for (const auto& missing : cases) {
        SCOPED_TRACE(*missing.begin());
        fs::remove_all(game);
        fs::remove_all(work);
        fs::create_directories(work);
        fs::create_directories(game / "Cfg");
        skinData.clear();
        WriteSkin("Big Truck", "Red Line", "red line", missing);
        const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines(missing) + kCopyFailedTail);
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_EQ(VehicleOld(), cfg);
        ExpectSkinTree("Big_Truck", "red_line", missing);
    }
}

// A directory that cannot be made (a file stands in its place) shows up as
// failed copies into it.
TEST_F(Installer, TargetDirectoryThatCannotBeMadeFailsItsCopies) {
    WriteSkin("Big Truck", "Red Line", "red line");
    fs::create_directories(game / "Car" / "Big_Truck");
    WriteBytes(game / "Car" / "Big_Truck" / "Multi", "not a folder");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    std::string copies = "\nInstall Files:\n";
    for (const auto& row : kCopies)
        copies += std::string(row.single ? "--> single \\ " : "--> multi  \\ ") + row.name + "\t\t" +
                  (row.single ? "[OK]\n" : "[ERROR]\n");
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + copies + kCopyFailedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);
    EXPECT_EQ(ReadBytes(game / "Car" / "Big_Truck" / "Multi"), "not a folder");
    for (const char* f : kSkinFiles)
        EXPECT_TRUE(ReadBytes(game / "Car" / "Big_Truck" / "Single" / "txt" / "red_line" / f) == skinData[f]) << f;
}

// ---------------------------------------------------------------------------
// Archives: a file not on disk is looked for in Language.cod, then Game.cod.

TEST_F(Installer, FilesComeFromDiskThenLanguageThenGame) {
    for (bool skinCfgOnDisk : {false, true}) {
        SCOPED_TRACE(skinCfgOnDisk ? "Skin.cfg on disk" : "Skin.cfg in the archives");
        fs::remove_all(game);
        fs::remove_all(work);
        fs::create_directories(work);
        fs::create_directories(game / "Cfg");
        skinData.clear();

        // Disk: t10.tex only (and Skin.cfg in the second round).
        if (skinCfgOnDisk) WriteBytes(work / "Skin.cfg", SkinCfg("Pickup", "Night", "night"));
        WriteBytes(work / "t10.tex", SkinFileData("t10.tex", "disk"));
        // Language.cod: Skin.cfg, t9.tex, t10.tex. Names match whatever their case.
        WriteBytes(game / "Language.cod", BuildArchive({{"readme.txt", "language text\r\n"},
                                                        {"SKIN.cfg", SkinCfg("Big Truck", "Red Line", "red line")},
                                                        {"T9.TEX", SkinFileData("t9.tex", "language")},
                                                        {"t10.tex", SkinFileData("t10.tex", "language")}}));
        // Game.cod: everything.
        std::vector<std::pair<std::string, Bytes>> gameEntries = {{"Skin.cfg", SkinCfg("Buggy", "Gold", "gold")}};
        for (const char* f : kSkinFiles) gameEntries.push_back({f, SkinFileData(f, "game")});
        WriteBytes(game / "Game.cod", BuildArchive(gameEntries));

        for (const char* f : kSkinFiles) skinData[f] = SkinFileData(f, "game");
        skinData["t9.tex"] = SkinFileData("t9.tex", "language");
        skinData["t10.tex"] = SkinFileData("t10.tex", "disk");

        const std::string car = skinCfgOnDisk ? "Pickup" : "Big Truck";
        const std::string skin = skinCfgOnDisk ? "Night" : "Red Line";
        const std::string dir = skinCfgOnDisk ? "night" : "red_line";
        const std::string car0 = Section(0, CarKeys("Big Truck", "Blue", "blue", "1"));
        const std::string car1 = Section(1, CarKeys("Pickup", "Grey", "grey", "2"));
        const Bytes cfg = JoinSections({car0, car1});
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, car, skin) + kUpdated + CopyLines() + InstalledTail(skin));
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleOld(), cfg);
        EXPECT_EQ(VehicleCfg(),
                  skinCfgOnDisk
                      ? JoinSections({car0, Section(1, CarKeys("Pickup", "Grey,Night", "grey,night", "2"))})
                      : JoinSections({Section(0, CarKeys("Big Truck", "Blue,Red Line", "blue,red_line", "1")), car1}));
        ExpectSkinTree(skinCfgOnDisk ? "Pickup" : "Big_Truck", dir);
    }
}

// A damaged archive ends the run at registration: exit code -1, nothing
// printed after the banner, nothing written.
TEST_F(Installer, DamagedArchiveIsFatal) {
    // The header promises two records; the file ends 72 bytes short of them.
    const Bytes shortTable = ArchiveBuilder().Add("a.txt", "x").Add("b.txt", "y").TruncateTo(28 + 200).Build();
    const std::pair<const char*, Bytes> cases[] = {
        {"Language.cod", Bytes(27, 'L')},
        {"Game.cod", shortTable},
    };
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);
    for (const auto& [archive, bytes] : cases) {
        SCOPED_TRACE(archive);
        fs::remove(game / "Language.cod");
        fs::remove(game / "Game.cod");
        WriteBytes(game / archive, bytes);
        const Bytes regBefore = ReadBytes(registry);

        RunResult r = Run();
        EXPECT_EQ(r.output, Banner(r.output));
        EXPECT_EQ(r.exitCode, kFatalExitCode);
        EXPECT_EQ(ReadBytes(registry), regBefore);
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_FALSE(HasBackup());
        ExpectNoSkinTree();
    }
}

// One trailing backslash of the registered folder is cut; of two, one stays.
TEST_F(Installer, TrailingBackslashOfTheInstallPath) {
    for (const std::string suffix : {"\\", "\\\\"}) {
        SCOPED_TRACE(suffix);
        FreshGame();
        WriteSkin("Big Truck", "Red Line", "red line");
        WriteRegistry(game.string() + suffix);
        const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        const std::string shown = game.string() + suffix.substr(1);
        EXPECT_EQ(r.output, Banner(r.output) + "SkinFile:\t'Skin.cfg'\t( Big Truck / Red Line )\n" +
                                "\nGravelmax found:\t'" + shown + "'\n" + kUpdated + CopyLines() +
                                InstalledTail("Red Line"));
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleOld(), cfg);
        ExpectSkinTree("Big_Truck", "red_line");
    }
}

// Values go into the output and the configuration as they are.
TEST_F(Installer, PercentSignsAreCopiedUnchanged) {
    WriteSkin("Big %s Truck", "100% %d Red", "red %n line");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big %s Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output,
              Head(r.output, "Big %s Truck", "100% %d Red") + kUpdated + CopyLines() + InstalledTail("100% %d Red"));
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(),
              JoinSections({Section(0, CarKeys("Big %s Truck", "Blue,100% %d Red", "blue,red_%n_line"))}));
    ExpectSkinTree("Big_%s_Truck", "red_%n_line");
}

// ---------------------------------------------------------------------------
// Nothing may lose the vehicle configuration.

// Long values (each key line under 1024 characters) across many cars: over
// 1 MiB of configuration, backed up, replaced and restored whole.
TEST_F(Installer, OneMebibyteConfigurationIsCopiedWhole) {
    auto padded = [](KeyValues kv) {
        for (auto& [k, v] : kv)
            if (k != "Name" && k != "Color" && k != "DirName") v += std::string(950, static_cast<char>('a' + k.size()));
        return kv;
    };
    std::vector<std::string> before, after;
    for (int i = 0; i < 80; ++i) {
        std::string name = i == 79 ? "Big Truck" : "Car number " + std::to_string(i);
        before.push_back(Section(i, padded(CarKeys(name, "Blue", "blue", std::to_string(i)))));
        after.push_back(i == 79 ? Section(i, padded(CarKeys(name, "Blue,Red Line", "blue,red_line", std::to_string(i))))
                                : before.back());
    }
    const Bytes cfg = JoinSections(before);
    ASSERT_GT(cfg.size(), 1024u * 1024u);

    for (bool complete : {true, false}) {
        SCOPED_TRACE(complete ? "installed" : "rolled back");
        fs::remove_all(work);
        fs::create_directories(work);
        FreshGame();
        std::set<std::string> missing;
        if (!complete) missing.insert("t11.tex");
        WriteSkin("Big Truck", "Red Line", "red line", missing);
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines(missing) +
                                (complete ? InstalledTail("Red Line") : kCopyFailedTail));
        ExpectOrderlyEnd(r);
        EXPECT_TRUE(VehicleOld() == cfg) << "backup of " << VehicleOld().size() << " bytes";
        if (complete)
            EXPECT_TRUE(VehicleCfg() == JoinSections(after)) << "configuration of " << VehicleCfg().size() << " bytes";
        else
            EXPECT_TRUE(VehicleCfg() == cfg) << "restored configuration of " << VehicleCfg().size() << " bytes";
    }
}

// "vehicle.tmp" or the backup cannot be created (a folder stands in the way):
// a clear error line, the live configuration as it was, and the run ends as
// for a refused update.
TEST_F(Installer, UnwritableTemporaryOrBackupLeavesTheConfiguration) {
    struct Blocked {
        const char* label;
        fs::path folder;  // a folder where the file must go
        std::string error;
    };
    const Blocked cases[] = {
        {"vehicle.tmp", work / "vehicle.tmp", "\n***\tERROR: 'vehicle.tmp' can't be written!\n"},
        {"Vehicle.old", game / "Cfg" / "Vehicle.old",
         "\n***\tERROR: the backup '" + game.string() + "\\Cfg\\Vehicle.old' can't be written!\n"},
    };
    WriteSkin("Big Truck", "Red Line", "red line");
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(work / "vehicle.tmp");
        fs::remove_all(game / "Cfg" / "Vehicle.old");
        fs::create_directories(c.folder);
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + c.error + kRefusedTail);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(Marker(), std::optional<std::string>("IGEN :)"));
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_TRUE(fs::is_directory(c.folder));
        ExpectNoSkinTree();
    }
}

// Skin description values fit 255 characters; a longer one is refused
// before anything is written.
TEST_F(Installer, OverlongSkinDescriptionValueIsRefused) {
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    {
        SCOPED_TRACE("255 characters fit");
        const std::string skin(255, 'S');
        WriteSkin("Big Truck", skin, "red line");
        WriteVehicleCfg(cfg);
        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", skin) + kUpdated + CopyLines() + InstalledTail(skin));
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleCfg(), JoinSections({Section(0, CarKeys("Big Truck", "Blue," + skin, "blue,red_line"))}));
    }
    const std::pair<const char*, Bytes> cases[] = {
        {"Name", SkinCfg(std::string(256, 'N'), "Red Line", "red line")},
        {"SkinName", SkinCfg("Big Truck", std::string(256, 'S'), "red line")},
        {"SkinDirName", SkinCfg("Big Truck", "Red Line", std::string(300, 'd'))},
    };
    for (const auto& [key, skinCfg] : cases) {
        SCOPED_TRACE(key);
        fs::remove_all(game);
        fs::create_directories(game / "Cfg");
        WriteVehicleCfg(cfg);
        WriteBytes(work / "Skin.cfg", skinCfg);
        const Bytes regBefore = ReadBytes(registry);

        RunResult r = Run();
        EXPECT_EQ(r.output, Banner(r.output) + "SkinFile:\t'Skin.cfg'" + "\n\n***\tERROR: '" + key +
                                "' key in Skin.cfg skin file is longer than 255 characters!\n");
        EXPECT_EQ(r.exitCode, kFatalExitCode);
        EXPECT_EQ(ReadBytes(registry), regBefore);
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_FALSE(HasBackup());
        ExpectNoSkinTree();
    }
}

// The matched car's lists hold at most 100 items of at most 255 characters;
// beyond that the update is refused and the configuration left untouched.
TEST_F(Installer, OverlongSkinListsAreRefused) {
    const std::string space = "\n***\tERROR: Not enougth Skin space! NO MORE SKIN ALLOWED FOR THAT CAR!\n";
    auto tooLong = [](const char* key) {
        return "\n***\tERROR: an item of the '" + std::string(key) +
               "' list of the car is longer than 255 characters!\n";
    };
    struct Case {
        const char* label;
        std::string color, dirName;
        std::string error;
    };
    const Case cases[] = {
        {"100 items: too many skins", Items("C", 100), Items("d", 100), space},
        {"101 items", Items("C", 101), Items("d", 101),
         "\n***\tERROR: the 'Color' list of the car holds more than 100 items!\n"},
        {"101 directories", Items("C", 3), Items("d", 101),
         "\n***\tERROR: the 'DirName' list of the car holds more than 100 items!\n"},
        {"colour of 255 characters: too many skins", Items("C", 8) + "," + std::string(255, 'c'), Items("d", 9), space},
        {"colour of 256 characters", "Blue," + std::string(256, 'c'), "blue,x", tooLong("Color")},
        {"directory of 256 characters", "Blue,x", std::string(256, 'd') + ",blue", tooLong("DirName")},
    };
    WriteSkin("Big Truck", "Red Line", "red line");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Bytes cfg = JoinSections({Section(0, CarKeys("Buggy", "Red", "red", "1")),
                                        Section(1, CarKeys("Big Truck", c.color, c.dirName, "2"))});
        WriteVehicleCfg(cfg);

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + c.error + kRefusedTail);
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleCfg(), cfg);
        EXPECT_FALSE(HasBackup());
        ExpectNoSkinTree();
    }
}

// A key line of another car longer than any line buffer is carried over
// whole, never cut short.
TEST_F(Installer, LongLineOfAnotherCarIsCarriedOverWhole) {
    WriteSkin("Big Truck", "Red Line", "red line");
    KeyValues buggy = CarKeys("Buggy", "Red", "red", "1");
    buggy[1].second = "Buggy " + std::string(3000, 'L');
    const Bytes cfg = JoinSections({Section(0, buggy), Section(1, CarKeys("Big Truck", "Blue", "blue", "2"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines() + InstalledTail("Red Line"));
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), JoinSections({Section(0, buggy),
                                          Section(1, CarKeys("Big Truck", "Blue,Red Line", "blue,red_line", "2"))}));
    EXPECT_EQ(VehicleOld(), cfg);
}

// A target path too long for the file layer (over 255 characters): every
// copy fails visibly, the configuration is rolled back, and no file lands
// under a shortened name.
TEST_F(Installer, OverlongTargetPathFailsVisibly) {
    const std::string dir(240, 'd');
    WriteSkin("Big Truck", "Red Line", dir);
    const Bytes cfg = JoinSections({Section(0, CarKeys("Big Truck", "Blue", "blue"))});
    WriteVehicleCfg(cfg);

    RunResult r = Run();
    std::set<std::string> all(std::begin(kSkinFiles), std::end(kSkinFiles));
    EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines(all) + kCopyFailedTail);
    ExpectOrderlyEnd(r);
    EXPECT_EQ(VehicleCfg(), cfg);
    EXPECT_EQ(VehicleOld(), cfg);
    std::vector<fs::path> copied;
    if (fs::exists(game / "Car"))
        for (const auto& e : fs::recursive_directory_iterator(game / "Car"))
            if (e.is_regular_file()) copied.push_back(e.path());
    EXPECT_TRUE(copied.empty()) << copied.front();
}

// The live configuration served from an archive entry under its full name:
// the backup holds the entry's content, the rollback puts that back on disk.
TEST_F(Installer, ConfigurationFromAnArchiveEntryIsBackedUpWhole) {
    const std::string entryName = (game / "Cfg" / "Vehicle.cfg").generic_string();
    if (entryName.size() > 127) GTEST_SKIP() << "scratch folder too deep for an archive entry name";
    const std::string car0 = Section(0, CarKeys("Buggy", "Red", "red", "1"));
    const Bytes cfg = JoinSections({car0, Section(1, CarKeys("Big Truck", "Blue", "blue", "2"))});
    for (bool complete : {true, false}) {
        SCOPED_TRACE(complete ? "installed" : "rolled back");
        fs::remove_all(game);
        fs::create_directories(game);
        fs::remove_all(work);
        fs::create_directories(work);
        skinData.clear();
        std::set<std::string> missing;
        if (!complete) missing.insert("t9.tex.big.tga");
        WriteSkin("Big Truck", "Red Line", "red line", missing);
        // Other data on both sides of the entry, so a read from the wrong place shows.
        WriteBytes(
            game / "Game.cod",
            BuildArchive({{"before.txt", Bytes(5000, 'b')}, {entryName, cfg}, {"after.txt", Bytes(70000, 'a')}}));

        RunResult r = Run();
        EXPECT_EQ(r.output, Head(r.output, "Big Truck", "Red Line") + kUpdated + CopyLines(missing) +
                                (complete ? InstalledTail("Red Line") : kCopyFailedTail));
        ExpectOrderlyEnd(r);
        EXPECT_EQ(VehicleOld(), cfg);
        EXPECT_EQ(VehicleCfg(),
                  complete
                      ? JoinSections({car0, Section(1, CarKeys("Big Truck", "Blue,Red Line", "blue,red_line", "2"))})
                      : cfg);
    }
}

}  // namespace
