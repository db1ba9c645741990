#include "config/prg_dir.h"

#include "tandex_version.h"

#include <QByteArrayMatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

namespace tandex::config {

namespace {

const QString kIniSwitch = QStringLiteral("/IniFile=");

#define TANDEX_TEXT2(x) #x
#define TANDEX_TEXT(x) TANDEX_TEXT2(x)

// The version in the program file: the marker, the version text, a zero
// byte. An updater reads it from a downloaded or replaced program file.
#define TANDEX_VERSION_MARKER "TandexProgramVersion=\x01:"
constexpr qsizetype kMarkerLength = sizeof(TANDEX_VERSION_MARKER) - 1;
const char kEmbeddedVersion[] = TANDEX_VERSION_MARKER TANDEX_TEXT(TANDEX_VERSION_MAJOR) "." TANDEX_TEXT(
    TANDEX_VERSION_MINOR) "." TANDEX_TEXT(TANDEX_VERSION_PATCH) "." TANDEX_TEXT(TANDEX_VERSION_BUILD);

// A version text is short; a longer run of digits and dots is none.
constexpr qsizetype kMaxVersionText = 64;
// No program is larger; a file that is gets no further look.
constexpr qint64 kMaxScanned = qint64(512) << 20;

QByteArray markerPrefix() {
    return QByteArray(kEmbeddedVersion, kMarkerLength);
}

// The version text at start: dotted numbers, each part present.
QString versionTextAt(const QByteArray& data, qsizetype start) {
    qsizetype end = start;
    while (end < data.size() && end - start <= kMaxVersionText &&
           ((data[end] >= '0' && data[end] <= '9') || data[end] == '.'))
        ++end;
    const QByteArray text = data.mid(start, end - start);
    if (text.isEmpty() || text.size() > kMaxVersionText) return QString();
    for (const QByteArray& part : text.split('.'))
        if (part.isEmpty()) return QString();
    return QString::fromLatin1(text);
}

QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

TPrgDirSources processSources() {
    TPrgDirSources s;
    if (QCoreApplication::instance()) {
        s.executablePath = QCoreApplication::applicationFilePath();
        s.arguments = QCoreApplication::arguments();
    }
    if (s.executablePath.isEmpty())
        s.executablePath = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    s.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    s.home = qEnvironmentVariable("HOME");
    if (s.home.isEmpty()) s.home = QDir::homePath();
    return s;
}

std::unique_ptr<TPrgDir>& installed() {
    static std::unique_ptr<TPrgDir> prgDir;
    return prgDir;
}

}  // namespace

TPrgDir::TPrgDir() : TPrgDir(processSources()) {}

TPrgDir::TPrgDir(const TPrgDirSources& sources) {
    const QString exe = sources.executablePath;
    const qsizetype slash = exe.lastIndexOf(u'/');
    ProgramFolder = slash >= 0 ? exe.left(slash + 1) : QStringLiteral("./");

    const QFileInfo programFolder(ProgramFolder);
    portable_ = programFolder.isDir() && programFolder.isWritable() &&
                QFileInfo(ProgramFolder + QLatin1String(kIniFileName)).isFile();
    if (portable_) {
        writableRoot_ = ProgramFolder;
    } else {
        // A relative XDG_CONFIG_HOME is invalid and must be ignored.
        QString base = sources.configHome;
        if (base.isEmpty() || !QDir::isAbsolutePath(base))
            base = withSlash(sources.home) + QStringLiteral(".config");
        writableRoot_ = withSlash(withSlash(base) + QStringLiteral("tandex"));
        QDir().mkpath(writableRoot_);
    }
    IniPath = writableRoot_ + QLatin1String(kIniFileName);

    // The last switch wins; an empty value would name no file, so it is
    // ignored rather than turning every derived name into a bare extension.
    for (qsizetype i = 1; i < sources.arguments.size(); ++i) {
        const QString& arg = sources.arguments[i];
        if (arg.startsWith(kIniSwitch, Qt::CaseSensitive) && arg.size() > kIniSwitch.size())
            IniPath = arg.mid(kIniSwitch.size());
    }
}

bool TPrgDir::DeleteIniFile() const {
    return QFile::remove(IniPath);
}

QByteArray TPrgDir::IniPathPChar() const {
    return QFile::encodeName(IniPath);
}

QString TPrgDir::GetErtPath() const {
    return DeriveFromIniPath(IniPath, QStringLiteral("ert"));
}
QString TPrgDir::GetLogPath() const {
    return DeriveFromIniPath(IniPath, QStringLiteral("log"));
}
QString TPrgDir::GetTmpPath() const {
    return DeriveFromIniPath(IniPath, QStringLiteral("tmp"));
}

QString TPrgDir::ExpandAppDir(const QString& text) const {
    static const QString slashForm = QStringLiteral("$appdir/");
    static const QString backslashForm = QStringLiteral("$appdir\\");
    if (text.startsWith(slashForm, Qt::CaseSensitive) ||
        text.startsWith(backslashForm, Qt::CaseSensitive))
        return ProgramFolder + text.mid(slashForm.size());
    return text;
}

QString DeriveFromIniPath(const QString& iniPath, const QString& ext) {
    const qsizetype nameStart = iniPath.lastIndexOf(u'/') + 1;
    const qsizetype dot = iniPath.lastIndexOf(u'.');
    // A leading dot marks a hidden file, not an extension.
    if (dot <= nameStart) return iniPath + u'.' + ext;
    // Three or more characters behind the dot: the last three give way, so
    // "x.cfg" becomes "x.log" as it always did.
    if (iniPath.size() - dot - 1 >= 3) return iniPath.chopped(3) + ext;
    return iniPath.left(dot + 1) + ext;
}

TPrgDir& PrgDir() {
    auto& p = installed();
    if (!p) p = std::make_unique<TPrgDir>();
    return *p;
}

void SetPrgDir(std::unique_ptr<TPrgDir> prgDir) {
    installed() = std::move(prgDir);
}

// ---- version record -------------------------------------------------------

void ReadVersionInfo(TVersInfo& info) {
    // Read as the program file holds it, byte by byte, so that the version
    // the program runs as is always the one an updater reads from its file.
    QByteArray stored;
    for (const volatile char* p = kEmbeddedVersion + kMarkerLength; *p && stored.size() <= kMaxVersionText; ++p)
        stored.append(*p);
    const QString fileVersion = versionTextAt(stored, 0);
    const std::pair<const char*, QString> entries[] = {
        {"FileDescription", QStringLiteral("Tandex")},
        {"FileVersion", fileVersion},
        {"InternalName", QStringLiteral("tandex")},
        {"OriginalFilename", QStringLiteral("tandex")},
        {"ProductName", QStringLiteral("Tandex")},
        {"ProductVersion", QStringLiteral(TANDEX_VERSION_TEXT)},
    };
    info = TVersInfo();
    info.Count = 0;
    for (const auto& [key, value] : entries) {
        info.Keys[info.Count] = QLatin1String(key);
        info.Values[info.Count] = value;
        ++info.Count;
    }
}

const TVersInfo& ProgramVersionInfo() {
    static const TVersInfo info = [] {
        TVersInfo v;
        ReadVersionInfo(v);
        return v;
    }();
    return info;
}

QString GetProgramVersion(const TVersInfo& info) {
    for (int i = 0; i < info.Count && i < kVersInfoSize; ++i)
        if (info.Keys[i] == QLatin1String("FileVersion")) return info.Values[i];
    return QStringLiteral("Unknown!");
}

QString GetProgramVersion() {
    return GetProgramVersion(ProgramVersionInfo());
}

QString GetFileVersionText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QByteArray prefix = markerPrefix();
    const QByteArrayMatcher matcher(prefix);
    constexpr qint64 kPiece = qint64(1) << 20;
    QByteArray buffer;
    qint64 scanned = 0;
    for (;;) {
        const QByteArray more = file.read(kPiece);
        const bool end = more.isEmpty();
        scanned += more.size();
        buffer += more;
        qsizetype from = 0, at = -1;
        while ((at = matcher.indexIn(buffer, from)) >= 0) {
            const qsizetype start = at + prefix.size();
            // The version may go on in the next piece.
            if (!end && buffer.size() - start <= kMaxVersionText) break;
            const QString version = versionTextAt(buffer, start);
            if (!version.isEmpty()) return version;
            from = at + 1;
        }
        if (end || scanned >= kMaxScanned) return QString();
        // Only what may still begin a marker stays for the next piece.
        const qsizetype keep = at >= 0 ? buffer.size() - at : qMin(buffer.size(), prefix.size() - 1);
        buffer = buffer.right(keep);
    }
}

QByteArray VersionMarker(const QString& version) {
    return markerPrefix() + version.toLatin1();
}

}  // namespace tandex::config
