#include "archive/archive_base.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tandex::archive;

namespace {

// A small format for the edit cycle: "FAKE", then per item a 16-bit name
// length, the UTF-8 name, a 32-bit data length and the data.
class FakeItem : public TArcArchiveItem {
public:
    int64_t DataOffset = 0;
};

class FakeArchive : public TArcArchive {
public:
    using TArcArchive::TArcArchive;

    int saves = 0;
    bool failSave = false;

    std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileSpec) override {
        auto item = std::make_unique<FakeItem>();
        item->DiskFileName = fileSpec;
        item->SetFileName(FixName(fileSpec));
        return item;
    }

    void ExtractItemAt(int, const QString&) override {}

    void ExtractItemToStreamAt(int index, Stream& stream) override {
        auto* item = static_cast<FakeItem*>(ItemList().Items(index));
        if (item->GetFileName() == "corrupt") throw EArcZipBadCRC();
        if (item->GetFileName() == "abort") throw EArcUserAbort();
        GetStream()->SetPosition(item->DataOffset);
        QByteArray data(static_cast<qsizetype>(item->GetUncompressedSize()), Qt::Uninitialized);
        GetStream()->ReadBuffer(data.data(), data.size());
        stream.WriteBuffer(data.constData(), data.size());
    }

    void LoadArchive() override {
        Stream& s = *GetStream();
        if (s.Size() == 0) return;
        s.SetPosition(0);
        char magic[4];
        s.ReadBuffer(magic, 4);
        if (QByteArray(magic, 4) != "FAKE") throw EArcBadStream();
        while (s.Position() < s.Size()) {
            uint16_t nameLen = 0;
            s.ReadBuffer(&nameLen, 2);
            QByteArray name(nameLen, Qt::Uninitialized);
            s.ReadBuffer(name.data(), nameLen);
            uint32_t size = 0;
            s.ReadBuffer(&size, 4);
            auto item = std::make_unique<FakeItem>();
            item->SetFileName(QString::fromUtf8(name));
            item->SetUncompressedSize(size);
            item->DataOffset = s.Position();
            if (s.Size() - s.Position() < size) throw StreamFilerError("Stream read error");
            s.Seek(size, soCurrent);
            ItemList().Add(std::move(item));
        }
    }

    void SaveArchive() override {
        ++saves;
        if (failSave) throw StreamIoError("disk full", 112);
        MemoryStream out;
        out.WriteBuffer("FAKE", 4);
        std::vector<int64_t> offsets(static_cast<size_t>(GetCount()), 0);
        for (int i = 0; i < GetCount(); ++i) {
            auto* item = static_cast<FakeItem*>(ItemList().Items(i));
            QByteArray data;
            switch (item->Action) {
                case iaDelete:
                case iaFailed:
                    continue;
                case iaNone:
                case iaMove: {
                    data.resize(static_cast<qsizetype>(item->GetUncompressedSize()));
                    GetStream()->SetPosition(item->DataOffset);
                    GetStream()->ReadBuffer(data.data(), data.size());
                    break;
                }
                case iaStreamAdd: {
                    MemoryStream copy;
                    copy.LoadFromStream(*item->SourceStream);
                    data = copy.Memory();
                    break;
                }
                default: {
                    QFile f(ResolveDiskName(item->DiskFileName));
                    if (!f.open(QIODevice::ReadOnly)) throw FileOpenError("cannot open");
                    data = f.readAll();
                }
            }
            const QByteArray name = item->GetFileName().toUtf8();
            const auto nameLen = static_cast<uint16_t>(name.size());
            const auto size = static_cast<uint32_t>(data.size());
            out.WriteBuffer(&nameLen, 2);
            out.WriteBuffer(name.constData(), name.size());
            out.WriteBuffer(&size, 4);
            offsets[static_cast<size_t>(i)] = out.Position();
            out.WriteBuffer(data.constData(), data.size());
            item->SetUncompressedSize(size);
        }
        GetStream()->SetSize(0);
        GetStream()->SetPosition(0);
        out.SaveToStream(*GetStream());
        for (int i = GetCount() - 1; i >= 0; --i) {
            auto* item = static_cast<FakeItem*>(ItemList().Items(i));
            if (item->Action == iaDelete) {
                ItemList().Delete(i);
                continue;
            }
            item->DataOffset = offsets[static_cast<size_t>(i)];
            item->SourceStream.reset();
            if (item->Action != iaFailed) item->Action = iaNone;
        }
    }

