#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "CfgReader.h"
#include "FffArchive.h"
#include "FileCore.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

// A reader in a scratch folder that is also the working folder.
class CfgReaderTest : public ::testing::Test {
protected:
    ScratchDir dir;
    WorkingDir cwd{dir.path()};
    std::unique_ptr<CfgReader> reader = std::make_unique<CfgReader>();

    void SetUp() override { ResetArchives(); }
    void TearDown() override {
        reader.reset();
        CloseArchives();
    }

    void File(const char* name, const std::string& text) { WriteBytes(dir / name, text); }

    std::string Look(const char* file, const char* section, const char* key) {
        std::strcpy(reader->FileName, file);
        std::strcpy(reader->Section, section);
        std::strcpy(reader->Key, key);
        reader->Lookup();
        EXPECT_EQ(reader->ValueLength, std::strlen(reader->Value));
        return reader->Value;
    }
};

const char* const kWorkedExample =
    "[Car0]\r\n"
    "Name=Alpha\r\n"
    "LongName=Alpha Sport\r\n"
    "Color=Red,Blue\r\n"
    "[Car1]\r\n"
    "LongName=Beta Classic\r\n"
    "Name=Beta\r\n"
    "Power=120";

struct LookupCase {
    const char* section;
    const char* key;
    const char* value;
};

}  // namespace

