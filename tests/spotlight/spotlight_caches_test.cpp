// Where the harvest looks for Spotlight caches: below LOCALAPPDATA where it is set, else on
// every mounted file system of a mount table that the test writes over a fake tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "spotlight/spotlight_harvest.h"
#include "support/scratch_folder.h"
#include "util/utf16_text.h"

namespace {

namespace fs = std::filesystem;

const std::string kCache =
    "AppData/Local/Packages/Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/LocalState/"
    "Assets";

// Sets or unsets an environment variable for the life of the object.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string mountLine(const std::string& device, const std::string& point, const char* type) {
    return device + " " + point + " " + type + " rw,relatime 0 0\n";
}

// The mount table's way of writing a blank inside a field.
std::string escaped(const fs::path& path) {
    std::string text = path.string();
    for (size_t at; (at = text.find(' ')) != std::string::npos;) text.replace(at, 1, "\\040");
    return text;
}

std::vector<std::string> utf8(const std::vector<std::u16string>& paths) {
    std::vector<std::string> out;
    for (const auto& path : paths) out.push_back(utf16ToUtf8(path));
    return out;
}

TEST(FindSpotlightCaches, HarvestsEveryCacheOnEveryMountedWindowsSystem) {
    ScratchFolder scratch;
    const fs::path wsl = scratch.makeFolder("mnt/c");
    const fs::path dualBoot = scratch.makeFolder("media/ana/Windows System");
    const fs::path data = scratch.makeFolder("mnt/data");
    scratch.makeFolder("mnt/c/Users/ana/" + kCache);
    scratch.makeFolder("mnt/c/Users/bob/" + kCache);
    scratch.makeFolder("mnt/c/Users/Public/AppData/Local");  // a user without a cache
    scratch.writeFile("mnt/c/Users/desktop.ini");            // a file among the users
    scratch.makeFolder("media/ana/Windows System/Users/carl/" + kCache);
    scratch.makeFolder("mnt/data/Music");  // a mounted disk that is no Windows system
    // The same partition mounted a second time holds no second cache.
    const fs::path bind = scratch.path() / "srv/c";
    fs::create_directories(bind.parent_path());
    fs::create_directory_symlink(wsl, bind);
    const fs::path table = scratch.writeFile(
        "mounts", mountLine("proc", "/proc", "proc") +
                      mountLine("/dev/sda3", wsl.string(), "ntfs3") +
                      mountLine("/dev/sdb1", data.string(), "ext4") +
                      mountLine("/dev/nvme0n1p3", escaped(dualBoot), "fuseblk") +
                      mountLine("/dev/sda3", bind.string(), "ntfs3") + "a broken line\n\n");
    EnvironmentVariable noLocalAppData("LOCALAPPDATA", nullptr);

    const auto caches = FindSpotlightCaches(toU16(table));

    EXPECT_EQ(utf8(caches),
              (std::vector<std::string>{(wsl / "Users/ana" / kCache).string(),
                                        (wsl / "Users/bob" / kCache).string(),
                                        (dualBoot / "Users/carl" / kCache).string()}));
}

TEST(FindSpotlightCaches, NoneWhereNoMountedSystemHasOne) {
    ScratchFolder scratch;
    const fs::path table = scratch.writeFile("mounts", mountLine("/dev/sda1", "/", "ext4"));
    EnvironmentVariable noLocalAppData("LOCALAPPDATA", nullptr);
    EXPECT_TRUE(FindSpotlightCaches(toU16(table)).empty());
    EXPECT_TRUE(FindSpotlightCaches(toU16(scratch.path() / "no-such-table")).empty());
}

TEST(FindSpotlightCaches, LocalAppDataWinsOverTheMountedSystems) {
    ScratchFolder scratch;
    const fs::path wsl = scratch.makeFolder("mnt/c");
    scratch.makeFolder("mnt/c/Users/ana/" + kCache);
    const fs::path table = scratch.writeFile("mounts", mountLine("C:", wsl.string(), "9p"));
    EnvironmentVariable localAppData("LOCALAPPDATA", "/profiles/ana/AppData/Local");

    EXPECT_EQ(utf8(FindSpotlightCaches(toU16(table))),
              std::vector<std::string>{"/profiles/ana/AppData/Local/Packages/"
                                       "Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/"
                                       "LocalState/Assets"});
}

}  // namespace
