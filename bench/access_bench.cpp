// Timings of the access layer on real files.
//
//   access-bench readlines FILE    detects the file's kind and reads every
//                                  line (tab width 4, at most 8192 characters);
//                                  prints lines=N kind=NAME longest=N ms=T
//   access-bench roundtrip IN OUT  reads IN and writes its lines to OUT in
//                                  IN's kind and line breaks, trimming off;
//                                  prints lines=N kind=NAME ms=T
//   access-bench totals FOLDER     counts the files, folders and bytes of
//                                  the tree, following links as du -L does;
//                                  prints files=N folders=N bytes=N ms=T
//   access-bench readmember PATH   reads the whole file of a path through a
//                                  slot (a web address downloads it, a path
//                                  through an archive extracts the member,
//                                  an ftp:// location downloads it with the
//                                  port of TDX_BENCH_FTP_PORT, default 21,
//                                  and the password of TDX_BENCH_FTP_PASSWORD);
//                                  prints bytes=N ms=T
//   access-bench writemembers ARCHIVE FOLDER deferred|each
//                                  writes every file of FOLDER into ARCHIVE
//                                  through one slot, saving once at close
//                                  (as a copy run does) or after each
//                                  member; prints files=N ms=T
//   access-bench cloudscan FILE    reads every entry of a cloud metadata
//                                  answer as the listing does; prints
//                                  items=N (the folder's entries) ms=T
//
// Every command exits 0 on success, else non-zero with the error text on
// stderr.

#include "access/access_slots.h"
#include "access/archive_slots.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/folder_totals.h"
#include "access/ftp_access.h"
#include "access/ftp_hooks.h"
#include "access/text_files.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstring>

using namespace tandex::access;
namespace config = tandex::config;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int fail(const char* what, int code) {
    std::fprintf(stderr, "access-bench: %s: %s\n", what, qPrintable(FZErrorText(-code, eoNone)));
    return 1;
}

// Opens a file for reading and sets its detected text kind.
int openText(const char* path, int& slot, int& kind) {
    slot = FZNoSlot;
    if (const int r = FZOpen(QString::fromLocal8Bit(path), twReadAccess, false, slot)) return r;
    int byRule = 0;
    if (const int r = FZDetectFileKind(slot, kind, byRule)) return r;
    if (!FZIsTextKind(kind)) return errInvalidParameter;
    return FZSetFileKind(slot, kind);
}

int readLines(const char* path) {
    const auto start = Clock::now();
    int slot = FZNoSlot, kind = 0;
    int r = openText(path, slot, kind);
    qint64 lines = 0;
    QString text;
    while (!r) {
        r = FZReadLine(slot, text);
        if (r == 0 || (r == 38 && !FZReadLineAtEnd(slot))) ++lines;
    }
    const int longest = FZMaxLineLength(slot);
    if (slot != FZNoSlot) FZClose(slot);
    if (r != 38) return fail(path, r);
    std::printf("lines=%lld kind=%s longest=%d ms=%.1f\n", static_cast<long long>(lines),
                qPrintable(FZFileKindName(kind)), longest, msSince(start));
    return 0;
}

int roundTrip(const char* in, const char* out) {
    const auto start = Clock::now();
    int src = FZNoSlot, dst = FZNoSlot, kind = 0;
    int r = openText(in, src, kind);
    const char* where = in;
    if (!r) where = out;
    if (!r) r = FZOpen(QString::fromLocal8Bit(out), twWriteAccess, false, dst);
    if (!r) r = FZSetFileKind(dst, kind);
    if (!r) r = FZSetSlotTextOptions(dst, -1, -1, 0);
    qint64 lines = 0;
    QString text;
    while (!r) {
        r = FZReadLine(src, text);
        if (r != 0 && (r != 38 || FZReadLineAtEnd(src))) break;
        where = in;
        FZSetLineBreakKind(dst, FZLineBreakKind(src));
        const int w = FZWriteText(dst, text);
        ++lines;
        if (w) {
            where = out;
            r = w;
        }
    }
    if (src != FZNoSlot) FZClose(src);
    if (dst != FZNoSlot) {
        const int closed = FZClose(dst);
        if (r == 38 && closed) {
            where = out;
            r = closed;
        }
    }
    if (r != 38) return fail(where, r);
    std::printf("lines=%lld kind=%s ms=%.1f\n", static_cast<long long>(lines),
                qPrintable(FZFileKindName(kind)), msSince(start));
    return 0;
}

