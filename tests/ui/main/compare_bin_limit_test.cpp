// The row limit needs six million rows, several hundred MB of them, so this
// runs as a test of its own and alone.

#include "ui/main/compare_bin.h"

#include "binary_fixture.h"

#include <QFile>

namespace tandex::ui::testing {
namespace {

using BinaryCompareLimit = BinaryCompareFixture;

TEST_F(BinaryCompareLimit, RowLimitEndsWithTheMaxEntryRowAndAWarning) {
    config::AppSettings().BCHEXBytes = 1;
    openPair(randomBytes(6000000, 21), QByteArray());
    EXPECT_EQ(compare(), CompareBin::kMaxDataRows);
    ASSERT_EQ(rowCount(), CompareBin::kMaxDataRows + 1);
    EXPECT_EQ(item(1, rowCount() - 2)->Offset, CompareBin::kMaxDataRows - 1);
    const QByteArray limitRow = "==>> MAX-ENTRY reached! <<==";
    EXPECT_EQ(lastRowText(1), limitRow);
    EXPECT_EQ(lastRowText(2), limitRow);
    EXPECT_EQ(item(1, rowCount() - 1)->Offset, -1);
    EXPECT_EQ(engine::paneStores().BinaryLines[1].StoredSize(), rowCount());
    const auto boxes = messages_.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Warning:"));
    EXPECT_EQ(boxes[0].text, QString::fromLatin1(limitRow));
    EXPECT_EQ(boxes[0].kind, config::MsgKind::Warning);
}

// Two files of zeros whose last bytes are given, made sparse: only the
// last byte is written.
class BinaryCompareBeyondTheLimit : public BinaryCompareFixture {
protected:
    void openSparsePair(qint64 size, char lastLeft, char lastRight) {
        closeSlots();
        auto& st = engine::paneStores();
        const char last[3] = {0, lastLeft, lastRight};
        for (int pane = 1; pane <= 2; ++pane) {
            const QString path = dir_.filePath(pane == 1 ? QStringLiteral("left.bin") : QStringLiteral("right.bin"));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_TRUE(f.resize(size - 1));
            ASSERT_TRUE(f.seek(size - 1));
            ASSERT_EQ(f.write(&last[pane], 1), 1);
            f.close();
            int slot = engine::kNoSlot;
            ASSERT_EQ(access::FZOpen(path, access::twReadAccess, false, slot), 0);
            st.SideSlots[size_t(pane)] = slots_[pane] = slot;
            st.FileSizes[size_t(pane)] = size;
            st.FileErrors[size_t(pane)] = 0;
            st.FilePaths[size_t(pane)] = path;
        }
    }
};

TEST_F(BinaryCompareBeyondTheLimit, ADifferenceBehindTheLastRowMarksTheLimitRow) {
    // With 16 bytes a row the limit falls at 95,999,984 bytes: the rows of
    // these pairs are all equal, and only their last bytes may differ.
    config::AppSettings().ESWarnBox = false;
    struct Case {
        const char* what;
        qint64 size;
        char right;
        int differing;
    } cases[] = {
        {"120 MB, last byte differs", 120000000, 'b', 1},
        {"96 MiB + 1, last byte differs", (qint64(96) << 20) + 1, 'b', 1},
        {"120 MB, equal", 120000000, 'a', 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        engine::paneStores().InitCompareData();
        engine::paneStores().BinaryMode = 1;
        openSparsePair(c.size, 'a', c.right);
        EXPECT_EQ(compare(), c.differing);
        ASSERT_EQ(rowCount(), CompareBin::kMaxDataRows + 1);
        EXPECT_EQ(lastRowText(1), "==>> MAX-ENTRY reached! <<==");
        for (int pane = 1; pane <= 2; ++pane) EXPECT_EQ(item(pane, rowCount() - 1)->Differs, c.differing);
        EXPECT_EQ(item(1, rowCount() - 2)->Differs, 0);
        EXPECT_EQ(engine::paneStores().FileErrors[1], 0);
        EXPECT_EQ(engine::paneStores().FileErrors[2], 0);
    }
}

}  // namespace
}  // namespace tandex::ui::testing
