#include "ui/main/compare_bin.h"

#include "access/error_texts.h"
#include "binary_fixture.h"

#include <QCryptographicHash>
#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tandex::ui::testing {
namespace {

constexpr int kFill = -1;
constexpr int kBlankCell = -2;

// The expected line of a row under the default display settings (control
// and upper bytes shown as "."): per cell a byte, a filler or a blank.
QByteArray hexLine(const std::vector<int>& cells) {
    QByteArray digits, chars;
    for (int c : cells) {
        if (c == kFill) {
            digits += "\xA0\xA0 ";
            chars += '\xA0';
        } else if (c == kBlankCell) {
            digits += "   ";
            chars += ' ';
        } else {
            digits += QByteArray::number(c, 16).rightJustified(2, '0').toUpper() + ' ';
            chars += (c < 32 || c >= 128) ? '.' : char(c);
        }
    }
    return digits + "  " + chars;
}

std::vector<int> cellsOf(const QByteArray& bytes, int from, int count) {
    std::vector<int> cells;
    for (int i = from; i < from + count; ++i) cells.push_back(quint8(bytes[i]));
    return cells;
}

using BinaryCompare = BinaryCompareFixture;

struct PairCase {
    const char* name;
    QByteArray left, right;
    bool offsetMode;
    qint32 result;
    int rows;
    const char* summary;
    std::function<void(const QByteArray& left, const QByteArray& right)> check;
};

QByteArray withInsertion(const QByteArray& base, int at, const QByteArray& inserted) {
    return base.left(at) + inserted + base.mid(at);
}

// Three bytes none of which equals a byte near the insertion point, so the
// shortest script can only add them.
QByteArray distinctBytes(const QByteArray& base, int at) {
    QByteArray out;
    for (int v = 0; out.size() < 3; ++v)
        if (!base.mid(at - 4, 8).contains(char(v))) out += char(v);
    return out;
}

TEST_F(BinaryCompare, FilePairsGiveAlignedRowsOffsetsAndTotals) {
    const QByteArray base = randomBytes(1000, 7);
    const QByteArray inserted = withInsertion(base, 100, distinctBytes(base, 100));
    const QByteArray big = randomBytes(5000, 8);
    const QByteArray ten("AB\x01\x7F\x80\xE9xyz0", 10);
    const QByteArray longLeft = randomBytes(40000, 9);
    const QByteArray longRight = withInsertion(longLeft, 16380, randomBytes(3000, 10));

    const std::vector<PairCase> cases = {
        {"equal", big, big, true, 0, 313, "Mod=0 Add=0 Del=0",
         [](const QByteArray& l, const QByteArray&) {
             for (int row = 0; row < 313; ++row) {
                 EXPECT_EQ(item(1, row)->Differs, 0);
                 EXPECT_EQ(item(2, row)->Offset, row * 16);
             }
             EXPECT_EQ(item(1, 5)->HexText(), hexLine(cellsOf(l, 80, 16)));
         }},
        {"insertion at 100", base, inserted, true, 1, 63, "Mod=0 Add=3 Del=0",
         [](const QByteArray& l, const QByteArray& r) {
             for (int row = 0; row < 63; ++row) EXPECT_EQ(item(1, row)->Differs, row == 6 ? 1 : 0) << row;
             EXPECT_EQ(item(1, 6)->Offset, 96);
             EXPECT_EQ(item(2, 6)->Offset, 96);
             std::vector<int> left = cellsOf(l, 96, 4), right = cellsOf(r, 96, 7);
             left.insert(left.end(), {kFill, kFill, kFill});
             for (int c : cellsOf(l, 100, 9)) left.push_back(c);
             for (int c : cellsOf(r, 103, 9)) right.push_back(c);
             EXPECT_EQ(item(1, 6)->HexText(), hexLine(left));
             EXPECT_EQ(item(2, 6)->HexText(), hexLine(right));
             // Left 96..108 and right 96..111: later rows are 3 bytes further right.
             EXPECT_EQ(item(1, 7)->Offset, 109);
             EXPECT_EQ(item(2, 7)->Offset, 112);
             EXPECT_EQ(item(2, 62)->Offset - item(1, 62)->Offset, 3);
         }},
        {"empty right", big, QByteArray(), true, 313, 313, "Mod=0 Add=0 Del=5.000",
         [](const QByteArray& l, const QByteArray&) {
             EXPECT_EQ(engine::paneStores().BinaryLines[2].StoredSize(), 0);  // gap items only
             EXPECT_TRUE(item(2, 0)->Gap);
             EXPECT_EQ(item(1, 0)->HexText(), hexLine(cellsOf(l, 0, 16)));
             EXPECT_EQ(item(1, 312)->Offset, 4992);
             std::vector<int> last = cellsOf(l, 4992, 8);
             last.resize(16, kBlankCell);
             EXPECT_EQ(item(1, 312)->HexText(), hexLine(last));
         }},
        {"ten bytes", ten, ten, true, 0, 1, "Mod=0 Add=0 Del=0",
         [](const QByteArray& l, const QByteArray&) {
             std::vector<int> cells = cellsOf(l, 0, 10);
             cells.resize(16, kBlankCell);
             EXPECT_EQ(item(1, 0)->HexText(), hexLine(cells));
             EXPECT_EQ(item(2, 0)->HexText(), hexLine(cells));
             EXPECT_EQ(item(1, 0)->HexText().size(), 66);
         }},
        {"long insertion across the block boundary", longLeft, longRight, true, 189, 2688,
         "Mod=0 Add=3.000 Del=0",
         [](const QByteArray&, const QByteArray&) {
             // One run of differing rows, the inserted bytes opposite fillers only.
             int first = -1, last = -1;
             for (int row = 0; row < rowCount(); ++row)
                 if (item(1, row)->Differs) {
                     if (first < 0) first = row;
                     last = row;
                 }
             // Row 1023 holds 12 equal bytes and the first 4 inserted ones,
             // row 1211 the last 4 and 12 equal bytes.
             EXPECT_EQ(first, 1023);
             EXPECT_EQ(last, 1211);
             EXPECT_EQ(item(1, first)->Offset, 16368);
             EXPECT_EQ(item(2, last + 1)->Offset - item(1, last + 1)->Offset, 3000);
         }},
        {"line numbers", base, inserted, false, 1, 63, "Mod=0 Add=3 Del=0",
         [](const QByteArray&, const QByteArray&) {
             for (int row : {0, 6, 62}) {
                 EXPECT_EQ(item(1, row)->Offset, row + 1);
                 EXPECT_EQ(item(2, row)->Offset, row + 1);
             }
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine::paneStores().InitCompareData();
        config::AppSettings().BCOffsetAddr = c.offsetMode;
        openPair(c.left, c.right);
        EXPECT_EQ(compare(), c.result);
        EXPECT_EQ(rowCount(), c.rows);
        EXPECT_EQ(engine::paneStores().LineCount[2], c.rows);
        EXPECT_EQ(BinaryDiffSummary(), QString::fromLatin1(c.summary));
        EXPECT_EQ(compareBin().MaxLineWidth(), 65);
        c.check(c.left, c.right);
        engine::paneStores().BinaryLines[1].Clear();
        engine::paneStores().BinaryLines[2].Clear();
    }
    SwapBinaryDiffTotals();
    EXPECT_EQ(BinaryDiffSummary(), QStringLiteral("Mod=0 Add=0 Del=3"));
}

TEST_F(BinaryCompare, DisplayCharactersAreWindows1252AndFillersStandApart) {
    config::AppSettings().BCShowNoExt = false;
    config::AppSettings().BCShowNoCtrl = false;
    config::AppSettings().BCHEXBytes = 4;
    openPair(QByteArray("\x80\xE9\x01\x41", 4), QByteArray("\x80\xA0\xE9\x01\x41", 5));
    EXPECT_EQ(compare(), 1);
    ASSERT_EQ(rowCount(), 2);
    // The byte 0xA0 shows blank; a filler is 0xA0 in all three columns.
    EXPECT_EQ(item(1, 0)->HexText(), QByteArray("80 \xA0\xA0 E9 01 " "  " "\x80\xA0\xE9\x01"));
    EXPECT_EQ(item(2, 0)->HexText(), QByteArray("80 A0 E9 01 " "  " "\x80 \xE9\x01"));
    EXPECT_EQ(item(1, 1)->HexText(), QByteArray("41          " "  " "A   "));
}

TEST_F(BinaryCompare, OutOfRangeCellCountsAreClampedAndFinish) {
    struct Case {
        int setting;
        int cells;
    };
    const QByteArray data = randomBytes(3000, 11);
    for (const Case& c : {Case{0, 1}, Case{-5, 1}, Case{100000, 256}}) {
        SCOPED_TRACE(c.setting);
        engine::paneStores().InitCompareData();
        config::AppSettings().BCHEXBytes = c.setting;
        openPair(data, data.left(2000));
        const int rows = (3000 + c.cells - 1) / c.cells;
        EXPECT_EQ(compare(), rows - 2000 / c.cells);  // from the row holding byte 2000 on
        EXPECT_EQ(rowCount(), rows);
        EXPECT_EQ(item(1, 0)->HexText().size(), 4 * c.cells + 2);
        EXPECT_EQ(config::AppSettings().BCHEXBytes, c.cells);
        engine::paneStores().BinaryLines[1].Clear();
        engine::paneStores().BinaryLines[2].Clear();
    }
}

TEST_F(BinaryCompare, CancelFromTheProgressCallEndsWithTheAbortRow) {
    QByteArray left = randomBytes(200000, 12), right = left;
    for (int i = 500; i < right.size(); i += 997) right[i] = char(~right[i]);
    openPair(left, right);
    qint32 nested = 0;
    progress_.onProgress = [&](qint64 position) {
        // Cancel pressed while the progress window processes events; a
        // second comparison asked for meanwhile is refused.
        if (position < 50000 || nested) return;
        nested = compare();
        AbortBinaryCompare();
    };
    compare();
    EXPECT_EQ(nested, -1);
    EXPECT_GT(rowCount(), 1);
    EXPECT_LT(rowCount(), 200000 / 16);
    EXPECT_EQ(lastRowText(1), QByteArray("==> Aborted by User <=="));
    EXPECT_EQ(lastRowText(2), QByteArray("==> Aborted by User <=="));
    EXPECT_EQ(item(1, rowCount() - 1)->Offset, -1);
    EXPECT_EQ(item(1, rowCount() - 1)->Differs, 0);
    EXPECT_EQ(engine::paneStores().BinaryLines[1].StoredSize(), rowCount());
    EXPECT_FALSE(compareBin().Running());

    // The next comparison is not held up by the old cancel.
    progress_.onProgress = nullptr;
    engine::paneStores().BinaryLines[1].Clear();
    engine::paneStores().BinaryLines[2].Clear();
    openPair(left, left);
    EXPECT_EQ(compare(), 0);
    EXPECT_EQ(rowCount(), 12500);
}

TEST_F(BinaryCompare, ReadFailureEndsThatSideWithItsCode) {
    const QByteArray data = randomBytes(40000, 13);
    openPair(data, data);
    const int dirFd = ::open(QDir::tempPath().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirFd, 0);
    progress_.onProgress = [&](qint64) {
        // After the first block the left file's descriptor stops reading.
        if (progress_.calls == 1) ::dup2(dirFd, access::FZSlotHandle(engine::paneStores().SideSlots[1]));
    };
    const qint32 differing = compare();
    ::close(dirFd);
    const int code = engine::paneStores().FileErrors[1];
    EXPECT_EQ(code, access::FZCodeFromErrno(EISDIR));
    EXPECT_NE(code, 0);
    EXPECT_EQ(engine::paneStores().FileErrors[2], 0);
    // The right file's bytes after the first block become added rows.
    EXPECT_EQ(BinaryDiffSummary(), QStringLiteral("Mod=0 Add=23.616 Del=0"));
    EXPECT_EQ(differing, (23616 + 15) / 16);
    EXPECT_EQ(rowCount(), 1024 + differing);
    EXPECT_TRUE(item(1, 1024)->Gap);
    EXPECT_EQ(item(2, 1024)->Offset, 16384);
}

TEST_F(BinaryCompare, ExceptionInAPassEndsWithItsOwnCode) {
    QByteArray left = randomBytes(100000, 14), right = left;
    for (int i = 300; i < right.size(); i += 501) right[i] = char(~right[i]);
    openPair(left, right);
    progress_.onProgress = [&](qint64 position) {
        if (position > 40000) throw std::bad_alloc();
    };
    errno = EACCES;  // a stale number must not become the code
    compare();
    const QByteArray row = "==> Read Error 8: Not Enough Memory <==";
    EXPECT_EQ(lastRowText(1), row);
    EXPECT_EQ(lastRowText(2), row);
    EXPECT_EQ(engine::paneStores().BinaryLines[1].StoredSize(), rowCount());
    EXPECT_LT(rowCount(), 100000 / 16);
    EXPECT_GT(rowCount(), 1);
    const auto boxes = messages_.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Not Enough Memory"));
    EXPECT_FALSE(compareBin().Running());
}

TEST_F(BinaryCompare, BlockSizeFollowsTheEngineTime) {
    // Changes all through both files, so every pass runs the engine.
    QByteArray left = randomBytes(300000, 15), right = left;
    for (int i = 100; i < right.size(); i += 263) right[i] = char(~right[i]);
    struct Case {
        const char* name;
        std::vector<int> times;  // engine milliseconds per pass, the last repeated
        std::vector<int> blocks;  // expected block size of the first passes
    };
    const std::vector<Case> cases = {
        {"slow halves down to the floor", {100}, {16384, 8192, 4096, 2048, 2048, 2048}},
        {"fast doubles back to the ceiling", {100, 100, 100, 5}, {16384, 8192, 4096, 2048, 4096, 8192, 16384, 16384}},
        {"between keeps it", {100, 50}, {16384, 8192, 8192, 8192}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine::paneStores().InitCompareData();
        openPair(left, right);
        std::vector<int> seen;
        quint64 now = 0;
        int reads = 0;
        BinaryCompareClock clock;
        clock.TicksPerMs = 1;
        clock.ReadTicks = [&]() -> quint64 {
            if (reads++ % 2 == 0) {
                seen.push_back(compareBin().BlockSize());
                return now;
            }
            const size_t pass = seen.size() - 1;
            now += quint64(c.times[std::min(pass, c.times.size() - 1)]);
            return now;
        };
        EXPECT_GT(compare(clock), 0);
        ASSERT_GE(seen.size(), c.blocks.size());
        EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + qsizetype(c.blocks.size())), c.blocks);
        for (int b : seen) {
            EXPECT_GE(b, 2048);
            EXPECT_LE(b, 16384);
        }
        EXPECT_EQ(compareBin().BlockSize(), 262144);  // once a file has ended
        engine::paneStores().BinaryLines[1].Clear();
        engine::paneStores().BinaryLines[2].Clear();
    }
}

}  // namespace
}  // namespace tandex::ui::testing