    void TestItemAt(int) override {}
};

struct NullHelper : TArcArchiveStreamHelper {
    NullHelper() : TArcArchiveStreamHelper(nullptr) {}
    void ExtractItemData(Stream&) override {}
    bool FindFirstItem() override { return false; }
    bool FindNextItem() override { return false; }
    void ReadHeader() override {}
    void ReadTail() override {}
    bool SeekItem(int) override { return false; }
    void WriteArchiveHeader() override {}
    void WriteArchiveItem(Stream&) override {}
    void WriteArchiveTail() override {}
    int32_t GetItemCount() override { return 0; }
};

struct Failure {
    QString name;
    TArcProcessType type;
    TArcErrorClass cls;
    int32_t code;
};

class ArchiveBase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString& name) const { return dir.path() + "/" + name; }

    void write(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    // Wires the events into the fixture's records.
    void watch(TArcArchive& a) {
        a.OnProcessItemFailure = [this](TArcArchive&, TArcArchiveItem* item, TArcProcessType t,
                                        TArcErrorClass c, int32_t code) {
            failures.push_back({item ? item->GetFileName() : QString(), t, c, code});
        };
        a.OnConfirmSave = [this](TArcArchive&, bool& confirm) {
            ++saveQuestions;
            confirm = allowSave;
        };
    }

    static QByteArray extract(TArcArchive& a, const QString& name) {
        MemoryStream out;
        a.ExtractToStream(name, out);
        return out.Memory();
    }

    static std::shared_ptr<Stream> mem(const QByteArray& data) {
        return std::make_shared<MemoryStream>(data);
    }

    QTemporaryDir dir;
    std::vector<Failure> failures;
    int saveQuestions = 0;
    bool allowSave = true;
};

}  // namespace

TEST_F(ArchiveBase, EditCycleMarksThenSavesAndReloads) {
    write("one.txt", "first");
    write("two.txt", "second");
    {
        FakeArchive a(path("a.fake"), fmCreate);
        watch(a);
        a.SetBaseDirectory(dir.path());
        a.Add(a.CreateItem("one.txt"));
        a.Add(a.CreateItem("two.txt"));
        EXPECT_EQ(a.GetCount(), 2);
        EXPECT_EQ(a.ItemList().Items(0)->Action, iaAdd);
        EXPECT_TRUE(a.IsDirty);
        EXPECT_EQ(a.saves, 0);                           // AutoSave is off: only marked
        a.AddFromStream("mem.bin", mem("from memory"));  // saves at once
        EXPECT_EQ(a.saves, 1);
        EXPECT_FALSE(a.IsDirty);
        EXPECT_EQ(a.ItemList().Items(2)->Action, iaNone);
        EXPECT_EQ(a.InStream, nullptr);
    }
    FakeArchive b(path("a.fake"), fmOpenReadWrite);
    watch(b);
    b.SetBaseDirectory(dir.path());
    b.Load();
    ASSERT_EQ(b.GetCount(), 3);
    EXPECT_EQ(extract(b, "ONE.TXT"), "first");
    EXPECT_EQ(extract(b, "mem.bin"), "from memory");

    b.Move(b.ItemList().Items(0), "renamed.txt");
    b.DeleteAt(b.FindFile("two.txt"));
    b.SaveIfChanged();
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(b.GetCount(), 2);
    EXPECT_EQ(b.FindFile("one.txt"), -1);
    EXPECT_EQ(extract(b, "renamed.txt"), "first");
    EXPECT_EQ(b.FindFile("two.txt"), -1);
}

