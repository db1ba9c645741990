#include "ui/folders/prescan.h"

#include "access/access_slots.h"
#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/ftp_hooks.h"
#include "access/http_requests.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "config/sys_helpers.h"

#include "tests/access/as_nobody.h"
#include "tests/access/ftp_test_profile.h"
#include "tests/access/local_servers.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace tandex::folders;
using tandex::engine::TScanItem;
using tandex::engine::TScanList;
namespace fz = tandex::access;
namespace config = tandex::config;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "prescan_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

void writeFile(const QString& path, qint64 size) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    f.write(QByteArray(size, 'x'));
}

// Tree entries: a name ending in "/" is a folder, anything else a file of
// the given size.
struct Node {
    const char* path;
    qint64 size = 1;
};

void makeTree(const QString& root, std::initializer_list<Node> nodes) {
    QDir().mkpath(root);
    for (const Node& n : nodes) {
        const QString p = root + "/" + n.path;
        if (p.endsWith('/'))
            QDir().mkpath(p);
        else
            writeFile(p, n.size);
    }
}

// 100 ns units since 1601 of a Unix time.
constexpr qint64 fileTime(qint64 seconds, qint64 nanoseconds) {
    return (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
}

void setMtime(const QString& path, qint64 seconds, qint64 nanoseconds) {
    const timespec times[2] = {{time_t(seconds), long(nanoseconds)}, {time_t(seconds), long(nanoseconds)}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(path).constData(), times, 0), 0) << qPrintable(path);
}

// One line per item, paths below the root: "D sub/" a folder item ("D ."
// the root's), "F sub/name" a file item, "F* sub/name" the file that opens
// its folder's files (kind 2).
QStringList dump(const TScanList& list, int rootPos) {
    QStringList lines;
    for (int i = 0; i < list.Count(); ++i) {
        const TScanItem& item = list[i];
        const QString rel = item.Name.mid(rootPos - 1);
        if (item.Kind == 1)
            lines << "D " + (rel.isEmpty() ? QString(".") : rel);
        else
            lines << (item.Kind == 2 ? "F* " : "F ") + rel + item.SecondName;
    }
    return lines;
}

// The same as a set with sizes, for walks whose order may differ.
std::set<QString> contents(const TScanList& list, int rootPos) {
    std::set<QString> lines;
    for (int i = 0; i < list.Count(); ++i) {
        const TScanItem& item = list[i];
        const QString rel = item.Name.mid(rootPos - 1);
        lines.insert(item.Kind == 1 ? "D " + rel
                                    : "F " + rel + item.SecondName + " " + QString::number(item.Size));
    }
    return lines;
}

struct Walked {
    std::unique_ptr<TScanList> list;
    int rootPos = 0;
    QStringList items;
};

class PreScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = config::AppSettings();
        TFolderCompareState& fc = FolderCompare();
        fc.RunState = rsOptions;
        fc.PreScanStop = false;
        fc.PreScanDone = false;
        fc.PreScanReport.Clear();
        PreScan().ResetCounters();
        PreScan().PreScanSubfolders = true;
        PreScan().PreScanThrottle = false;
    }
    void TearDown() override {
        config::AppSettings() = saved;
        FolderCompare().RunState = rsIdle;
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // The walk of root on its thread, joined; setup may change the fields.
    Walked walk(const QString& root, bool pairList = false,
                const std::function<void(TPreScanFolder&)>& setup = {}) {
        Walked w;
        w.list = std::make_unique<TScanList>(pairList);
        TPreScanFolder scan;
        scan.Root = root;
        scan.OtherRoot = "/right";
        scan.ScanList = w.list.get();
        if (setup) setup(scan);
        scan.Start();
        scan.Join();
        w.rootPos = scan.RootPos;
        w.items = dump(*w.list, w.rootPos);
        return w;
    }

    QTemporaryDir dir;
    config::TAppSettings saved;
};

