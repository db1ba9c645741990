// Every input a fuzz target ever broke the tar load or a codec adapter
// with stays in data/, named after what it broke, and runs here in every
// build: it must end in an error or a result, never a crash or a hang.

#include "fuzz_bodies.h"

#include "codec_test_support.h"

#include <QDirIterator>

namespace {

TEST(FuzzReplayTest, KeptInputsEndCleanly) {
    int count = 0;
    for (QDirIterator it(QStringLiteral(TANDEX_TEST_DATA),
                         {"tar-*.bin", "codec-*.bin", "kit-*.bin", "ppmd-*.bin", "zip-extract-*.bin"});
         it.hasNext();) {
        const QString name = it.next();
        const QByteArray data = codec_test::readFile(name);
        const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
        if (it.fileName().startsWith("tar-"))
            fuzz_bodies::TarLoad(bytes, size_t(data.size()));
        else if (it.fileName().startsWith("kit-"))
            fuzz_bodies::KitOpen(bytes, size_t(data.size()));
        else if (it.fileName().startsWith("ppmd-"))
            fuzz_bodies::Ppmd(bytes, size_t(data.size()));
        else if (it.fileName().startsWith("zip-extract-"))
            fuzz_bodies::ZipExtract(bytes, size_t(data.size()));
        else
            fuzz_bodies::Codecs(bytes, size_t(data.size()));
        ++count;
    }
    // The peer suite's damaged archives go through the same paths.
    for (QDirIterator it(QStringLiteral(TANDEX_TEST_DATA "/peer"), {"*.tar"}); it.hasNext();) {
        const QByteArray data = codec_test::readFile(it.next());
        fuzz_bodies::TarLoad(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        ++count;
    }
    for (QDirIterator it(QStringLiteral(TANDEX_TEST_DATA "/peer"), {"*.zip", "*.zipx"}); it.hasNext();) {
        const QByteArray data = codec_test::readFile(it.next());
        fuzz_bodies::ZipExtract(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        ++count;
    }
    for (QDirIterator it(QStringLiteral(TANDEX_TEST_DATA "/peer"), {"*.gz", "*.tgz", "*.tbz", "*.zip"}); it.hasNext();) {
        const QByteArray data = codec_test::readFile(it.next());
        fuzz_bodies::KitOpen(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
