// The row limit needs six million rows, several hundred MB of them, so this
// runs as a test of its own and alone.

#include "ui/main/compare_bin.h"

#include "binary_fixture.h"

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

}  // namespace
}  // namespace tandex::ui::testing