int totals(const char* folder) {
    const auto start = Clock::now();
    TFZFolderTotals t;
    if (const int r = FZLocalFolderTotals(QString::fromLocal8Bit(folder), t)) return fail(folder, r);
    std::printf("files=%lld folders=%lld bytes=%lld ms=%.1f\n", static_cast<long long>(t.Files),
                static_cast<long long>(t.Folders), static_cast<long long>(t.Bytes), msSince(start));
    return 0;
}

int cloudScan(const char* path) {
    // Reading and decoding count, as they do for jq, the baseline.
    const auto start = Clock::now();
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) return fail(path, errFileNotFound);
    const QString answer = QString::fromUtf8(file.readAll());
    TDropbox1 client;
    client.SetScanText(answer);
    TDBOItem item;
    qint64 items = 0;
    client.ReadItem(item);  // the folder itself
    if (!item.Path.isEmpty())
        for (client.ReadItem(item); !item.Path.isEmpty(); client.ReadItem(item)) ++items;
    std::printf("items=%lld ms=%.1f\n", static_cast<long long>(items), msSince(start));
    return 0;
}

// The one FTP profile of the bench: the location's own user and host, the
// port and password from the environment, plain FTP, passive.
void installFtpProfile(const QString& location) {
    QString site, user, host;
    if (!config::FtpSiteOf(location, site)) return;
    config::FtpSplitSite(site, user, host);
    const QString port = qEnvironmentVariable("TDX_BENCH_FTP_PORT", QStringLiteral("21"));
    const QString password = config::ScrambleText(qEnvironmentVariable("TDX_BENCH_FTP_PASSWORD"));
    FZSetFtpSiteHooks([](const QString&, int&) { return 0; },
                      [=](int, int field) -> QString {
                          switch (field) {
                              case 1: return host;
                              case 2: return user;
                              case 3: return port;
                              case 4: return password;
                              case 11: return QStringLiteral("20");
                              case 12: return QStringLiteral("60");
                              case 13: return QStringLiteral("1");
                              default: return QStringLiteral("0");
                          }
                      });
}

int readMember(const char* path) {
    if (FZIsFtpUrl(QString::fromLocal8Bit(path))) installFtpProfile(QString::fromLocal8Bit(path));
    const auto start = Clock::now();
    int slot = FZNoSlot;
    if (const int r = FZOpen(QString::fromLocal8Bit(path), twReadAccess, true, slot))
        return fail(path, r);
    static char buffer[1 << 16];
    qint64 total = 0, done = 0;
    int r = 0;
    while (!(r = FZRead(slot, buffer, sizeof buffer, done)) && done > 0) total += done;
    FZClose(slot);
    if (r) return fail(path, r);
    std::printf("bytes=%lld ms=%.1f\n", static_cast<long long>(total), msSince(start));
    return 0;
}

int writeMembers(const char* archive, const char* folder, bool deferred) {
    const QDir source(QString::fromLocal8Bit(folder));
    const QStringList names = source.entryList(QDir::Files, QDir::Name);
    const QString target = QString::fromLocal8Bit(archive) + QLatin1Char('/');
    const auto start = Clock::now();
    DeferArchiveSave().store(deferred);
    int slot = FZNoSlot;
    if (const int r = FZOpen(target, twGenWrAccess, true, slot)) return fail(archive, r);
    int r = 0;
    for (const QString& name : names) {
        QFile file(source.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            r = errFileNotFound;
            break;
        }
        const QByteArray data = file.readAll();
        qint64 done = 0;
        r = FZReopen(slot, target + name, twWriteAccess);
        if (!r) r = FZWrite(slot, data.constData(), data.size(), done);
        if (!r) r = FZCloseFile(slot);
        if (r) break;
    }
    const int closed = FZClose(slot);
    if (r || closed) return fail(archive, r ? r : closed);
    std::printf("files=%lld ms=%.1f\n", static_cast<long long>(names.size()), msSince(start));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    FZSetTabSize(4, 8192);
    if (argc == 3 && std::strcmp(argv[1], "readlines") == 0) return readLines(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "roundtrip") == 0) return roundTrip(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "totals") == 0) return totals(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "cloudscan") == 0) return cloudScan(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "readmember") == 0) {
        QCoreApplication app(argc, argv);  // the web and FTP clients' sockets
        return readMember(argv[2]);
    }
    if (argc == 5 && std::strcmp(argv[1], "writemembers") == 0 &&
        (std::strcmp(argv[4], "deferred") == 0 || std::strcmp(argv[4], "each") == 0))
        return writeMembers(argv[2], argv[3], std::strcmp(argv[4], "deferred") == 0);
    std::fprintf(stderr,
                 "usage: access-bench readlines FILE | roundtrip IN OUT | totals FOLDER | "
                 "cloudscan FILE | readmember PATH | "
                 "writemembers ARCHIVE FOLDER deferred|each\n");
    return 2;
}