TEST_F(CfgReaderTest, WorkedExampleInAnyOrder) {
    File("cars.cfg", kWorkedExample);
    const LookupCase cases[] = {
        {"Car0", "Name", "Alpha"},       // the first Name= after the header
        {"Car0", "Color", "Red,Blue"},   // commas included
        {"Car1", "Name", "Beta Classic"},  // the tail of LongName= comes first
        {"Car1", "Power", "120"},        // runs to the end of the text
        {"Car0", "Power", ""},           // only after the end of Car0
        {"Car2", "Name", ""},            // no such header
        {"car0", "Name", ""},            // names are case-sensitive
        {"Car0", "Name", "Alpha"},       // back again, from the cache
    };
    for (const LookupCase& c : cases)
        EXPECT_EQ(Look("cars.cfg", c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST_F(CfgReaderTest, SectionAndKeyEdges) {
    File("edges.cfg",
         "Note=see [Car3] below\r\n"
         "[Car1]\r\n"
         "Name=A[1]\r\n"
         "Power=90\r\n"
         "Spaced = x\r\n"
         "After= lead\r\n"
         "Empty=\r\n"
         "[Car10]\r\n"
         "Name=Ten\r\n"
         "[Car3]\r\n"
         "Name=Three\r\n"
         "[T]\r\n"
         "Tab=t\t[x]\r\n"
         "Later=yes\r\n");
    const LookupCase cases[] = {
        {"Car1", "Power", "90"},     // "[" inside a value does not end the section
        {"Car1", "Name", "A[1]"},
        {"Car10", "Name", "Ten"},    // the "]" keeps Car1 and Car10 apart
        {"Car1", "Spaced", ""},      // a blank before "=" hides the key
        {"Car1", "Spaced ", " x"},
        {"Car1", "After", " lead"},  // a blank after "=" belongs to the value
        {"Car1", "Empty", ""},
        {"Car3", "Name", ""},        // header text first stands inside a value: taken there
        {"T", "Tab", "t\t[x]"},
        {"T", "Later", ""},          // a "[" after a tab ends the section
    };
    for (const LookupCase& c : cases)
        EXPECT_EQ(Look("edges.cfg", c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST_F(CfgReaderTest, HeaderAtEndAndSectionWithBracketInName) {
    File("tail.cfg", "[A]\r\nk=1\r\n[B]");
    EXPECT_EQ(Look("tail.cfg", "B", "k"), "");
    EXPECT_EQ(Look("tail.cfg", "A", "k"), "1");
    File("odd.cfg", "[x]y]\r\nk=2\r\n");
    EXPECT_EQ(Look("odd.cfg", "x]y", "k"), "2");
}

TEST_F(CfgReaderTest, EmptyFileGivesNoValue) {
    File("empty.cfg", "");
    EXPECT_EQ(Look("empty.cfg", "Car0", "Name"), "");
    EXPECT_EQ(reader->ValueLength, 0u);
}

TEST_F(CfgReaderTest, EmptySectionOrKeyKeepsThePreviousResult) {
    File("a.cfg", "[S]\r\nk=keep\r\n");
    EXPECT_EQ(Look("a.cfg", "S", "k"), "keep");
    EXPECT_EQ(Look("a.cfg", "S", ""), "keep");
    EXPECT_EQ(Look("a.cfg", "", "k"), "keep");
    EXPECT_EQ(reader->ValueLength, 4u);
}

TEST_F(CfgReaderTest, ValueStopsAtLoneLineFeed) {
    File("lf.cfg", "[S]\nk=one\nm=two\n");
    EXPECT_EQ(Look("lf.cfg", "S", "k"), "one");
    EXPECT_EQ(Look("lf.cfg", "S", "m"), "two");
}

TEST_F(CfgReaderTest, OverlongValueIsCutAtBufferSize) {
    std::string longValue(20000, 'v');
    File("long.cfg", "[S]\r\nk=" + longValue + "\r\n");
    std::string got = Look("long.cfg", "S", "k");
    EXPECT_EQ(got, std::string(CFG_VALUE_SIZE - 1, 'v'));
    EXPECT_EQ(reader->ValueLength, CFG_VALUE_SIZE - 1);
}

TEST_F(CfgReaderTest, UnterminatedNameFieldFindsNothing) {
    File("a.cfg", "[S]\r\nk=1\r\n");
    EXPECT_EQ(Look("a.cfg", "S", "k"), "1");
    std::memset(reader->Section, 'S', CFG_NAME_SIZE);  // no terminator at all
    reader->Lookup();
    EXPECT_EQ(reader->ValueLength, 0u);
    EXPECT_STREQ(reader->Value, "");
}

TEST_F(CfgReaderTest, CacheKeepsTextUntilFileNameChanges) {
    File("one.cfg", "[S]\r\nk=first\r\n");
    File("two.cfg", "[S]\r\nk=other\r\n");
    EXPECT_EQ(Look("one.cfg", "S", "k"), "first");
    File("one.cfg", "[S]\r\nk=changed\r\n");
    EXPECT_EQ(Look("one.cfg", "S", "k"), "first");    // same name: not read again
    EXPECT_EQ(Look("two.cfg", "S", "k"), "other");
    EXPECT_EQ(Look("one.cfg", "S", "k"), "changed");  // switched back: read again
    File("one.cfg", "[S]\r\nk=third\r\n");
    EXPECT_EQ(Look("ONE.cfg", "S", "k"), "third");    // another spelling is another file
}

TEST_F(CfgReaderTest, ReadsAFileFromARegisteredArchive) {
    const std::string text = "[SKINAPPEND]\r\nName=Packed Car\r\n";
    std::string archive(24, '\0');
    auto le32 = [](std::uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
        return s;
    };
    archive += le32(136);
    std::string name = "data/Skin.cfg";
    name.resize(128, '\0');
    archive += name + le32(28 + 136) + le32(static_cast<std::uint32_t>(text.size()));
    archive += text + "[Other]\r\nName=trailing bytes\r\n";
    File("pack.cod", archive);
    RegisterFFF("pack.cod");
    EXPECT_EQ(Look("DATA\\skin.cfg", "SKINAPPEND", "Name"), "Packed Car");
}

TEST_F(CfgReaderTest, LinearWalkFindsEverySection) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "[Car" + std::to_string(i) + "]\r\nName=N" + std::to_string(i) + "\r\nColor=c\r\n\r\n";
    File("many.cfg", text);
    for (int i = 0; i < 3000; i += 7)
        ASSERT_EQ(Look("many.cfg", ("Car" + std::to_string(i)).c_str(), "Name"), "N" + std::to_string(i));
}

TEST(CfgReaderFatal, MissingFileEndsTheProcess) {
    EXPECT_EXIT(
        {
            CfgReader r;
            std::strcpy(r.FileName, "no-such-file.cfg");
            std::strcpy(r.Section, "S");
            std::strcpy(r.Key, "k");
            r.Lookup();
        },
        ::testing::ExitedWithCode(kFatalExitCode), "");
}
