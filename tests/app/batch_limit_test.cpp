// The command line on files past the row limit: the verdict must come from
// the whole files, never "equal" for differences the rows do not reach.
// The files are hundreds of MB (sparse or written in one stream) and the
// program holds millions of rows, so this runs alone.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/app/batch_child.h"

namespace {

using namespace tandex::testing;

class BatchLimit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir(tmp_.path()).mkpath(QStringLiteral("cfg"));
    }
    ChildResult run(const QStringList& args) { return runTandex(tmp_.path(), args, tmp_.filePath("cfg")); }
    QString path(const char* name) const { return tmp_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir tmp_;
};

TEST_F(BatchLimit, BinaryPairDifferingBehindTheRowsIsDifferent) {
    // 120 MB of zeros each, only the last bytes written: at 16 bytes a row
    // the rows end at 96 MB.
    for (const auto& [name, last] : {std::pair{"z1", 'a'}, std::pair{"z2", 'b'}}) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(120000000 - 1));
        ASSERT_TRUE(f.seek(120000000 - 1));
        ASSERT_EQ(f.write(&last, 1), 1);
    }
    const ChildResult r = run({"/f", "z1", "z2"});
    EXPECT_EQ(withoutBanner(r.out), "Files are different: 1 different lines!\n");
    EXPECT_EQ(r.code, 1);
}

TEST_F(BatchLimit, TextPairCutWithoutADifferenceIsNoVerdict) {
    // 6,000,010 lines differing at line 6,000,006, behind the 5,999,999 a
    // pane holds.
    for (const auto& [name, changed] : {std::pair{"t1", false}, std::pair{"t2", true}}) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray block = QByteArray("x\n").repeated(1000000);
        for (int i = 0; i < 6; ++i) ASSERT_EQ(f.write(block), block.size());
        QByteArray tail = QByteArray("x\n").repeated(10);
        if (changed) tail[2 * 5] = 'y';  // line 6,000,006
        ASSERT_EQ(f.write(tail), tail.size());
    }
    const ChildResult r = run({"/f", "t1", "t2"});
    EXPECT_EQ(withoutBanner(r.out), "ERROR: The compared files need more than 5.999.999 rows.\n");
    EXPECT_EQ(r.code, 9);
}

}  // namespace
