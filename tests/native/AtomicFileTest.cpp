// A file is written whole or not at all: what was under the name stays after a failure, and no
// temporary file is left behind.
#include "Polypad/AtomicFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        FDir = fs::temp_directory_path() /
               (std::string("polypad-atomic-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    void TearDown() override { fs::remove_all(FDir); }
    int Entries() const
    {
        return static_cast<int>(std::distance(fs::directory_iterator(FDir), fs::directory_iterator()));
    }
    fs::path FDir;
};

TEST_F(AtomicFile, WritesAndReplacesWhole)
{
    const fs::path target = FDir / u8"каталог.csv";
    WriteFileAtomically(target, "first");
    EXPECT_EQ(Read(target), "first");
    WriteFileAtomically(target, "\xEF\xBB\xBFsecond\r\n");
    EXPECT_EQ(Read(target), "\xEF\xBB\xBFsecond\r\n");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(AtomicFile, FailureLeavesNoFileAndNoTemporary)
{
    // A folder that does not exist: nothing is created.
    EXPECT_THROW(WriteFileAtomically(FDir / "missing" / "a.txt", "x"), EFileWrite);
    EXPECT_EQ(Entries(), 0);
    // The name is a non-empty folder's: the rename fails, the folder stays, the temporary goes.
    fs::create_directory(FDir / "taken.html");
    std::ofstream(FDir / "taken.html" / "inside") << "kept";
    try {
        WriteFileAtomically(FDir / "taken.html", "<html></html>");
        ADD_FAILURE() << "a folder was replaced";
    } catch (const EFileWrite& e) {
        EXPECT_NE(std::string(e.what()).find("taken.html"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Entries(), 1);
    EXPECT_EQ(Read(FDir / "taken.html" / "inside"), "kept");
}

} // namespace