namespace tandex::ui::testing {
namespace {

// Every row of both panes (text, offset, gap, differs) and the totals in one
// digest, so that a change in how rows are stored or built must give the
// very same view on pairs that reach every path of a pass: equal blocks,
// single changed bytes at block edges, insertions and deletions across a
// block boundary, one side ending early, odd row widths and line numbers.
QByteArray viewDigest(qint32 result) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const auto& st = engine::paneStores();
    hash.addData(QByteArray::number(result) + ' ' + BinaryDiffSummary().toLatin1() + ' ' +
                 QByteArray::number(st.MaxLineCount));
    for (int row = 0; row < st.MaxLineCount; ++row)
        for (int pane = 1; pane <= 2; ++pane) {
            const engine::TBinLine* line = st.BinaryLines[size_t(pane)][row];
            hash.addData(QByteArray::number(line->Offset) + ' ' + QByteArray::number(line->Gap) +
                         QByteArray::number(line->Differs) + ' ');
            hash.addData(line->HexText());
            hash.addData(QByteArrayView("\n"));
        }
    return hash.result().toHex().left(16);
}

QByteArray patched(QByteArray bytes, std::initializer_list<int> offsets) {
    for (int at : offsets) bytes[at] = char(~bytes[at]);
    return bytes;
}

TEST_F(BinaryCompare, RowsOfVariedPairsStayAsTheyAre) {
    const QByteArray base = randomBytes(300000, 21);
    const QByteArray small = randomBytes(5000, 22);
    struct Case {
        const char* name;
        QByteArray left, right;
        int cells;
        bool offsetMode;
        const char* digest;
    };
    const std::vector<Case> cases = {
        {"equal", base, base, 16, true, "c47028e25279816a"},
        {"patched at the edges and a block boundary", base, patched(base, {0, 100000, 163840, 299999}), 16,
         true, "3f81bc7b3667acf6"},
        {"insertion and deletion", withInsertion(base, 200000, randomBytes(777, 23)).remove(50000, 1234), base,
         16, true, "7448c7cfe985b570"},
        {"right ends early", base, base.left(123457), 16, true, "f58c2ca2adb41b4a"},
        {"seven cells, line numbers", small, patched(withInsertion(small, 2000, "xyz"), {10, 4000}), 7, false,
         "d5c0d9e5dccd9873"},
        {"empty left", QByteArray(), small, 16, true, "6bb8b5e0112250cf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine::paneStores().InitCompareData();
        config::AppSettings().BCHEXBytes = c.cells;
        config::AppSettings().BCOffsetAddr = c.offsetMode;
        openPair(c.left, c.right);
        const qint32 result = compare();
        EXPECT_EQ(viewDigest(result), QByteArray(c.digest));
        engine::paneStores().BinaryLines[1].Clear();
        engine::paneStores().BinaryLines[2].Clear();
    }
}

}  // namespace
}  // namespace tandex::ui::testing