TEST_F(ArchiveBase, SaveIfChangedWritesOnlyChangedOrNewArchives) {
    // Loaded with items, unchanged: nothing happens.
    write("one.txt", "1");
    {
        FakeArchive a(path("a.fake"), fmCreate);
        a.SetBaseDirectory(dir.path());
        a.AutoSave = true;
        a.Add(a.CreateItem("one.txt"));
        EXPECT_EQ(a.saves, 1);
    }
    {
        FakeArchive a(path("a.fake"), fmOpenReadWrite);
        watch(a);
        a.Load();
        a.SaveIfChanged();
        EXPECT_EQ(saveQuestions, 0);
        EXPECT_EQ(a.saves, 0);
    }
    // A new archive without items asks and is written.
    {
        FakeArchive a(path("new.fake"), fmCreate);
        watch(a);
        a.SaveIfChanged();
        EXPECT_EQ(saveQuestions, 1);
        EXPECT_EQ(a.saves, 1);
        a.SaveIfChanged();  // no longer new
        EXPECT_EQ(a.saves, 1);
    }
    EXPECT_EQ(QFileInfo(path("new.fake")).size(), 4);
    // A loaded archive that lists no items is left alone when untouched.
    saveQuestions = 0;
    {
        FakeArchive a(path("new.fake"), fmOpenReadWrite);
        watch(a);
        a.Load();
        EXPECT_EQ(a.GetCount(), 0);
        a.SaveIfChanged();
        EXPECT_EQ(saveQuestions, 0);
        EXPECT_EQ(a.saves, 0);
    }
    // A refused save leaves the change pending.
    {
        FakeArchive a(path("a.fake"), fmOpenReadWrite);
        watch(a);
        a.Load();
        allowSave = false;
        a.DeleteAt(0);
        a.SaveIfChanged();
        EXPECT_EQ(a.saves, 0);
        EXPECT_TRUE(a.IsDirty);
        EXPECT_EQ(a.ItemList().Items(0)->Action, iaDelete);
    }
}

TEST_F(ArchiveBase, DuplicateNamesAreReportedWithCodeSeven) {
    write("one.txt", "1");
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.SetBaseDirectory(dir.path());
    a.AddFromStream("x.bin", mem("old"));
    a.AddFromStream("X.BIN", mem("new"));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].type, ptAdd);
    EXPECT_EQ(failures[0].cls, ecArchive);
    EXPECT_EQ(failures[0].code, 7);
    EXPECT_EQ(a.GetCount(), 1);
    EXPECT_EQ(extract(a, "x.bin"), "old");

    a.Add(a.CreateItem("one.txt"));
    a.Add(a.CreateItem("one.txt"));
    EXPECT_EQ(failures.size(), 2u);
    EXPECT_EQ(a.GetCount(), 2);

    a.Move(a.ItemList().Items(1), "x.bin");
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[2].type, ptMove);
    EXPECT_EQ(failures[2].code, 7);

    // With soReplace the existing item takes the new stream.
    a.StoreOptions |= soReplace;
    a.AddFromStream("x.bin", mem("newer"));
    EXPECT_EQ(failures.size(), 3u);
    EXPECT_EQ(a.GetCount(), 2);
    EXPECT_EQ(extract(a, "x.bin"), "newer");
}

TEST_F(ArchiveBase, DeletingAnItemWithPendingAddSavesFirst) {
    write("one.txt", "1");
    write("two.txt", "2");
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.SetBaseDirectory(dir.path());
    a.Add(a.CreateItem("one.txt"));
    a.Add(a.CreateItem("two.txt"));
    a.DeleteAt(1);
    EXPECT_EQ(a.saves, 1);  // the pending adds were written first
    EXPECT_EQ(a.ItemList().Items(0)->Action, iaNone);
    EXPECT_EQ(a.ItemList().Items(1)->Action, iaDelete);
}

TEST_F(ArchiveBase, OperationAfterAnImplicitSaveHitsTheRightItem) {
    // Item 0 is marked for deletion; deleting item 2 (which has a pending
    // add) saves first, which removes item 0 and shifts the indexes.
    write("c.txt", "c");
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.SetBaseDirectory(dir.path());
    a.AddFromStream("a", mem("a"));
    a.AddFromStream("b", mem("b"));
    a.DeleteAt(0);
    a.Add(a.CreateItem("c.txt"));
    ASSERT_EQ(a.ItemList().Items(2)->GetFileName(), "c.txt");
    a.DeleteAt(2);
    ASSERT_EQ(a.GetCount(), 2);
    EXPECT_EQ(a.ItemList().Items(0)->GetFileName(), "b");
    EXPECT_EQ(a.ItemList().Items(0)->Action, iaNone);
    EXPECT_EQ(a.ItemList().Items(1)->GetFileName(), "c.txt");
    EXPECT_EQ(a.ItemList().Items(1)->Action, iaDelete);
}

