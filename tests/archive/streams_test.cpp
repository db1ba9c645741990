#include "archive/streams.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

using namespace tandex::archive;

namespace {

QByteArray pattern(int n) {
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return b;
}

// Both implementations must behave alike through the interface.
class StreamContract : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam())
            stream = std::make_unique<FileStream>(dir.filePath("f.bin"), fmCreate);
        else
            stream = std::make_unique<MemoryStream>();
    }
    QTemporaryDir dir;
    std::unique_ptr<Stream> stream;
};

}  // namespace

TEST_P(StreamContract, WriteSeekReadAndSize) {
    const QByteArray data = pattern(100000);
    stream->WriteBuffer(data.constData(), data.size());
    EXPECT_EQ(stream->Size(), 100000);
    EXPECT_EQ(stream->Position(), 100000);
    EXPECT_EQ(stream->Seek(-10, soEnd), 99990);
    EXPECT_EQ(stream->Seek(-90, soCurrent), 99900);
    QByteArray back(200, '\0');
    EXPECT_EQ(stream->Read(back.data(), 200), 100);  // short at the end
    EXPECT_EQ(back.left(100), data.mid(99900));
    EXPECT_EQ(stream->Read(back.data(), 1), 0);
    stream->SetPosition(99901);
    EXPECT_THROW(stream->ReadBuffer(back.data(), 100), StreamFilerError);
}

TEST_P(StreamContract, SetSizeTruncatesAndPullsBackThePosition) {
    const QByteArray data = pattern(5000);
    stream->WriteBuffer(data.constData(), data.size());
    stream->SetSize(1000);
    EXPECT_EQ(stream->Size(), 1000);
    EXPECT_EQ(stream->Position(), 1000);
    stream->SetSize(3000);
    stream->SetPosition(999);
    char two[2];
    stream->ReadBuffer(two, 2);
    EXPECT_EQ(two[0], data[999]);
    EXPECT_EQ(two[1], 0);  // grown part reads as zeros
}

TEST_P(StreamContract, BadSeeksRaiseIoErrorsAndKeepThePosition) {
    stream->WriteBuffer("abc", 3);
    struct Case {
        int64_t offset;
        int origin;
        int32_t code;
    };
    for (auto c : {Case{-1, soBeginning, 131}, Case{-4, soEnd, 131}, Case{-4, soCurrent, 131},
                   Case{0, 3, 87}}) {
        try {
            stream->Seek(c.offset, c.origin);
            ADD_FAILURE() << "seek " << c.offset << " from " << c.origin << " accepted";
        } catch (const StreamIoError& e) {
            EXPECT_EQ(e.ErrorCode(), c.code);
        }
        EXPECT_EQ(stream->Position(), 3);
    }
}

TEST_P(StreamContract, CopyFromZeroCopiesTheWholeSource) {
    MemoryStream source(pattern(70000));
    source.SetPosition(500);
    EXPECT_EQ(stream->CopyFrom(source, 0), 70000);
    MemoryStream back;
    back.LoadFromStream(*stream);
    EXPECT_EQ(back.Memory(), pattern(70000));
    source.SetPosition(10);
    stream->SetSize(0);
    EXPECT_EQ(stream->CopyFrom(source, 20), 20);
    EXPECT_EQ(stream->Size(), 20);
    EXPECT_THROW(stream->CopyFrom(source, 70000), StreamFilerError);
}

INSTANTIATE_TEST_SUITE_P(FileAndMemory, StreamContract, ::testing::Bool());

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
    MemoryStream s;
    s.Seek(4, soBeginning);
    s.WriteBuffer("x", 1);
    EXPECT_EQ(s.Memory(), QByteArray("\0\0\0\0x", 5));
}

TEST(FileStream, OpenModesAndErrors) {
    QTemporaryDir dir;
    const QString name = dir.filePath("a.bin");
    {
        FileStream s(name, fmCreate);
        s.WriteBuffer("hello", 5);
    }
    {
        FileStream s(name, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(s.Size(), 5);
        try {
            s.Write("x", 1);
            ADD_FAILURE() << "wrote to a read-only stream";
        } catch (const StreamIoError& e) {
            EXPECT_EQ(e.ErrorCode(), 6);
        }
    }
    {
        FileStream s(name, fmOpenReadWrite);
        s.Seek(0, soEnd);
        s.WriteBuffer("!", 1);
    }
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "hello!");
    {
        FileStream s(dir.filePath("shared.bin"), fmCreate | fmShareDenyWrite);  // still creates
        EXPECT_EQ(s.Write("ab", 2), 2);
    }
    EXPECT_EQ(QFileInfo(dir.filePath("shared.bin")).size(), 2);
    EXPECT_THROW(FileStream(dir.path(), fmOpenRead), FileOpenError);
    // A FIFO would block the open and never end; devices are not files.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(FileStream(fifo, fmOpenRead), FileOpenError);
    EXPECT_THROW(FileStream(fifo, fmOpenWrite), FileOpenError);
    EXPECT_THROW(FileStream("/dev/zero", fmOpenRead), FileOpenError);
}

TEST(FileStream, DiskFullIsAnIoErrorWithItsCode) {
    if (!QFile::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    FileStream s("/dev/full", fmOpenWrite);
    try {
        s.Write("x", 1);
        FAIL() << "write to a full device succeeded";
    } catch (const StreamIoError& e) {
        EXPECT_EQ(e.ErrorCode(), 112);
    }
}
