#include "help_topics.h"

#include "access/access_slots.h"
#include "access/locations.h"
#include "access/text_files.h"
#include "archive/archive_errors.h"
#include "archive/archive_items.h"
#include "archive/name_charsets.h"
#include "archive/streams.h"
#include "archive/zip_kit.h"
#include "config/app_settings.h"

#include <QFile>
#include <QHash>
#include <QTemporaryFile>
#include <memory>

namespace tandex::print {

namespace {

namespace acc = tandex::access;

// The help file is small; a "help file" past this is no help file.
constexpr qint64 kMaxPackedHelpFile = 64 * 1024 * 1024;
constexpr int kEndOfData = 38;
constexpr int kNoItems = 99991;

// Closes the slot however the renderer leaves.
struct TSlotGuard {
    int slot = acc::FZNoSlot;
    ~TSlotGuard() { close(); }
    void close() {
        if (slot != acc::FZNoSlot) acc::FZClose(slot);
        slot = acc::FZNoSlot;
    }
};

// Windows-1252 back from the characters the line reader decoded; a DEL
// byte of the file comes back as itself.
QByteArray encodeAnsi(const QString& text) {
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i) all[i] = char(i);
        const QString decoded = archive::DecodeCodePage(all, 1252);
        for (int i = 0; i < 256; ++i) t.insert(decoded.at(i).unicode(), char(i));
        t.insert(acc::FZDelChar, '\x7f');
        return t;
    }();
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) out.append(table.value(c.unicode(), '?'));
    return out;
}

// Unpacks the first member of a zip at local into a temporary file and
// opens that. The access layer reads an archive named by its own path as
// its first member once archives are detected on open; a zip that arrives
// here as a plain file was not detected, and is read the same way.
int openFirstMember(const QString& local, std::unique_ptr<QTemporaryFile>& unpacked, int& slot) {
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPackedHelpFile) return 2;
    archive::MemoryStream packed(file.readAll());
    archive::TArcZipKit kit;
    kit.OpenStream(&packed);
    if (kit.GetCount() < 1 || kit.GetItem(0)->GetIsDirectory()) return kNoItems;
    archive::MemoryStream member;
    kit.ExtractToStream(kit.GetItem(0)->GetFileName(), member);
    kit.OpenStream(nullptr);
    unpacked = std::make_unique<QTemporaryFile>(acc::FZTempFolder() + QStringLiteral("help-XXXXXX.txt"));
    if (!unpacked->open() || unpacked->write(member.Memory()) != member.Memory().size() || !unpacked->flush())
        return 29;
    unpacked->close();
    return acc::FZOpen(unpacked->fileName(), acc::twReadAccess, false, slot);
}

int openHelpFile(const QString& path, std::unique_ptr<QTemporaryFile>& unpacked, int& slot) {
    if (const int r = acc::FZOpen(path, acc::twReadAccess, true, slot)) return r;
    if (acc::FZSlotInArchive(slot) || acc::FZSlotAccessKind(slot) != acc::akLocal) return 0;
    QString local;
    if (!acc::FZLocalPathOf(acc::FZSlotPath(slot), local)) return 0;
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly) || file.read(4) != QByteArrayLiteral("PK\x03\x04")) return 0;
    acc::FZClose(slot);
    slot = acc::FZNoSlot;
    // A zip that cannot be read is an unreadable help file, like a missing one.
    try {
        return openFirstMember(local, unpacked, slot);
    } catch (const archive::Exception&) {
        return kNoItems;
    }
}

}  // namespace

THelpState& HelpState() {
    static THelpState state;
    return state;
}

QString HelpRtfHeader(const QString& fontName) {
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1030{\\fonttbl{\\f0 ") + fontName +
           QStringLiteral(
               ";}{\\f1 Calibri;}}"
               "{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green127\\blue0;"
               "\\red0\\green0\\blue255;\\red96\\green96\\blue96;\\red98\\green98\\blue176;"
               "\\red0\\green0\\blue192;\\red0\\green0\\blue250;\\red0\\green0\\blue251;"
               "\\red200\\green200\\blue200;}"
               "{\\*\\generator Tandex.exe}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18");
}

int RenderHelpTopic(const QString& topic, const QString& fontName, const QString& path, QByteArray& rtf) {
    return RenderHelpTopic(topic, fontName, path, rtf, acc::FZReadLine);
}

int RenderHelpTopic(const QString& topic, const QString& fontName, const QString& path, QByteArray& rtf,
                    const THelpLineReader& readLine) {
    rtf.clear();
    acc::FZResetAbort();
    TSlotGuard guard;
    std::unique_ptr<QTemporaryFile> unpacked;
    // The code an exception reports: the last failed slot call's, else 1,
    // never 0, which would make the caller load a text that is not there.
    int lastCode = 1;
    try {
        QString text = HelpRtfHeader(fontName);
        const QString label = HelpState().HelpFileLabel;
        if (openHelpFile(path, unpacked, guard.slot) != 0) {
            text += QStringLiteral("\\par\\b\\cf2   Tandex ") + label + QStringLiteral("file not found!");
        } else {
            // The slot's own tab width: lines keep their tabs, and threads
            // reading other files keep the program's width.
            int r = acc::FZSetFileKind(guard.slot, acc::fkAnsi);
            if (!r) r = acc::FZSetSlotTextOptions(guard.slot, 0, -1, -1);
            if (r) return r;
            // One line into line: kLine, kLastLine (it came with the end),
            // kNoLine (the end, nothing left) or kFailed.
            enum { kLine, kLastLine, kNoLine, kFailed };
            QString line;
            auto next = [&]() {
                const int c = readLine(guard.slot, line);
                if (c == 0) return kLine;
                if (c == kEndOfData) return acc::FZReadLineAtEnd(guard.slot) ? kNoLine : kLastLine;
                lastCode = c;
                return kFailed;
            };
            const QString begin = QStringLiteral("#hbegin:") + topic.left(255);
            bool found = false;
            int got = kLine;
            while (!found && got == kLine) {
                got = next();
                if (got == kFailed) return lastCode;
                found = got != kNoLine && line == begin;
            }
            if (!found) {
                text += QStringLiteral("\\par\\b\\cf2   ") + label + QStringLiteral(" topic not found!");
            } else {
                const QString version = config::CurrentVersion();
                while (got == kLine) {
                    got = next();
                    if (got == kFailed) return lastCode;
                    if (got == kNoLine || line == QLatin1String("#hend")) break;
                    if (line.startsWith(QLatin1String("#hbegin:"))) continue;
                    const qsizetype at = line.indexOf(QLatin1String("#$vers"));
                    if (at >= 0) line.replace(at, 6, version);
                    text += line + QStringLiteral("\\par ");
                }
            }
        }
        guard.close();
        text += QLatin1Char('}');
        rtf = encodeAnsi(text);
        return 0;
    } catch (...) {
        rtf.clear();
        return lastCode;
    }
}

}  // namespace tandex::print
