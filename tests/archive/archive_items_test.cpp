#include "archive/archive_items.h"

#include <gtest/gtest.h>

using namespace tandex::archive;

namespace {

// Counts live items, so a test sees exactly what the list frees.
int liveItems = 0;

class CountedItem : public TArcArchiveItem {
public:
    explicit CountedItem(const QString& name) {
        SetFileName(name);
        ++liveItems;
    }
    ~CountedItem() override { --liveItems; }
};

std::unique_ptr<TArcArchiveItem> item(const QString& name) {
    return std::make_unique<CountedItem>(name);
}

// A format that keeps the time as Unix seconds overrides the DOS accessors;
// the date-time accessors must go through them.
class UnixTimeItem : public TArcArchiveItem {
public:
    uint16_t GetLastModFileDate() const override { return date; }
    uint16_t GetLastModFileTime() const override { return time; }
    void SetLastModFileDate(uint16_t v) override { date = v; }
    void SetLastModFileTime(uint16_t v) override { time = v; }
    uint16_t date = 0, time = 0;
};

}  // namespace

TEST(ArchiveItems, NewItemDefaultsAndDateTimeAccessors) {
    UnixTimeItem it;
    EXPECT_EQ(it.Action, iaNone);
    EXPECT_EQ(it.GetCompressedSize(), 0u);
    EXPECT_EQ(it.GetFileName(), "");
    EXPECT_EQ(it.GetNativeFileAttributes(), 0);
    TDateTime when = 0;
    ASSERT_TRUE(TryEncodeDateTime(2020, 2, 29, 23, 59, 58, when));
    it.SetLastModTimeAsDateTime(when);
    EXPECT_EQ(it.date, (40 << 9) | (2 << 5) | 29);
    EXPECT_EQ(it.time, (23 << 11) | (59 << 5) | 29);
    EXPECT_DOUBLE_EQ(it.GetLastModTimeAsDateTime(), when);
}

TEST(ArchiveItems, FindIsCaseBlindForAsciiOnly) {
    TArcArchiveList list(true);
    EXPECT_EQ(list.Find("x"), -1);
    list.Add(item("dir/ReadMe.TXT"));
    list.Add(item(QString::fromUtf16(u"\u00E9t\u00E9")));
    EXPECT_EQ(list.Find("DIR/readme.txt"), 0);
    EXPECT_EQ(list.Find(QString::fromUtf16(u"\u00E9T\u00E9")), 1);
    // E-acute against its capital: same bucket, different names.
    EXPECT_EQ(TArcArchiveList::BucketOf(QString::fromUtf16(u"\u00E9")),
              TArcArchiveList::BucketOf(QString::fromUtf16(u"\u00C9")));
    EXPECT_EQ(list.Find(QString::fromUtf16(u"\u00C9t\u00E9")), -1);
    EXPECT_EQ(TArcArchiveList::BucketOf(""), 0);
}

TEST(ArchiveItems, BucketHashFoldsHighNibbles) {
    // h = (h << 4) + u with the top nibble folded back in; 8 code units
    // push the first one into the top nibble.
    uint32_t h = 0;
    const QString name = "ABCDEFGHIJ";
    for (QChar c : name) {
        h = (h << 4) + c.unicode();
        const uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    EXPECT_EQ(TArcArchiveList::BucketOf(name), int(h % 1021));
    EXPECT_EQ(TArcArchiveList::BucketOf("abcdefghij"), int(h % 1021));
}

TEST(ArchiveItems, DeletedDuplicateLeavesTheNewItemFindable) {
    liveItems = 0;
    {
        TArcArchiveList list(true);
        list.Add(item("a.txt"));
        list.Add(item("b.txt"));
        list.Items(0)->Action = iaDelete;
        EXPECT_FALSE(list.IsActiveDupe("A.TXT"));
        list.Add(item("A.txt"));
        EXPECT_EQ(list.Find("a.txt"), 2);  // newest first in its bucket
        EXPECT_TRUE(list.IsActiveDupe("a.txt"));
        list.Delete(0);  // as a save drops the deleted entry
        EXPECT_EQ(liveItems, 2);
        EXPECT_EQ(list.Find("a.txt"), 1);
        EXPECT_EQ(list.Find("b.txt"), 0);
    }
    EXPECT_EQ(liveItems, 0);
}

TEST(ArchiveItems, UpdateNameMovesTheItemToItsNewBucket) {
    TArcArchiveList list(true);
    list.Add(item("old.txt"));
    list.Add(item("other"));
    TArcArchiveItem* it = list.Items(0);
    it->SetFileName("new/name.txt");
    list.UpdateName(it, "old.txt");
    EXPECT_EQ(list.Find("NEW/name.txt"), 0);
    EXPECT_EQ(list.Find("old.txt"), -1);
    // A rename the list was not told about still never leaves a freed item
    // reachable.
    list.Items(1)->SetFileName("silent");
    list.Delete(1);
    EXPECT_EQ(list.Find("other"), -1);
    EXPECT_EQ(list.Find("silent"), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find("new/name.txt"), -1);
}

TEST(ArchiveItems, ReferenceListScansAndFreesNothing) {
    liveItems = 0;
    auto a = item("x");
    auto b = item("X");
    {
        TArcArchiveList refs(false);
        refs.AddReference(a.get());
        refs.AddReference(b.get());
        EXPECT_EQ(refs.Find("x"), 0);
        a->Action = iaDelete;
        EXPECT_TRUE(refs.IsActiveDupe("x"));
        refs.Delete(0);
        EXPECT_EQ(refs.Find("x"), 0);
        EXPECT_THROW(refs.Add(item("y")), std::logic_error);
    }
    EXPECT_EQ(liveItems, 2);
}
