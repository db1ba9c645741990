#pragma once
// Reading printed PDF files back with poppler's tools.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "tests/ui/widget_harness.h"

namespace tandex::testing {

inline QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline int pdfPages(const QString& file) {
    const QString out = runTool(QStringLiteral("pdfinfo"), {file});
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out).captured(1).toInt();
}

inline QString pdfSize(const QString& file) {
    const QString out = runTool(QStringLiteral("pdfinfo"), {file});
    return QRegularExpression(QStringLiteral("Page size:\\s+(.*)\n")).match(out).captured(1);
}

// A page's text in one line, blanks collapsed.
inline QString pageText(const QString& file, int page) {
    const QString n = QString::number(page);
    return runTool(QStringLiteral("pdftotext"), {"-f", n, "-l", n, file, "-"}).simplified();
}

// A page's text lines as laid out on the paper.
inline QStringList pageLines(const QString& file, int page) {
    const QString n = QString::number(page);
    return runTool(QStringLiteral("pdftotext"), {"-layout", "-f", n, "-l", n, file, "-"})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A page rendered at 72 dpi; with a name it is also kept among the
// widget grabs for a person to look at.
inline QImage pageImage(const QString& file, int page, const QString& keepAs = {}) {
    const QString n = QString::number(page);
    const QString prefix = file + QStringLiteral(".p") + n;
    runTool(QStringLiteral("pdftoppm"), {"-r", "72", "-png", "-singlefile", "-f", n, "-l", n, file, prefix});
    const QImage image(prefix + QStringLiteral(".png"));
    if (!keepAs.isEmpty()) image.save(QDir(GrabFolder()).filePath(keepAs + QStringLiteral(".png")));
    return image;
}

}  // namespace tandex::testing
