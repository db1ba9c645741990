#include "ftp_profile_texts.h"

#include "config/ftp_profiles.h"
#include "config/num_format.h"

namespace tandex::settings {

namespace {

// The command word a reply line is known by: the text before its first
// blank, or the whole line.
QString commandKey(const QString& line) {
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return blank > 0 ? line.left(blank) : line;
}

QString describe(const QString& line, const QStringList& descriptions) {
    const QString key = commandKey(line) + QLatin1Char('\t');
    for (const QString& d : descriptions)
        if (d.startsWith(key)) return d;
    return line;
}

// Command help lists words like "ABOR", "XMKD" or "SMNT*" (unimplemented);
// anything else on a line (an address, a sentence's punctuation) marks it as
// prose.
bool isCommandWord(QStringView word) {
    if (word.isEmpty() || word.size() > 10) return false;
    for (QChar c : word)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('*')) return false;
    return true;
}

}  // namespace

QString JoinFtpProfileRecord(const QStringList& fields) {
    return fields.join(QLatin1Char(';'));
}

bool FtpRecordTextsSeparable(const QString& name, const QString& host, const QString& user) {
    for (const QString* text : {&name, &host, &user})
        if (text->contains(QLatin1Char(';'))) return false;
    return true;
}

QString FtpProfileListItem(int slot) {
    return config::IntToGroupedStr(slot + 1, 2, false) + QStringLiteral(": ") + config::FtpProfileField(slot, 0) +
           QStringLiteral(": [") + config::FtpProfileField(slot, 2) + QLatin1Char('@') +
           config::FtpProfileField(slot, 1) + QLatin1Char(']');
}

TFtpTestLook FtpTestStateLook(int state, const QString& errorText) {
    switch (state) {
        case 1: return {QStringLiteral("\rConnection not verified"), true, 0x000000};
        case 2: return {QStringLiteral("\rTesting connection, please wait..."), true, 0x0069E8};
        case 3: return {QStringLiteral("\rFTP connection OK!"), true, 0x008000};
        case 4: return {QStringLiteral("\rFTP connection OK - but without encryption!"), true, 0xFF0000};
        case 5:
            return {QStringLiteral("\rFTP connection OK -  but without encryption!\r\u2022 'Data channel encryption' is "
                                   "turned off!"),
                    true, 0xFF0000};
        case 6: return {QStringLiteral("FTP connection failed!\r") + errorText, true, 0x0000FF};
        case 7: return {QStringLiteral("\rAborted by user!"), true, 0x0069E8};
        default: return {QString(), false, 0};
    }
}

QStringList DescribeFtpReplyLines(const QStringList& reply, const QStringList& descriptions, bool commandList) {
    QStringList shown;
    for (const QString& line : reply) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool several = commandList && words.size() > 1;
        for (const QString& w : words) several = several && isCommandWord(w);
        if (!several) {
            shown << describe(line, descriptions);
            continue;
        }
        for (const QString& w : words) shown << describe(w, descriptions);
    }
    return shown;
}

}  // namespace tandex::settings
