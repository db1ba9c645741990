#include "access/locations.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tandex::access;

TEST(Locations, ClassifiesEveryLocationForm) {
    struct Case {
        const char* path;
        TFZLocation location;
    };
    const Case cases[] = {
        {"", locNone},
        {"ftp://user@host/dir/a.txt", locFtp},
        {"FTP://user@host/dir/a.txt", locNone},  // the ftp scheme is compared in lower case
        {"HTTP://example.org/a", locWeb},
        {"SFTP://user@host/a", locNone},
        {"sftp://user@host/a", locSftp},
        {"scp://user@host/a", locScp},
        {"dbox:///Docs/a.txt", locCloud},
        {"DBox:///Docs/a.txt", locCloud},
        {"http://example.org/a.html", locWeb},
        {"HTTPS://example.org/a.html", locWeb},
        {"https://example.org/", locWeb},
        {"//server/share/dir/a.txt", locShare},
        {"//server/share", locShare},
        {"//server/", locLocal},  // a server without a share
        {"///server/share", locLocal},
        {"/home/user/a.txt", locLocal},
        {"relative/a.txt", locLocal},
        {"\\\\server\\share\\a.txt", locLocal},  // backslashes are ordinary characters
        {"C:\\dir\\a.txt", locLocal},
        {"/tmp/odd/ftp://x", locNone},  // a scheme mark in the middle
    };
    for (const auto& c : cases)
        EXPECT_EQ(FZClassifyPath(c.path), c.location) << c.path;
}

TEST(Locations, PathPredicates) {
    bool https = true;
    EXPECT_TRUE(FZIsHttpPath("http://h/x", &https));
    EXPECT_FALSE(https);
    EXPECT_TRUE(FZIsHttpPath("HTTPS://h/x", &https));
    EXPECT_TRUE(https);
    EXPECT_FALSE(FZIsHttpPath("http:/", &https));
    EXPECT_FALSE(FZIsCloudPath("dbox:/"));
    EXPECT_TRUE(FZIsCloudPath("dbox://"));
    EXPECT_EQ(FZCloudPath("dbox:///Docs/a.txt"), "/Docs/a.txt");
    QString server;
    EXPECT_TRUE(FZIsUncPath("//nas01/media/x", &server));
    EXPECT_EQ(server, "nas01");
    EXPECT_FALSE(FZIsUncPath("//nas01//media"));
    EXPECT_FALSE(FZIsUncPath("//a/"));
}

TEST(Locations, RootsFoldersAndJoins) {
    EXPECT_EQ(FZPathRoot("ftp://user@host/dir/a.txt"), "ftp://user@host/");
    EXPECT_EQ(FZPathRoot("sftp://user@host"), "sftp://user@host/");
    EXPECT_EQ(FZPathRoot("//srv/share/a/b"), "//srv/share/");
    EXPECT_EQ(FZPathRoot("/home/a"), "/");

    EXPECT_EQ(FZNormalizedFolder("ftp://u@h\\dir"), "ftp://u@h/dir/");
    EXPECT_EQ(FZNormalizedFolder("/a/b"), "/a/b/");
    EXPECT_EQ(FZNormalizedFolder("/a/b/"), "/a/b/");
    EXPECT_EQ(FZNormalizedFolder("//srv/share/x"), "//srv/share/x/");
    EXPECT_EQ(FZNormalizedFolder("sub\\name"), QDir::currentPath() + "/sub\\name/");

    struct Case {
        const char *a, *b, *joined;
    };
    const Case cases[] = {
        {"/a/", "/b", "/a/b"}, {"/a/", "b", "/a/b"}, {"/a", "/b", "/a/b"}, {"/a", "b", "/a/b"}};
    for (const auto& c : cases)
        EXPECT_EQ(FZJoinPath(c.a, c.b, '/'), c.joined) << c.a << " + " << c.b;
}

class MountTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile f(dir.filePath("mountinfo"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
            "40 22 0:40 / /mnt/media rw shared:5 - cifs //NAS/Media rw,vers=3.1.1\n"
            "41 22 0:41 / /mnt/home rw - nfs4 fs1:/export/home rw\n"
            "42 22 0:42 / /mnt/box rw - fuse.sshfs user@box:/srv rw\n"
            "43 22 0:43 / /mnt/my\\040disk rw - cifs //nas/Other\\040Share rw\n"
            "44 22 0:44 / /mnt/v6 rw - nfs [fe80::1]:/data rw\n"
            "garbage line\n");
        f.close();
        FZSetMountTableSource(f.fileName());
    }
    void TearDown() override { FZSetMountTableSource(QString()); }
    QTemporaryDir dir;
};

TEST_F(MountTable, SharesResolveToTheirMountPoints) {
    struct Case {
        const char* share;
        const char* local;  // nullptr: not mounted
    };
    const Case cases[] = {
        {"//nas/media/movies/a.mkv", "/mnt/media/movies/a.mkv"},  // SMB ignores letter case
        {"//fs1/export/home/u/x.txt", "/mnt/home/u/x.txt"},
        {"//fs1/Export/home/u", nullptr},  // NFS does not
        {"//box/srv/www", "/mnt/box/www"},
        {"//nas/Other Share/f", "/mnt/my disk/f"},
        {"//fe80::1/data/x", "/mnt/v6/x"},
        {"//other/share/x", nullptr},
        {"//nas/mediaextra/x", nullptr},
    };
    for (const auto& c : cases) {
        QString local;
        EXPECT_EQ(FZLocalPathOf(c.share, local), c.local != nullptr) << c.share;
        if (c.local) {
            EXPECT_EQ(local, c.local) << c.share;
        }
    }
}

TEST_F(MountTable, PathsOnNetworkFileSystemsAreShares) {
    EXPECT_EQ(FZClassifyPath("/mnt/media/a.txt"), locShare);
    EXPECT_EQ(FZShareHost("/mnt/media/a.txt"), "NAS");
    EXPECT_EQ(FZShareHost("//srv/share/a"), "srv");
    EXPECT_EQ(FZPathRoot("/mnt/home/u/x"), "/mnt/home/");
    EXPECT_EQ(FZClassifyPath("/mnt/mediaextra/a.txt"), locLocal);
    EXPECT_EQ(FZClassifyPath("/home/user/a.txt"), locLocal);
    EXPECT_EQ(FZShareHost("/home/user/a.txt"), "");
}