TEST_F(ArchiveBase, ExtractionFailuresGoToTheEventNotTheCaller) {
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.AddFromStream("corrupt", mem("x"));
    EXPECT_EQ(extract(a, "missing"), "");
    EXPECT_TRUE(failures.empty());
    EXPECT_NO_THROW(extract(a, "corrupt"));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].type, ptExtract);
    EXPECT_EQ(failures[0].cls, ecArchive);
    EXPECT_EQ(failures[0].code, 19);
    EXPECT_EQ(a.Status, StatusIdle);

    a.AddFromStream("abort", mem("x"));
    extract(a, "abort");
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[1].code, 9);
    EXPECT_EQ(a.Status, StatusInvalid);
    EXPECT_THROW(extract(a, "corrupt"), EArcNoArchive);
}

TEST_F(ArchiveBase, FailedLoadLeavesTheArchiveInvalid) {
    QByteArray broken(
        "FAKE\x03\x00"
        "abc\x10\x00\x00\x00"
        "short",
        17);
    MemoryStream stream(broken);
    FakeArchive a(&stream, "broken.fake");
    watch(a);
    int loads = 0;
    a.OnLoad = [&](TArcArchive&) { ++loads; };
    EXPECT_THROW(a.Load(), StreamFilerError);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(a.Status, StatusInvalid);
    EXPECT_THROW(a.AddFromStream("x", mem("x")), EArcNoArchive);
    EXPECT_THROW(a.DeleteAt(0), EArcNoArchive);
    a.IsDirty = true;
    a.SaveIfChanged();
    EXPECT_EQ(a.saves, 0);
    EXPECT_EQ(stream.Memory(), broken);
}

TEST_F(ArchiveBase, FailedImmediateSaveUndoesTheStreamAdd) {
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.AddFromStream("keep", mem("k"));
    auto source = mem("data");
    a.failSave = true;
    EXPECT_THROW(a.AddFromStream("new", source), StreamIoError);
    EXPECT_EQ(a.GetCount(), 1);
    EXPECT_EQ(a.FindFile("new"), -1);
    EXPECT_FALSE(a.IsDirty);
    EXPECT_EQ(a.InStream, nullptr);
    EXPECT_EQ(source.use_count(), 1);  // no reference left behind

    a.StoreOptions = soReplace;
    EXPECT_THROW(a.AddFromStream("keep", source), StreamIoError);
    TArcArchiveItem* keep = a.ItemList().Items(0);
    EXPECT_EQ(keep->Action, iaNone);
    EXPECT_EQ(keep->SourceStream, nullptr);
    EXPECT_EQ(source.use_count(), 1);
    a.failSave = false;
    EXPECT_EQ(extract(a, "keep"), "k");

    // A save question that raises, after earlier saves went through, is
    // undone the same way.
    a.AddFromStream("saved", mem("s"));
    a.OnConfirmSave = [](TArcArchive&, bool&) { throw std::runtime_error("no answer"); };
    EXPECT_THROW(a.AddFromStream("late", source), std::runtime_error);
    EXPECT_EQ(a.FindFile("late"), -1);
    EXPECT_FALSE(a.IsDirty);
    EXPECT_EQ(source.use_count(), 1);
}

TEST_F(ArchiveBase, RefusedImmediateSaveKeepsTheStreamForALaterSave) {
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    allowSave = false;
    a.AddFromStream("later", mem("deferred"));
    EXPECT_EQ(a.saves, 0);
    EXPECT_EQ(a.ItemList().Items(0)->Action, iaStreamAdd);
    allowSave = true;
    a.SaveIfChanged();
    EXPECT_EQ(extract(a, "later"), "deferred");
}

