#include "config/app_settings.h"

#include "config/color_sets.h"
#include "config/prg_dir.h"

#include <QStringList>

#include <algorithm>

namespace tandex::config {

namespace {

struct SettingsObjects {
    TAppSettings settings;
    QString currentVersion;
    QString appBackupsFolder;
    bool defaultsPlaced = false;
};

// Until the settings load has run, the values are those a missing settings
// file gives, with the folders under the writable root.
SettingsObjects& objects() {
    static SettingsObjects o;
    if (!o.defaultsPlaced) {
        o.defaultsPlaced = true;
        const QString root = PrgDir().GetWritableRoot();
        o.settings.SetDefaults(root);
        o.currentVersion = GetProgramVersion();
        o.appBackupsFolder = root + QStringLiteral("TDX_AppBackups/");
    }
    return o;
}

}  // namespace

const std::array<QString, kBuiltInConverters>& BuiltInConverters() {
    // Fields: name; masks; parameters; program; short names; use exit code;
    // success code; enabled; second success code. Programs are looked up on
    // PATH. Without "$dstfile" the output is taken from standard output.
    static const std::array<QString, kBuiltInConverters> entries = {
        QStringLiteral("PDF to Text;*.pdf;-layout $srcfile $dstfile;pdftotext;0;1;0;0;"),
        QStringLiteral("DOC to Text;*.doc;$srcfile;catdoc;1;1;0;0;"),
        QStringLiteral("PPT to Text;*.ppt;$srcfile;catppt;1;1;0;0;"),
        QStringLiteral("XLS to Text;*.xls;$srcfile;xls2csv;0;1;0;0;"),
        QStringLiteral("PE Headers;*.exe,*.dll;-x $srcfile;objdump;0;1;0;0;"),
        QStringLiteral(
            "XML Canonicalization;*.xml;c14n --with-comments $srcfile;xmlstarlet;0;1;0;0;;"),
        // tidy exits with 1 when it only warns.
        QStringLiteral("HTML Formating;*.html,*.htm,*.php;-i $srcfile;tidy;0;1;0;0;1;"),
    };
    return entries;
}

QString DefaultSessionData() {
    QStringList fields{QStringLiteral("X->")};
    fields << QStringList(5, QString());
    fields << QStringLiteral("1") << QStringLiteral("0") << QStringLiteral("1") << QString();
    fields << QStringList(5, QStringLiteral("0"));
    fields << QStringLiteral("3");
    fields << QStringList(20, QStringLiteral("0"));
    fields << QStringLiteral("X");
    return fields.join(QChar(30));
}

TAppSettings::TAppSettings() {
    for (int i = 0; i < kBuiltInConverters; ++i)
        PIConfig[i] = BuiltInConverters()[i];
    FCSessData[kListSize] = DefaultSessionData();
    for (int i = 5; i <= 9; ++i)
        COSetName[i] = QStringLiteral("-");
    FillBuiltInColorSets(*this);
}

void TAppSettings::SetDefaults(const QString& writableRoot) {
    *this = TAppSettings();
    GSTempPath = writableRoot + QStringLiteral("TDX_Temp");
    BKFolder = writableRoot + QStringLiteral("TDX_Backups");
    BKFTPFolder = writableRoot + QStringLiteral("TDX_FTPBackups");
    BKArcFolder = writableRoot + QStringLiteral("TDX_ArcBackups");
    BKDBOFolder = writableRoot + QStringLiteral("TDX_DBOBackups");
}

TAppSettings& AppSettings() {
    return objects().settings;
}

const TColorSet& CurrentColorSet() {
    const TAppSettings& s = AppSettings();
    return s.ColorSets[size_t(std::clamp(s.COSetIdx, 0, kColorSetCount - 1))];
}

QString& CurrentVersion() {
    return objects().currentVersion;
}
QString& AppBackupsFolder() {
    return objects().appBackupsFolder;
}

}  // namespace tandex::config
