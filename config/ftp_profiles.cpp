#include "config/ftp_profiles.h"

#include "config/app_settings.h"
#include "config/list_fields.h"

namespace tandex::config {

namespace {

QString profileRecord(int index) {
    if (index < 0 || index >= FtpProfileCount) return QString();
    return AppSettings().FTPProfile[size_t(index)] + QLatin1Char(';');
}

QString fieldDefault(int field) {
    switch (field) {
        case 3:
            return QStringLiteral("21");
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            return QStringLiteral("0");
        case 11:
            return QStringLiteral("20");
        case 12:
            return QStringLiteral("60");
        case 13:
        case 14:
        case 15:
            return QStringLiteral("1");
        default:
            return QString();
    }
}

}  // namespace

bool FtpSiteOf(const QString& location, QString& site) {
    site.clear();
    qsizetype schemeLength;
    if (location.startsWith(QLatin1String("ftp")) || location.startsWith(QLatin1String("scp")))
        schemeLength = 3;
    else if (location.startsWith(QLatin1String("sftp")))
        schemeLength = 4;
    else
        return false;
    const QStringView mark = QStringView(location).mid(schemeLength, 3);
    if (mark != QLatin1String("://") && mark != QLatin1String(":##")) return false;
    const qsizetype slash = location.indexOf(QLatin1Char('/'), schemeLength + 3);
    site = slash < 0 ? location : location.left(slash);
    return true;
}

void FtpSplitSite(const QString& site, QString& user, QString& host) {
    qsizetype start = site.indexOf(QLatin1String("://"));
    if (start < 0) start = site.indexOf(QLatin1String(":##"));
    start = start < 0 ? 0 : start + 3;
    const qsizetype at = site.lastIndexOf(QLatin1Char('@'));
    if (at < start) {
        user.clear();
        host = site;
        return;
    }
    user = site.mid(start, at - start);
    host = site.mid(at + 1);
}

void FtpProfileField(int index, int field, QString& text) {
    const QString record = profileRecord(index);
    if (field == 2 && GetListField(record, 10) == QLatin1String("1"))
        text = QStringLiteral("anonymous");
    else if (field == 16)
        text = AppSettings().FTPAnoEmail;
    else if (field == 17)
        GetListField(record, 2, text);
    else
        GetListField(record, field, text);
    if (text.isEmpty()) text = fieldDefault(field);
}

QString FtpProfileField(int index, int field) {
    QString text;
    FtpProfileField(index, field, text);
    return text;
}

int FindFtpProfile(const QString& location, int& errorCode) {
    errorCode = FtpNoProfileCode;
    QString site;
    if (!FtpSiteOf(location, site)) return -1;
    QString user;
    QString host;
    FtpSplitSite(site, user, host);
    for (int i = 0; i < FtpProfileCount; ++i) {
        if (AppSettings().FTPProfile[size_t(i)].isEmpty()) continue;
        if (FtpProfileField(i, 1) == host && FtpProfileField(i, 2) == user) {
            errorCode = 0;
            return i;
        }
    }
    return -1;
}

void FtpProfileUrl(int index, const QString& path, QString& url) {
    url = QStringLiteral("ftp://") + FtpProfileField(index, 2) + QLatin1Char('@') +
          FtpProfileField(index, 1) +
          (path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
}

}  // namespace tandex::config
