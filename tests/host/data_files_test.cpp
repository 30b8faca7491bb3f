// Where the demo finds its files: the working directory first, then
// ../share/korvanthe beside the executable, then the executable's folder,
// file by file; and the lines that tell the user about it. Temporary folders
// stand for an installed tree (prefix/bin, prefix/share/korvanthe) and a
// working directory elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/data_files.h"
#include "tests/support/process_id.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;
using testing::processId;

class DataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        // Normal form, as the search gives its folders (Windows' temporary
        // folder ends in a separator).
        root = (fs::temp_directory_path() / ("korvanthe-data-files-" + std::to_string(processId())))
                   .lexically_normal();
        fs::remove_all(root);
        fs::create_directories(work());
        fs::create_directories(bin());
        fs::create_directories(share());
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path work() const { return root / "work"; }
    fs::path bin() const { return root / "prefix" / "bin"; }
    fs::path share() const { return root / "prefix" / "share" / "korvanthe"; }

    static void touch(const fs::path& path) { std::ofstream(path) << "x"; }

    DataFileSearch find(const std::vector<std::string>& names) const {
        return findDataFiles(names, work(), bin());
    }

    fs::path root;
};

TEST_F(DataFiles, EachFileComesFromTheFirstFolderThatHasIt) {
    touch(work() / "random.scp");
    touch(share() / "random.scp");
    touch(share() / "soundtrack.xm");
    touch(bin() / "soundtrack.xm");
    touch(bin() / "gridtile.tga");
    const DataFileSearch search = find({"random.scp", "soundtrack.xm", "gridtile.tga", "a.raw"});

    ASSERT_EQ(search.folders.size(), 3u);
    EXPECT_EQ(search.folders[1], share());
    EXPECT_EQ(search.folders[2], bin());
    struct Expected {
        int folder;
        std::string path;
    };
    const Expected expected[] = {
        {0, "random.scp"}, // the working directory's own: opened by its bare name
        {1, (share() / "soundtrack.xm").string()},
        {2, (bin() / "gridtile.tga").string()},
        {-1, "a.raw"}, // nowhere: the bare name, whose reading then fails
    };
    ASSERT_EQ(search.files.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(search.files[i].name);
        EXPECT_EQ(search.files[i].folder, expected[i].folder);
        EXPECT_EQ(search.files[i].path, expected[i].path);
    }
    // A folder by the file's name is not a file.
    fs::create_directories(work() / "picture0.raw");
    touch(share() / "picture0.raw");
    EXPECT_EQ(find({"picture0.raw"}).files[0].folder, 1);
}

TEST_F(DataFiles, NothingIsSaidWhenTheWorkingDirectoryHasEverything) {
    touch(work() / "soundtrack.xm");
    touch(work() / "random.scp");
    touch(share() / "random.scp");
    EXPECT_TRUE(describeDataFileSearch(find({"soundtrack.xm", "random.scp"})).empty());
}

TEST_F(DataFiles, OneLineSaysWhereTheFilesCameFromAndOneWhichAreMissing) {
    const std::string shareText = share().string();
    const std::string binText = bin().string();

    touch(share() / "soundtrack.xm");
    touch(share() / "random.scp");
    EXPECT_EQ(describeDataFileSearch(find({"soundtrack.xm", "random.scp"})),
              std::vector<std::string>{"reading its files from " + shareText});

    touch(work() / "random.scp");
    touch(bin() / "gridtile.tga");
    EXPECT_EQ(
        describeDataFileSearch(
            find({"soundtrack.xm", "random.scp", "gridtile.tga", "a.raw", "b.raw"})),
        (std::vector<std::string>{
            "reading soundtrack.xm from " + shareText + "; gridtile.tga from " + binText,
            "a.raw, b.raw not found in the working directory, " + shareText + " or " + binText}));
}

TEST_F(DataFiles, AFolderThatIsTheWorkingDirectoryIsSearchedOnce) {
    // The demo started in its own folder (a build tree, an unpacked archive).
    const DataFileSearch inBin = findDataFiles({"soundtrack.xm"}, bin(), bin());
    ASSERT_EQ(inBin.folders.size(), 2u);
    EXPECT_EQ(inBin.folders[1], share());
    EXPECT_EQ(describeDataFileSearch(inBin),
              std::vector<std::string>{"soundtrack.xm not found in the working directory or " +
                                       share().string()});
    // The same folder spelt another way is still the same folder.
    const DataFileSearch spelt = findDataFiles({"x"}, share(), bin() / ".." / "bin");
    ASSERT_EQ(spelt.folders.size(), 2u);
    EXPECT_EQ(spelt.folders[1], bin());

    // No executable folder (tests, the capture tool): the working directory only.
    const DataFileSearch alone = findDataFiles({"soundtrack.xm"}, work(), fs::path());
    EXPECT_EQ(alone.folders.size(), 1u);
    EXPECT_EQ(describeDataFileSearch(alone),
              std::vector<std::string>{"soundtrack.xm not found in the working directory"});
}

} // namespace
} // namespace korvanthe
