#include "archive/spill_streams.h"

#include <gtest/gtest.h>

#include "killed_child.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace tandex::archive;

namespace {

QByteArray pattern(int64_t n, uint32_t seed = 1) {
    QByteArray b(static_cast<qsizetype>(n), Qt::Uninitialized);
    uint32_t x = seed;
    for (char& c : b) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return b;
}

QStringList swapFiles(const QString& dir) {
    return QDir(dir).entryList({"VMS*"}, QDir::Files);
}

}  // namespace

TEST(VirtualMemoryStream, SpillsPastItsMemoryLimitAndCleansUp) {
    QTemporaryDir dir;
    const QByteArray data = pattern(10 * 1024 * 1024 + 123);
    {
        TArcVirtualMemoryStream s;
        s.SwapFileDirectory = dir.path();
        // Written in odd-sized chunks so writes straddle page boundaries.
        for (qsizetype at = 0; at < data.size(); at += 5000)
            s.WriteBuffer(data.constData() + at, std::min<qsizetype>(5000, data.size() - at));
        EXPECT_EQ(s.Size(), data.size());
        EXPECT_LE(s.ResidentPages(), 2048);
        // In use, the swap file has no name in its folder: nothing could
        // be left there by a program that is killed now.
        ASSERT_GE(s.SwapFileHandle(), 0);
        EXPECT_TRUE(swapFiles(dir.path()).isEmpty());
        EXPECT_TRUE(s.SwapFileName().startsWith(dir.path() + "/VMS"));
        struct stat st {};
        ASSERT_EQ(::fstat(s.SwapFileHandle(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u);
        EXPECT_GT(st.st_size, 0);

        s.SetPosition(0);
        QByteArray back(data.size(), Qt::Uninitialized);
        s.ReadBuffer(back.data(), back.size());
        EXPECT_TRUE(back == data);
        // Random access across the spilled and resident parts.
        for (qsizetype at : {qsizetype(4095), qsizetype(4 * 1024 * 1024 + 7), data.size() - 10}) {
            char two[2];
            s.SetPosition(at);
            s.ReadBuffer(two, 2);
            EXPECT_EQ(two[0], data[at]);
            EXPECT_EQ(two[1], data[at + 1]);
        }
    }
    EXPECT_TRUE(swapFiles(dir.path()).isEmpty());
}

TEST(VirtualMemoryStream, ReadsStopAtTheEndAndSpanPages) {
    TArcVirtualMemoryStream s;
    const QByteArray data = pattern(10000);
    s.WriteBuffer(data.constData(), data.size());
    char buf[16];
    s.SetPosition(10000);
    EXPECT_EQ(s.Read(buf, 16), 0);
    s.SetPosition(20000);
    EXPECT_EQ(s.Read(buf, 16), 0);
    s.SetPosition(4090);
    EXPECT_EQ(s.Read(buf, 12), 12);
    EXPECT_EQ(QByteArray(buf, 12), data.mid(4090, 12));
    s.SetPosition(9995);
    EXPECT_EQ(s.Read(buf, 16), 5);
    // A write past the end leaves a zero gap.
    s.SetPosition(12000);
    s.WriteBuffer("z", 1);
    s.SetPosition(10500);
    s.ReadBuffer(buf, 1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(s.Size(), 12001);
}

TEST(VirtualMemoryStream, SeekRulesAndMemoryLimits) {
    TArcVirtualMemoryStream s;
    try {
        s.Seek(0, 3);
        FAIL() << "origin 3 accepted";
    } catch (const EArcVMSInvalidOrigin& e) {
        EXPECT_EQ(e.Message(), "VMS: invalid origin 3, should be 0, 1, 2");
        EXPECT_EQ(e.ErrorCode(), 101);
    }
    EXPECT_EQ(s.Seek(100, soBeginning), 100);  // past the end is fine
    EXPECT_THROW(s.Seek(-1, soBeginning), StreamIoError);
    EXPECT_THROW(s.Seek(-101, soCurrent), StreamIoError);
    EXPECT_EQ(s.Position(), 100);
    s.SetMaxMemToUse(0);
    EXPECT_EQ(s.MaxMemToUse(), 4096);
    s.SetMaxMemToUse(100 * 1024 * 1024);
    EXPECT_EQ(s.MaxMemToUse(), 2048 * 4096);
    s.SetMaxMemToUse(4097);
    EXPECT_EQ(s.MaxMemToUse(), 2 * 4096);
}

TEST(VirtualMemoryStream, OnePageLimitStillKeepsEveryByte) {
    QTemporaryDir dir;
    TArcVirtualMemoryStream s;
    s.SwapFileDirectory = dir.path();
    s.SetMaxMemToUse(0);
    const QByteArray data = pattern(50000, 9);
    s.WriteBuffer(data.constData(), data.size());
    EXPECT_EQ(s.ResidentPages(), 1);
    // Overwrite a stretch in the middle, then read everything back.
    s.SetPosition(20000);
    s.WriteBuffer("0123456789", 10);
    QByteArray expected = data;
    expected.replace(20000, 10, "0123456789");
    s.SetPosition(0);
    QByteArray back(data.size(), Qt::Uninitialized);
    s.ReadBuffer(back.data(), back.size());
    EXPECT_TRUE(back == expected);
}

TEST(VirtualMemoryStream, ShrinkingForgetsTheCutOffBytes) {
    QTemporaryDir dir;
    TArcVirtualMemoryStream s;
    s.SwapFileDirectory = dir.path();
    s.SetMaxMemToUse(2 * 4096);
    const QByteArray data = pattern(40000, 3);
    s.WriteBuffer(data.constData(), data.size());
    s.SetSize(5000);
    EXPECT_EQ(s.Size(), 5000);
    EXPECT_EQ(s.Position(), 5000);
    s.SetSize(40000);
    QByteArray back(40000, Qt::Uninitialized);
    s.SetPosition(0);
    s.ReadBuffer(back.data(), back.size());
    EXPECT_TRUE(back.left(5000) == data.left(5000));
    EXPECT_EQ(back.mid(5000), QByteArray(35000, '\0'));
    // Growing by a write far past the end: the cut-off pages that once went
    // to the swap file read as zeros, also after the new page went there.
    s.SetSize(5000);
    s.SetPosition(39000);
    s.WriteBuffer("x", 1);
    s.SetPosition(0);
    s.ReadBuffer(back.data(), 39001);
    EXPECT_TRUE(back.left(5000) == data.left(5000));
    EXPECT_EQ(back.mid(5000, 34000), QByteArray(34000, '\0'));
    EXPECT_EQ(back[39000], 'x');
    s.SetSize(0);
    s.SetSize(10);
    char z[10];
    s.SetPosition(0);
    s.ReadBuffer(z, 10);
    EXPECT_EQ(QByteArray(z, 10), QByteArray(10, '\0'));
}

TEST(VirtualMemoryStream, BehavesLikeAMemoryStreamUnderRandomEdits) {
    // Writes, reads, cuts and memory limits in random order against the
    // plain memory stream as the model; small limits force every page
    // through the swap file again and again.
    QTemporaryDir dir;
    std::mt19937 rng(3);
    for (int round = 0; round < 40; ++round) {
        TArcVirtualMemoryStream s;
        s.SwapFileDirectory = dir.path();
        s.SetMaxMemToUse((rng() % 4) * 4096);
        MemoryStream model;
        for (int op = 0; op < 300; ++op) {
            const unsigned kind = rng() % 10;
            if (kind < 4) {
                const int64_t at = rng() % 40000;
                const QByteArray data = pattern(rng() % 9000, rng());
                s.SetPosition(at);
                model.SetPosition(at);
                s.WriteBuffer(data.constData(), data.size());
                model.WriteBuffer(data.constData(), data.size());
            } else if (kind < 8) {
                const int64_t at = rng() % 45000, count = rng() % 9000;
                QByteArray got(count, '\0'), expected(count, '\0');
                s.SetPosition(at);
                model.SetPosition(at);
                ASSERT_EQ(s.Read(got.data(), count), model.Read(expected.data(), count));
                ASSERT_TRUE(got == expected) << "round " << round << " op " << op;
            } else if (kind == 8) {
                const int64_t size = rng() % 45000;
                s.SetSize(size);
                model.SetSize(size);
            } else {
                s.SetMaxMemToUse((rng() % 5) * 4096);
            }
            ASSERT_EQ(s.Size(), model.Size());
        }
    }
}

TEST(VirtualMemoryStream, EvictsTheLeastRecentlyUsedPage) {
    // Pages 0 and 10 fill a two-page memory; the page used last before page
    // 20 arrives stays, so the swap file ends behind the evicted one.
    struct Case {
        const char* name;
        bool touchFirstPage;  // read page 0 again before page 20 comes in
        int64_t swapSize;
    };
    const Case cases[] = {
        {"untouched first page goes", false, 4096},
        {"re-read first page stays", true, 11 * 4096},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        TArcVirtualMemoryStream s;
        s.SwapFileDirectory = dir.path();
        s.SetMaxMemToUse(2 * 4096);
        s.SetPosition(0);
        s.WriteBuffer("a", 1);
        s.SetPosition(10 * 4096);
        s.WriteBuffer("b", 1);
        if (c.touchFirstPage) {
            char one;
            s.SetPosition(0);
            s.ReadBuffer(&one, 1);
        }
        EXPECT_TRUE(s.SwapFileName().isEmpty()) << c.name;
        s.SetPosition(20 * 4096);
        s.WriteBuffer("c", 1);
        ASSERT_FALSE(s.SwapFileName().isEmpty()) << c.name;
        struct stat st {};
        ASSERT_EQ(::fstat(s.SwapFileHandle(), &st), 0) << c.name;
        EXPECT_EQ(st.st_size, c.swapSize) << c.name;
        EXPECT_EQ(s.ResidentPages(), 2) << c.name;
        char back[3];
        for (int i = 0; i < 3; ++i) {
            s.SetPosition(i * 10 * 4096);
            s.ReadBuffer(back + i, 1);
        }
        EXPECT_EQ(QByteArray(back, 3), "abc") << c.name;
    }
}

TEST(VirtualMemoryStream, LargeTransfersAroundResidentPagesMatchAMemoryStream) {
    // Stretches of many pages, unaligned, over a full memory: whole pages go
    // to and from the swap file directly, resident ones in between must win,
    // and pages never written read as zeros.
    QTemporaryDir dir;
    TArcVirtualMemoryStream s;
    s.SwapFileDirectory = dir.path();
    s.SetMaxMemToUse(3 * 4096);
    MemoryStream model;
    struct Step {
        int64_t at;
        int64_t count;
        bool write;
    };
    const Step steps[] = {
        {1000, 300000, true},   {50000, 7, true},      {0, 400000, false},
        {500000, 90000, true},  {250000, 300000, false}, {4096, 8192, true},
        {123, 600000, false},   {300001, 200000, true}, {0, 600000, false},
    };
    uint32_t seed = 5;
    for (const Step& step : steps) {
        s.SetPosition(step.at);
        model.SetPosition(step.at);
        if (step.write) {
            const QByteArray data = pattern(step.count, ++seed);
            s.WriteBuffer(data.constData(), data.size());
            model.WriteBuffer(data.constData(), data.size());
        } else {
            QByteArray got(step.count, '\0'), expected(step.count, '\0');
            ASSERT_EQ(s.Read(got.data(), step.count), model.Read(expected.data(), step.count));
            ASSERT_TRUE(got == expected) << "read at " << step.at;
        }
        EXPECT_LE(s.ResidentPages(), 3);
        ASSERT_EQ(s.Size(), model.Size());
    }
}

TEST(VirtualMemoryStream, UnusableSwapFolderFallsBackToTheTemporaryFolder) {
    TArcVirtualMemoryStream s;
    s.SwapFileDirectory = "/no/such/folder";
    s.SetMaxMemToUse(0);
    const QByteArray data = pattern(9000);
    s.WriteBuffer(data.constData(), data.size());
    EXPECT_TRUE(s.SwapFileName().startsWith(QDir::tempPath() + "/VMS"));
}

TEST(VirtualMemoryStream, KilledWhileSpilledLeavesNoSwapFile) {
    QTemporaryDir dir;
    EXPECT_TRUE(tandex::testing::KilledWhere([&](const std::function<void()>& reached) {
        TArcVirtualMemoryStream s;
        s.SwapFileDirectory = dir.path();
        s.SetMaxMemToUse(4096);
        const QByteArray data = pattern(4 << 20);
        s.WriteBuffer(data.constData(), data.size());
        if (s.SwapFileHandle() >= 0) reached();
    }));
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST(VirtualMemoryStream, SpillStopsWithDiskFullBeforeTheReserveOfItsVolume) {
    // A volume of 1 GiB + 8 MiB keeps 1 GiB (more than its 5 %) free: about
    // 8 MiB may spill there, then the stream refuses with 112.
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 ||
        ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1032m,mode=0700") != 0)
        GTEST_SKIP() << "a tmpfs cannot be mounted here";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mountPoint};
    TArcVirtualMemoryStream s;
    s.SwapFileDirectory = dir.path();
    s.SetMaxMemToUse(4096);
    const QByteArray chunk = pattern(1 << 20);
    int64_t written = 0;
    int32_t code = 0;
    try {
        for (int i = 0; i < 64; ++i) {
            s.WriteBuffer(chunk.constData(), chunk.size());
            written += chunk.size();
        }
    } catch (const StreamIoError& e) {
        code = e.ErrorCode();
        EXPECT_EQ(e.Message(), "There is not enough space on the volume");
    }
    EXPECT_EQ(code, 112);
    EXPECT_GE(written, int64_t(6) << 20);
    EXPECT_LE(written, int64_t(8) << 20);
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(mountPoint.constData(), &vfs), 0);
    EXPECT_GE(int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize), int64_t(1) << 30);
}

TEST(BitBucketStream, KeepsOnlyTheLastStretch) {
    TArcBitBucketStream s(4096);
    EXPECT_EQ(s.BufSize(), 5120);
    const QByteArray data = pattern(100000, 5);
    s.WriteBuffer(data.constData(), 60000);
    s.WriteBuffer(data.constData() + 60000, 40000);  // wraps the ring
    EXPECT_EQ(s.Size(), 100000);
    EXPECT_EQ(s.Position(), 100000);
    EXPECT_EQ(s.Seek(95000, soBeginning), 95000);
    QByteArray back(4000, Qt::Uninitialized);
    s.ReadBuffer(back.data(), back.size());
    EXPECT_TRUE(back == data.mid(95000, 4000));
    EXPECT_EQ(s.Position(), 99000);
    EXPECT_THROW(s.Seek(90000, soBeginning), EArcBBSSeekOutsideBuffer);
    EXPECT_THROW(s.Seek(100001, soBeginning), EArcBBSSeekOutsideBuffer);
    EXPECT_THROW(s.Seek(0, 7), EArcBBSInvalidOrigin);
    EXPECT_EQ(s.Seek(-100, soEnd), 99900);
    EXPECT_EQ(s.Write("", 0), 0);  // back at the end, as every write
    EXPECT_EQ(s.Position(), 100000);
    EXPECT_EQ(s.Seek(0, soEnd), 100000);
    try {
        s.Seek(-10, soEnd);
        char buf[11];
        s.Read(buf, 11);
        FAIL() << "read past the written bytes";
    } catch (const EArcBBSReadTooManyBytes& e) {
        EXPECT_EQ(e.Message(), "BBS: request to read too many bytes [11]");
    }
    std::vector<char> big(6000);
    EXPECT_THROW(s.Read(big.data(), 6000), EArcBBSReadTooManyBytes);
}

TEST(BitBucketStream, SizesAndEarlySeeks) {
    EXPECT_EQ(TArcBitBucketStream(1000).BufSize(), 33792);
    EXPECT_EQ(TArcBitBucketStream(8192).BufSize(), 9216);
    TArcBitBucketStream s(8192);
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Seek(1, soBeginning), 1);
    char two[2];
    s.ReadBuffer(two, 2);
    EXPECT_EQ(QByteArray(two, 2), "bc");
    EXPECT_THROW(s.Seek(-1, soBeginning), EArcBBSSeekOutsideBuffer);
    // One write larger than the ring keeps its last part.
    const QByteArray data = pattern(30000, 11);
    s.WriteBuffer(data.constData(), data.size());
    s.Seek(-9000, soEnd);
    QByteArray back(9000, Qt::Uninitialized);
    s.ReadBuffer(back.data(), back.size());
    EXPECT_TRUE(back == data.right(9000));
}
