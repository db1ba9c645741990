#pragma once
// A stand-in for an external program: a shell script that writes its
// arguments, one a line, and the bytes of its first argument's file into
// its folder and counts its runs, so a test can see what a launch handed
// over. The launch does not wait for the program, so the test waits for
// the record.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTest>

namespace tandex::testing {

class RecordingProgram {
public:
    // Writes the script into folder under name.
    RecordingProgram(const QString& folder, const QString& name = QStringLiteral("recorder.sh"))
        : dir_(folder), path_(dir_.filePath(name)) {
        QFile script(path_);
        script.open(QIODevice::WriteOnly);
        // The record appears whole: written aside, then renamed.
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "echo run >> '%1/runs'\n"
                                    "cat \"$1\" > '%1/content' 2>/dev/null\n"
                                    "printf '%s\\n' \"$@\" > '%1/args.part'\n"
                                    "mv '%1/args.part' '%1/args'\n")
                         .arg(dir_.absolutePath())
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString path() const { return path_; }

    // The arguments of the next run, once it wrote them (empty after the
    // time allowed); the record is taken away for the run after.
    QStringList waitForArguments(int ms = 10000) const {
        QElapsedTimer clock;
        clock.start();
        QFile record(dir_.filePath(QStringLiteral("args")));
        while (!record.exists() && clock.elapsed() < ms) QTest::qWait(10);
        if (!record.open(QIODevice::ReadOnly)) return {};
        QString text = QString::fromUtf8(record.readAll());
        record.remove();
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        return text.split(QLatin1Char('\n'));
    }
    // How often the script started: a launch that must start nothing is
    // checked by the count after a later one that does.
    int runCount() const {
        QFile f(dir_.filePath(QStringLiteral("runs")));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }
    QByteArray content() const {
        QFile f(dir_.filePath(QStringLiteral("content")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QDir dir_;
    QString path_;
};

}  // namespace tandex::testing
