#include "archive/zip_crypt.h"

#include "codec_test_support.h"

#include <QTemporaryDir>

using namespace codec_test;

namespace {

const QByteArray kPassword = QStringLiteral("pässwörd 1").toUtf8();

}  // namespace

TEST(ZipCrypt, EmptyPasswordKeepsTheStartKeysButStillEncrypts) {
    TArcZipEncryptEngine e;
    e.InitKeys(QByteArray());
    EXPECT_EQ(e.Key0, 0x12345678u);
    EXPECT_EQ(e.Key1, 0x23456789u);
    EXPECT_EQ(e.Key2, 0x34567890u);
    QByteArray data("plain text");
    e.EncodeBuffer(data.data(), data.size());
    EXPECT_NE(data, QByteArray("plain text"));
    TArcZipDecryptEngine d;
    d.InitKeys(QByteArray());
    d.DecodeBuffer(data.data(), data.size());
    EXPECT_EQ(data, QByteArray("plain text"));
}

TEST(ZipCrypt, StreamsRoundTripAndCheckThePassword) {
    const QByteArray plain = textInput().left(50000);
    const quint32 check = 0xA1B2C3D4;
    MemoryStream stored;
    {
        TArcDfEncryptStream enc(stored, kPassword, check);
        EXPECT_EQ(stored.Size(), 12);
        EXPECT_EQ(enc.Write(plain.constData(), plain.size()), plain.size());
    }
    ASSERT_EQ(stored.Size(), 12 + plain.size());

    // The header decrypts to ten arbitrary bytes and the two check bytes.
    QByteArray header = stored.Memory().left(12);
    TArcZipDecryptEngine engine;
    EXPECT_TRUE(engine.VerifyHeader(reinterpret_cast<quint8*>(header.data()), kPassword, check));
    EXPECT_EQ(quint8(header[10]), 0xB2);
    EXPECT_EQ(quint8(header[11]), 0xA1);

    // A wrong password leaves the inner stream where it was.
    stored.SetPosition(0);
    TArcDfDecryptStream wrong(&stored, QByteArray("guess"), check);
    bool wrongAccepted = wrong.CheckPassword();
    EXPECT_EQ(stored.Position(), wrongAccepted ? 12 : 0);

    stored.SetPosition(0);
    TArcDfDecryptStream dec(&stored, kPassword, check);
    ASSERT_TRUE(dec.CheckPassword());
    QByteArray back(plain.size(), '\0');
    EXPECT_EQ(dec.Read(back.data(), back.size()), plain.size());
    EXPECT_EQ(back, plain);
    EXPECT_EQ(dec.Write("x", 1), 0);
}

TEST(ZipCrypt, InfoZipReadsOurEncryptedEntry) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray plain = textInput();
    ZipEntry e;
    e.flags = 1;
    e.method = 8;
    e.crc = crcOf(plain);
    MemoryStream data;
    {
        TArcDfEncryptStream enc(data, kPassword, e.crc);
        MemoryStream src(plain);
        TArcDeflateHelper h = preset('n');
        Deflate(src, enc, &h);
    }
    e.data = data.Memory();
    ASSERT_TRUE(
        writeFile(dir.filePath("ours.zip"), oneEntryZip("text.txt", e, quint32(plain.size()))));
    QByteArray out;
    auto rc =
        runTool("unzip", {"-p", "-P", QString::fromUtf8(kPassword), "ours.zip"}, dir.path(), &out);
    if (!rc) GTEST_SKIP() << "unzip is not installed";
    EXPECT_EQ(*rc, 0);
    EXPECT_EQ(out, plain);
}

TEST(ZipCrypt, WeReadInfoZipEncryptedEntries) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray plain = binaryInput(120000);
    ASSERT_TRUE(writeFile(dir.filePath("data.bin"), plain));
    auto rc = runTool("zip", {"-q", "-P", QString::fromUtf8(kPassword), "theirs.zip", "data.bin"},
                      dir.path());
    if (!rc) GTEST_SKIP() << "zip is not installed";
    ASSERT_EQ(*rc, 0);
    auto e = firstZipEntry(readFile(dir.filePath("theirs.zip")));
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->flags & 1);
    // With a data descriptor the check byte comes from the time.
    const quint32 check = (e->flags & 8) ? quint32(e->modTime) << 16 : e->crc;
    MemoryStream stored(e->data);
    TArcDfDecryptStream dec(&stored, kPassword, check);
    ASSERT_TRUE(dec.CheckPassword());
    MemoryStream out;
    const quint32 crc = Inflate(dec, out);
    EXPECT_EQ(out.Memory(), plain);
    EXPECT_EQ(crc, e->crc);
}
