// The page store: cache, temporary file, and the page-list block.

#include "ui/print/metafile_list.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QProcess>

#include "page_file_fixture.h"

using namespace tandex::print;
using namespace page_file;

namespace {

// A store loaded from a page-list block of n small pages.
struct LoadedStore {
    explicit LoadedStore(int n) : pages(smallPages(n)) {
        block = pageList(pages);
        QBuffer in(&block);
        in.open(QIODevice::ReadOnly);
        store.OnRangeChanged = [this](int first, int last) { ranges.push_back({first, last}); };
        loaded = store.LoadFromStream(in);
    }
    std::vector<QByteArray> pages;
    QByteArray block;
    TMetafileList store;
    std::vector<std::pair<int, int>> ranges;
    bool loaded = false;
};

QByteArray saved(TMetafileList& store) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    store.SaveToStream(buffer);
    return out;
}

TEST(TMetafileList, CacheSizeOfPagesLoadsIntoMemory) {
    LoadedStore s(10);
    ASSERT_TRUE(s.loaded);
    EXPECT_EQ(s.store.Count(), 10);
    EXPECT_EQ(s.store.CachedCount(), 10);
    EXPECT_EQ(s.store.TempFileSize(), -1);  // no temporary file
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(s.store.Entry(i).States, InMemory | Modified) << i;
        EXPECT_EQ(s.store.Metafiles(i), s.pages[size_t(i)]) << i;
    }
    EXPECT_EQ(s.ranges, (std::vector<std::pair<int, int>>{{0, 9}}));
}

TEST(TMetafileList, OneMoreGoesToAFreshTemporaryFileWithNoneLoaded) {
    LoadedStore s(11);
    ASSERT_TRUE(s.loaded);
    EXPECT_EQ(s.store.CachedCount(), 0);
    qint64 total = 0;
    for (int i = 0; i < 11; ++i) {
        const TMetafileEntry& e = s.store.Entry(i);
        EXPECT_EQ(e.States, InTempFile) << i;
        EXPECT_EQ(e.Offset, total) << i;
        EXPECT_EQ(e.Size, s.pages[size_t(i)].size()) << i;
        total += e.Size;
    }
    EXPECT_EQ(s.store.TempFileSize(), total);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(s.store.Metafiles(i), s.pages[size_t(i)]) << i;
    EXPECT_EQ(s.store.CachedCount(), 10);
}

TEST(TMetafileList, SavingAfterLoadingCopiesThePagesByteForByte) {
    for (int n : {0, 3, 11, 25}) {
        SCOPED_TRACE(n);
        LoadedStore s(n);
        // Some pages come back into memory unchanged on the way.
        if (n > 3) {
            s.store.Metafiles(1);
            s.store.Metafiles(n - 1);
        }
        EXPECT_EQ(saved(s.store), s.block);
    }
}

TEST(TMetafileList, EvictsTheLaterLoadedOfTwoEquallyTouchedPages) {
    LoadedStore s(11);
    for (int i = 0; i < 10; ++i) s.store.Metafiles(i);  // each touched once
    s.store.Metafiles(0);                               // page 0 twice
    s.store.Metafiles(10);
    EXPECT_EQ(s.store.CachedCount(), 10);
    EXPECT_FALSE(s.store.Entry(9).Has(InMemory));
    for (int i : {0, 1, 8, 10}) EXPECT_TRUE(s.store.Entry(i).Has(InMemory)) << i;
    // The page read twice stays longest.
    s.store.SetCacheSize(1);
    EXPECT_TRUE(s.store.Entry(0).Has(InMemory));
    EXPECT_EQ(s.store.CachedCount(), 1);
}

TEST(TMetafileList, DeletingTheLastBlockShortensTheTemporaryFile) {
    LoadedStore s(12);
    const qint64 size = s.store.TempFileSize();
    s.store.Delete(4);
    EXPECT_EQ(s.store.TempFileSize(), size);
    const qint64 lastOffset = s.store.Entry(10).Offset;
    s.store.Delete(10);
    EXPECT_EQ(s.store.TempFileSize(), lastOffset);
    EXPECT_EQ(s.store.Count(), 10);
    EXPECT_EQ(s.store.Metafiles(4), s.pages[5]);
}

TEST(TMetafileList, ChangedPagesGoToTheFileAndComeBack) {
    TMetafileList store;
    store.SetCacheSize(2);
    std::vector<int> changed;
    store.OnItemChanged = [&](int index) { changed.push_back(index); };
    const std::vector<QByteArray> pages = smallPages(5);
    for (const QByteArray& p : pages) store.Add(p);
    EXPECT_EQ(store.CachedCount(), 2);
    EXPECT_GT(store.TempFileSize(), 0);
    // Every page of the store reports its change, whether its copy is on
    // disk or only in memory.
    store.SetMetafile(0, pages[4]);
    store.SetMetafile(4, pages[0]);
    EXPECT_EQ(changed, (std::vector<int>{0, 4}));
    for (int i = 0; i < 5; ++i) {
        const QByteArray want = i == 0 ? pages[4] : i == 4 ? pages[0] : pages[size_t(i)];
        EXPECT_EQ(store.Metafiles(i), want) << i;
    }
    store.Move(0, 3);
    EXPECT_EQ(store.Metafiles(3), pages[4]);
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.TempFileSize(), -1);
}

TEST(TMetafileList, ABlockWithoutItsTagChangesNothing) {
    TMetafileList store;
    store.Add(smallPage(1));
    QByteArray block = "TXPIP\x05" + QByteArray(30, '\0');
    QBuffer in(&block);
    in.open(QIODevice::ReadOnly);
    EXPECT_FALSE(store.LoadFromStream(in));
    EXPECT_EQ(store.Count(), 1);
}

TEST(TMetafileList, SavingMorePageDataThanTheFormatHoldsRaisesBeforeWriting) {
    TMetafileList store;
    for (const QByteArray& p : smallPages(3)) store.Add(p);
    const qint64 limit = TMetafileList::MaxPageData;
    TMetafileList::MaxPageData = smallPage(0).size() * 2;
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_THROW(store.SaveToStream(buffer), EPrintPreviewError);
    TMetafileList::MaxPageData = limit;
    EXPECT_TRUE(out.isEmpty());
}

}  // namespace