TEST_F(ArchiveBase, FreshenMarksOnlyChangedFiles) {
    write("f.txt", "v1");
    FakeArchive a(path("a.fake"), fmCreate);
    watch(a);
    a.SetBaseDirectory(dir.path());
    a.AutoSave = true;
    a.Add(a.CreateItem("f.txt"));
    TArcArchiveItem* item = a.ItemList().Items(0);
    TFileAttrInfo info;
    ASSERT_TRUE(GetFileAttrEx(path("f.txt"), info));
    item->SetLastModTimeAsDateTime(info.Time);
    a.AutoSave = false;
    a.FreshenAt(0);
    EXPECT_EQ(item->Action, iaNone);  // same date, time and size
    write("f.txt", "version 2");
    a.FreshenAt(0);
    EXPECT_EQ(item->Action, iaFreshen);
    EXPECT_EQ(item->DiskFileName, path("f.txt"));
    a.SaveIfChanged();
    EXPECT_EQ(extract(a, "f.txt"), "version 2");

    QFile::remove(path("f.txt"));
    a.FreshenAt(0);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].type, ptFreshen);
    EXPECT_EQ(failures[0].cls, ecFileOpenError);
    EXPECT_EQ(item->Action, iaNone);
}

TEST_F(ArchiveBase, FixNameAppliesTheStoreOptions) {
    QDir(dir.path()).mkpath("sub");
    write("sub/f.txt", "x");
    MemoryStream s;
    FakeArchive a(&s, "");
    struct Case {
        TArcStoreOptions options;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {0, "/a/b.txt", "a/b.txt"},
        {soStripPath, "/a/b.txt", "b.txt"},
        {soRemoveDots, "../../x/y", "x/y"},
        {soRemoveDots, "..\\x", "x"},
        {soStripDrive, "//srv/share/d/f", "d/f"},
        {0, "rel/f", "rel/f"},
    };
    for (const auto& c : cases) {
        a.StoreOptions = c.options;
        EXPECT_EQ(a.FixName(c.in), c.out) << c.in;
    }
    a.StoreOptions = 0;
    a.DOSMode = true;
    a.SetBaseDirectory(dir.path());
    EXPECT_EQ(a.FixName("sub/f.txt"), (dir.path() + "/sub/f.txt").mid(1));
    EXPECT_THROW(a.FixName("sub/none.txt"), EArcFileNotFound);
}

TEST_F(ArchiveBase, BaseDirectoryAndProgressHooks) {
    MemoryStream s;
    FakeArchive a(&s, "");
    EXPECT_FALSE(a.BaseDirectory().isEmpty());  // the program's folder
    a.SetBaseDirectory("/");
    EXPECT_EQ(a.BaseDirectory(), "/");
    a.SetBaseDirectory(dir.path() + "/");
    EXPECT_EQ(a.BaseDirectory(), dir.path());
    EXPECT_THROW(a.SetBaseDirectory(dir.path() + "/none"), EArcNoSuchDirectory);
    EXPECT_EQ(a.BaseDirectory(), dir.path());

    std::vector<int> seen;
    a.OnArchiveItemProgress = [&](TArcArchive&, TArcArchiveItem*, uint8_t p, bool& abort) {
        seen.push_back(p);
        abort = p >= 50;
    };
    EXPECT_NO_THROW(a.DoInflateProgress(10));
    EXPECT_THROW(a.DoInflateProgress(50), EArcAbortProgress);
    EXPECT_THROW(a.DoDeflateProgress(70), EArcAbortProgress);
    EXPECT_EQ(seen, std::vector<int>({10, 50, 70}));
    QString image;
    bool abort = false;
    EXPECT_THROW(a.RequestSpanImage(&a, 1, image, abort), EArcSpanningNotSupported);
    EXPECT_THROW(NullHelper(), Exception);
}

TEST_F(ArchiveBase, LoggingWritesOneUtf16LinePerConfirmedOperation) {
    FakeArchive a(path("a.fake"), fmCreate);
    a.ArchiveName = "a.fake";
    a.SetLogFile(path("log.txt"));
    a.SetLogging(true);
    a.AddFromStream("x.bin", mem("x"));
    a.OnConfirmProcessItem = [](TArcArchive&, TArcArchiveItem*, TArcProcessType, bool& c) {
        c = false;
    };
    a.DeleteAt(0);  // refused: no line
    a.SetLogging(false);
    QFile f(path("log.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    ASSERT_EQ(raw.size() % 2, 0);
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2);
    const QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("a.fake logging ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("x.bin added ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QString::number(QDate::currentDate().year() % 100)));

    a.SetLogFile(path("no/such/dir/log.txt"));
    try {
        a.SetLogging(true);
        FAIL() << "log file in a missing folder";
    } catch (const EArcException& e) {
        EXPECT_EQ(e.Message(), "Error creating Log File");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
}
