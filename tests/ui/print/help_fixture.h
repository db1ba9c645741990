#pragma once
// Help files for the tests: the topic text written as it is, or packed as
// the program's help file by Python's zipfile, a zip writer independent of
// ours.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>

namespace help_fixture {

inline QString writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
    return path;
}

// A zip at zipPath whose first member (a name the program never looks at)
// holds text.
inline QString writeHelpZip(const QString& zipPath, const QByteArray& text) {
    const QString source = writeFile(zipPath + ".src", text);
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import sys, zipfile\n"
                  "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                  "    z.write(sys.argv[2], 'any name.txt')\n",
                  zipPath, source});
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    QFile::remove(source);
    return zipPath;
}

}  // namespace help_fixture
