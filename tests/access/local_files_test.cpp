#include "access/local_files.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tandex::access;

// The private folder is fixed for the life of the process, so this is the
// only test here that asks for it.
TEST(LocalFiles, PrivateTempFolderIsNeverALinkPlantedUnderItsName) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QDir(tmp.path()).mkdir("elsewhere");
    const passwd* pw = ::getpwuid(::geteuid());
    ASSERT_NE(pw, nullptr);
    const QString planted =
        tmp.filePath(QStringLiteral("tandex-") + QString::fromLocal8Bit(pw->pw_name));
    ASSERT_EQ(::symlink(QFile::encodeName(tmp.filePath("elsewhere")).constData(),
                        QFile::encodeName(planted).constData()),
              0);
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString folder = FZSystemTempFolder();
    qputenv("TMPDIR", oldTmp);

    ASSERT_TRUE(folder.endsWith('/'));
    EXPECT_FALSE(folder.startsWith(planted));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder.chopped(1)).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 077, 0u);  // nobody else may look in

    // Temporary files in it are made exclusively and private.
    QString name;
    int fd = -1;
    ASSERT_EQ(FZCreateUniqueFile(folder, "~", ".txt", name, fd), 0);
    ::close(fd);
    EXPECT_TRUE(name.startsWith(folder + "~"));
    EXPECT_EQ(QFileInfo(name).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_TRUE(QDir(tmp.filePath("elsewhere")).isEmpty());
}