TEST_F(PreScanTest, AnEmptyRootGivesItsFolderItemAlone) {
    QDir().mkpath(path("empty"));
    const Walked w = walk(path("empty"));
    ASSERT_EQ(w.list->Count(), 1);
    const TScanItem& item = (*w.list)[0];
    EXPECT_EQ(item.Kind, 1);
    EXPECT_EQ(item.Name, path("empty") + "/");
    EXPECT_EQ(item.Position, path("empty/").size() + 1);
    EXPECT_EQ(w.rootPos, item.Position);
    EXPECT_EQ(item.FolderPath, "/right/");
    EXPECT_TRUE(item.Label.isNull());
    EXPECT_TRUE(FolderCompare().PreScanDone);
    EXPECT_FALSE(FolderCompare().PreScanRunning);
    EXPECT_EQ(PreScan().PreScanFolders, 1);
    EXPECT_EQ(PreScan().PreScanFiles, 0);
    EXPECT_EQ(PreScan().PreScanDepth, 0);
    EXPECT_EQ(PreScan().PreScanKind, pkLocal);
    EXPECT_TRUE(FolderCompare().PreScanReport.Unlisted().empty());
}

TEST_F(PreScanTest, BothOrdersPlaceFolderItemsAndMarksAsTheyShould) {
    makeTree(path("t"), {{"b.txt", 2}, {"a/x.txt", 3}, {"c.txt", 4}, {"d/"}});
    struct Case {
        bool foldersFirst;
        QStringList expected;
    } cases[] = {
        {true, {"D a/", "F* a/x.txt", "D d/", "D .", "F* b.txt", "F c.txt"}},
        {false, {"D a/", "F a/x.txt", "D .", "F* b.txt", "F c.txt", "D d/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.foldersFirst);
        config::AppSettings().FCFldFirst = c.foldersFirst;
        PreScan().ResetCounters();
        const Walked w = walk(path("t"));
        EXPECT_EQ(w.items, c.expected);
        // A marked file carries its folder's context as a folder item does.
        for (int i = 0; i < w.list->Count(); ++i) {
            const TScanItem& item = (*w.list)[i];
            EXPECT_EQ(item.Position, item.Kind == 0 ? 0 : w.rootPos) << i;
            EXPECT_EQ(item.FolderPath, item.Kind == 0 ? QString() : "/right/") << i;
        }
        EXPECT_EQ(PreScan().PreScanFiles, 3);
        EXPECT_EQ(PreScan().PreScanFolders, 3);
        EXPECT_EQ(PreScan().PreScanBytes, 9);
    }
}

TEST_F(PreScanTest, SubfolderSwitchAndDepthLimitBoundTheWalk) {
    makeTree(path("t"), {{"f"}, {"s1/g"}, {"s1/s2/h"}});
    struct Case {
        bool subfolders, limit;
        int maxDepth;
        QStringList expected;
    } cases[] = {
        {false, false, 1, {"D .", "F* f"}},
        {true, true, 1, {"D s1/", "F* s1/g", "D .", "F* f"}},
        {true, true, 0, {"D .", "F* f"}},
        {true, false, 1, {"D s1/s2/", "F* s1/s2/h", "D s1/", "F* s1/g", "D .", "F* f"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.join(", ").toStdString());
        PreScan().PreScanSubfolders = c.subfolders;
        config::AppSettings().FCLimitRecScan = c.limit;
        config::AppSettings().FCMaxDepth = c.maxDepth;
        EXPECT_EQ(walk(path("t")).items, c.expected);
    }
}

TEST_F(PreScanTest, SizeTimeAttributeAndMaskFiltersKeepOnlyWhatPasses) {
    const qint64 t = 1'600'000'000;
    makeTree(path("t"), {{"k1023", 1023}, {"k1024", 1024}, {"old04", 2048}, {"old06", 2048},
                         {"new04", 2048}, {"new06", 2048}, {"ro", 2048}});
    for (const char* name : {"k1023", "k1024", "ro"}) setMtime(path("t/") + name, t, 0);
    setMtime(path("t/old04"), t - 1, 600'000'000);
    setMtime(path("t/old06"), t - 1, 400'000'000);
    setMtime(path("t/new04"), t, 400'000'000);
    setMtime(path("t/new06"), t, 600'000'000);
    ASSERT_EQ(::chmod(native(path("t/ro")).constData(), 0444), 0);

    struct Case {
        const char* name;
        std::function<void(config::TAppSettings&)> set;
        QString include, exclude;
        QStringList kept;
    } cases[] = {
        {"none", [](config::TAppSettings&) {}, "", "",
         {"k1023", "k1024", "new04", "new06", "old04", "old06", "ro"}},
        {"smaller than 1 KiB",
         [](config::TAppSettings& s) {
             s.FCExclSmaller = true;
             s.FCSmaller = 1;
             s.FCSmallerUnit = 1;
         },
         "", "", {"k1024", "new04", "new06", "old04", "old06", "ro"}},
        {"larger than 1 KiB",
         [](config::TAppSettings& s) {
             s.FCExclLarger = true;
             s.FCLarger = 1;
             s.FCLargerUnit = 1;
         },
         "", "", {"k1023", "k1024"}},
        {"older than an absolute time",
         [](config::TAppSettings& s) {
             s.FCUseDaysAgo = false;
             s.FCExclOlder = true;
             s.FCOlderTS = fileTime(t, 0);
         },
         "", "", {"k1023", "k1024", "new04", "new06", "old04", "ro"}},
        {"newer than an absolute time",
         [](config::TAppSettings& s) {
             s.FCUseDaysAgo = false;
             s.FCExclNewer = true;
             s.FCNewerTS = fileTime(t, 0);
         },
         "", "", {"k1023", "k1024", "new04", "old04", "old06", "ro"}},
        {"newer than days ago: all are older",
         [](config::TAppSettings& s) {
             s.FCExclNewer = true;
             s.FCNewerDays = 1;
         },
         "", "", {"k1023", "k1024", "new04", "new06", "old04", "old06", "ro"}},
        {"read-only excluded when not set", [](config::TAppSettings& s) { s.FCExclRdOnlyF = 2; }, "",
         "", {"ro"}},
        {"read-only excluded when set", [](config::TAppSettings& s) { s.FCExclRdOnlyF = 1; }, "", "",
         {"k1023", "k1024", "new04", "new06", "old04", "old06"}},
        {"masks", [](config::TAppSettings&) {}, "k*;ro", "*23", {"k1024", "ro"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config::AppSettings() = saved;
        c.set(config::AppSettings());
        const Walked w = walk(path("t"), false, [&](TPreScanFolder& s) {
            s.IncludeMasks = c.include;
            s.ExcludeMasks = c.exclude;
        });
        QStringList kept;
        for (int i = 0; i < w.list->Count(); ++i)
            if ((*w.list)[i].Kind != 1) kept << (*w.list)[i].SecondName;
        EXPECT_EQ(kept, c.kept);
    }
}

TEST_F(PreScanTest, AFolderWhoseFilesAreAllFilteredKeepsItsItemAfterItsSubfolders) {
    makeTree(path("t"), {{"f/z.tmp"}, {"f/sub/k.txt"}, {"skipme/q.txt"}, {".hid/h.txt"}});
    config::AppSettings().FCExclHiddenD = 1;
    const Walked w = walk(path("t"), false, [](TPreScanFolder& s) {
        s.ExcludeMasks = "*.tmp";
        s.ExcludedFolders = "skip*";
    });
    EXPECT_EQ(w.items, QStringList({"D f/sub/", "F* f/sub/k.txt", "D f/", "D ."}));
}

TEST_F(PreScanTest, PairListItemsCarryTheirLabelAndCounterpart) {
    makeTree(path("t"), {{"s/a"}, {"b"}});
    const Walked w = walk(path("t"), true, [](TPreScanFolder& s) {
        s.IncludeMasks = "*";
        s.ExcludeMasks = "*.tmp";
        s.ExcludedFolders = "none";
    });
    ASSERT_EQ(w.items, QStringList({"D s/", "F* s/a", "D .", "F* b"}));
    const TScanList& list = *w.list;
    EXPECT_EQ(list[0].Position, path("t/s/").size() + 1);
    EXPECT_EQ(list[0].Label, "* - *.tmp - none");
    EXPECT_EQ(list[0].FolderPath, "/right/s/");
    EXPECT_EQ(list[1].Position, w.rootPos);
    EXPECT_EQ(list[1].FolderPath, "/right/");
    EXPECT_EQ(list[2].Position, w.rootPos);
    EXPECT_EQ(list[2].Label, "* - *.tmp - none");
    EXPECT_EQ(list[2].FolderPath, "/right/");
    EXPECT_TRUE(list[3].Label.isNull());
}

TEST_F(PreScanTest, LinuxNamesLinksAndSpecialFilesAreWalkedLikeTheirTargets) {
    makeTree(path("t"), {{"..data/x", 5}, {"Src/y"}, {"src/z"}, {"a/"}});
    ASSERT_EQ(::symlink("../a", native(path("t/a/l")).constData()), 0);
    ASSERT_EQ(::symlink("..data/x", native(path("t/tofile")).constData()), 0);
    // Nothing ever writes to it: opening it for reading would wait forever.
    ASSERT_EQ(::mkfifo(native(path("t/fifo")).constData(), 0644), 0);
    const Walked w = walk(path("t"));
    EXPECT_EQ(w.items, QStringList({"D ..data/", "F* ..data/x", "D Src/", "F* Src/y", "D a/", "D src/",
                                    "F* src/z", "D .", "F* fifo", "F tofile"}));
    EXPECT_EQ((*w.list)[9].Size, 5);
    EXPECT_EQ((*w.list)[8].Size, 0);
    const auto unlisted = FolderCompare().PreScanReport.Unlisted();
    ASSERT_EQ(unlisted.size(), 1u);
    EXPECT_EQ(unlisted[0].Path, path("t/a/l/"));
    EXPECT_EQ(unlisted[0].Code, 1921);
}

TEST_F(PreScanTest, AnUnreadableSubfolderIsReportedWithItsCode) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    makeTree(path("t"), {{"locked/h"}, {"ok"}});
    ASSERT_EQ(::chmod(native(path("t/locked")).constData(), 0), 0);
    const Walked w = walk(path("t"));
    ::chmod(native(path("t/locked")).constData(), 0700);
    EXPECT_EQ(w.items, QStringList({"D .", "F* ok"}));
    const auto unlisted = FolderCompare().PreScanReport.Unlisted();
    ASSERT_EQ(unlisted.size(), 1u);
    EXPECT_EQ(unlisted[0].Path, path("t/locked/"));
    EXPECT_EQ(unlisted[0].Code, 5);
    EXPECT_EQ(PreScan().PreScanFolders, 1);
}

TEST_F(PreScanTest, ThrottleSleepsAfterTheFolderAndEachEntryButSizeRejectedFiles) {
    makeTree(path("t"), {{"a", 2}, {"empty", 0}, {"s/c"}});
    config::AppSettings().FCFldFirst = false;
    config::AppSettings().FCExclSmaller = true;
    config::AppSettings().FCSmaller = 1;
    TScanList list(false);
    TPreScanFolder scan;
    scan.Root = path("t");
    scan.ScanList = &list;
    std::vector<int> sleeps;
    scan.Sleep = [&](int ms) { sleeps.push_back(ms); };
    scan.Prepare();
    PreScan().PreScanThrottle = true;
    scan.Execute();
    // t, a, (empty rejected), s: its folder and c, then s as an entry of t.
    EXPECT_EQ(sleeps, std::vector<int>(5, 100));
}

TEST_F(PreScanTest, SettingsChangedDuringAWalkDoNotReachIt) {
    makeTree(path("t"), {{"a", 0}, {"b", 5}, {"s/c", 5}});
    TScanList list(false);
    TPreScanFolder scan;
    scan.Root = path("t");
    scan.ScanList = &list;
    scan.Sleep = [](int) {
        config::TAppSettings& s = config::AppSettings();
        s.FCExclSmaller = true;
        s.FCSmaller = 1;
        s.FCExclRdOnlyF = 2;
        s.FCFldFirst = false;
        s.FCUseFPL = true;
    };
    scan.Prepare();
    PreScan().PreScanThrottle = true;
    scan.Execute();
    EXPECT_EQ(dump(list, scan.RootPos), QStringList({"D s/", "F* s/c", "D .", "F* a", "F b"}));
    EXPECT_TRUE(list[0].Label.isNull());
}

TEST_F(PreScanTest, StopsEndTheWalkAfterTheCurrentEntry) {
    makeTree(path("t"), {{"a"}, {"b"}, {"c"}, {"d"}});
    config::AppSettings().FCFldFirst = false;
    struct Case {
        const char* name;
        std::function<void()> atSecondSleep;
        int itemLimit;
        QStringList expected;
        bool cut;
    } cases[] = {
        {"stop request", [] { FolderCompare().PreScanStop = true; }, kPreScanItemLimit, {"D .", "F a"}, false},
        {"window closed", [] { FolderCompare().RunState = rsIdle; }, kPreScanItemLimit, {"D .", "F a"}, false},
        {"item limit", [] {}, 2, {"D .", "F a", "F b"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderCompare().RunState = rsOptions;
        FolderCompare().PreScanReport.Clear();
        FolderCompare().PreScanDone = false;
        PreScan().ResetCounters();
        TScanList list(false);
        TPreScanFolder scan;
        scan.Root = path("t");
        scan.ScanList = &list;
        scan.ItemLimit = c.itemLimit;
        int sleeps = 0;
        scan.Sleep = [&](int) {
            if (++sleeps == 2) c.atSecondSleep();
        };
        scan.Prepare();
        PreScan().PreScanThrottle = true;
        std::thread thread([&] { scan.Execute(); });
        thread.join();
        EXPECT_EQ(dump(list, scan.RootPos), c.expected);
        EXPECT_TRUE(FolderCompare().PreScanDone);
        EXPECT_FALSE(FolderCompare().PreScanRunning);
        EXPECT_EQ(FolderCompare().PreScanReport.Cut(), c.cut);
    }
}

// Every numbered folder has files before and after its subfolders, so that
// in mixed order a file opens its folder's files again (kind 2) after them.
TEST_F(PreScanTest, AConsumerBehindTheWalkSeesEveryPublishedItemWhole) {
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 3; ++j) {
            const QString folder = path("big/%1/%2/").arg(i).arg(QString(j, 'm'));
            for (int k = 0; k < 8; ++k) {
                writeFile(folder + QString("a%1").arg(k), k);
                writeFile(folder + QString("z%1").arg(k), k);
            }
        }
    config::AppSettings().FCFldFirst = false;
    struct Seen {
        int kind, position;
        QString name, secondName, counterpart;
        qint64 size;
    };
    std::vector<Seen> seen;
    TScanList list(false);
    TPreScanFolder scan;
    scan.Root = path("big");
    scan.OtherRoot = "/right";
    scan.ScanList = &list;
    scan.Start();
    // The comparison's side of the hand-over: read up to the published
    // count, copy each item, never wait for the walk to end.
    auto consume = [&] {
        for (int n = list.Count(); int(seen.size()) < n;) {
            const TScanItem& item = list[int(seen.size())];
            seen.push_back({item.Kind, item.Position, item.Name, item.SecondName, item.FolderPath, item.Size});
        }
    };
    while (FolderCompare().PreScanRunning) consume();
    scan.Join();
    consume();
    ASSERT_EQ(int(seen.size()), list.Count());
    EXPECT_EQ(PreScan().PreScanFiles, 60 * 3 * 16);
    int marked = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        const TScanItem& item = list[int(i)];
        EXPECT_EQ(seen[i].kind, item.Kind) << i;
        EXPECT_EQ(seen[i].position, item.Position) << i;
        EXPECT_EQ(seen[i].name, item.Name) << i;
        EXPECT_EQ(seen[i].secondName, item.SecondName) << i;
        EXPECT_EQ(seen[i].counterpart, item.FolderPath) << i;
        EXPECT_EQ(seen[i].size, item.Size) << i;
        marked += item.Kind == 2;
    }
    EXPECT_EQ(marked, 60);
}

TEST_F(PreScanTest, TheFileItemsOfLinuxHeadersAreWhatFindLists) {
    ASSERT_TRUE(tandex::testing::RunShell("cp -r /usr/include/linux linux", dir.path()));
    const Walked w = walk(path("linux"));
    std::set<QString> walked;
    for (int i = 0; i < w.list->Count(); ++i)
        if ((*w.list)[i].Kind != 1) walked.insert((*w.list)[i].Name + (*w.list)[i].SecondName);
    QProcess find;
    find.start("find", {"-L", path("linux"), "-type", "f"});
    ASSERT_TRUE(find.waitForFinished(60000));
    std::set<QString> found;
    for (const QString& line : QString::fromUtf8(find.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        found.insert(line);
    EXPECT_GT(found.size(), 100u);
    EXPECT_EQ(walked, found);
    EXPECT_EQ(PreScan().PreScanFiles, int(found.size()));
}

// ---- remote roots ----------------------------------------------------------

// A tree without names that differ only in letter case (archives and the
// cloud service match names without case).
void makeRemoteTree(const QString& root) {
    makeTree(root, {{"top.txt", 3}, {"..data/x.txt", 4}, {"deep/er/w.bin", 7}, {"deep/v", 2}, {"empty/"}});
}

class PreScanRemoteTest : public PreScanTest {
protected:
    static void SetUpTestSuite() { app(); }

    // The local walk of the same tree, for comparison.
    std::set<QString> localContents(const QString& root) {
        const Walked w = walk(root);
        PreScan().ResetCounters();
        return contents(*w.list, w.rootPos);
    }
    // A remote walk, with this thread waiting as the folder window does.
    std::set<QString> remoteContents(const QString& root, int* kind = nullptr) {
        TScanList list(false);
        TPreScanFolder scan;
        scan.Root = root;
        scan.ScanList = &list;
        scan.Start();
        while (FolderCompare().PreScanRunning) config::WaitWithMessages(50);
        scan.Join();
        EXPECT_EQ(scan.OpenResult, 0);
        EXPECT_EQ(scan.Slot, fz::FZNoSlot);
        if (kind) *kind = PreScan().PreScanKind;
        return contents(list, scan.RootPos);
    }
};

TEST_F(PreScanRemoteTest, AZipOfTheTreeListsTheSameFiles) {
    makeRemoteTree(path("tree"));
    ASSERT_TRUE(tandex::testing::RunShell("zip -qr ../t.zip .", path("tree")));
    int kind = -1;
    const auto remote = remoteContents(path("t.zip"), &kind);
    EXPECT_EQ(kind, pkArchive);
    EXPECT_EQ(remote.count("F ..data/x.txt 4"), 1u);
    EXPECT_EQ(remote, localContents(path("tree")));
}

TEST_F(PreScanRemoteTest, AnFtpServerOfTheTreeListsTheSameFiles) {
    makeRemoteTree(path("tree"));
    tandex::testing::LocalServer server(
        "/usr/bin/python3", {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_server.py", "--root",
                             path("tree"), "--user", "u:p"});
    ASSERT_GT(server.port(), 0);
    tandex::testing::UseLocalFtpProfile(server.port());
    int kind = -1;
    const auto remote = remoteContents("ftp://u@127.0.0.1/", &kind);
    fz::FZSetFtpSiteHooks({}, {});
    EXPECT_EQ(kind, pkFtp);
    EXPECT_EQ(remote.count("F ..data/x.txt 4"), 1u);
    EXPECT_EQ(remote, localContents(path("tree")));
}

TEST_F(PreScanRemoteTest, TheCloudServiceWithTheTreeListsTheSameFiles) {
    ASSERT_TRUE(tandex::testing::MakeCertificates(dir.path(), "cloud"));
    fz::FZAddCaCertificates(QSslCertificate::fromPath(path("cloud-ca.pem")));
    tandex::testing::CloudEmulator emulator(dir.path(), "cloud");
    ASSERT_GT(emulator.port(), 0);
    makeRemoteTree(emulator.root() + "/tree");
    fz::TDropbox1& client = fz::FZCloudClient();
    client.SetAppKey(tandex::testing::CloudEmulator::AppKey);
    client.SetAppSecret(tandex::testing::CloudEmulator::AppSecret);
    fz::TDropboxEndpoints endpoints;
    endpoints.api = endpoints.content = endpoints.authorize = emulator.base();
    client.SetEndpoints(endpoints);
    QString url;
    ASSERT_EQ(fz::FZCloudAuthorize(url), 0);
    fz::THttpRequest visit;
    visit.url = QUrl(url);
    ASSERT_EQ(fz::FZHttpRun(visit).code, 0);
    ASSERT_EQ(fz::FZCloudGrant(), 0);

    int kind = -1;
    const auto remote = remoteContents("dbox:///tree/", &kind);
    fz::FZSetCloudGranted(false);
    client.SetToken(QString(), QString());
    fz::FZForgetTrustedCertificates();
    EXPECT_EQ(kind, pkCloud);
    EXPECT_EQ(remote.count("F ..data/x.txt 4"), 1u);
    EXPECT_EQ(remote, localContents(emulator.root() + "/tree"));
}

}  // namespace
