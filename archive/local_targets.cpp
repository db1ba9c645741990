#include "archive/local_targets.h"

#include "archive/archive_utils.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tandex::archive {

std::optional<QString> MemberRelativePath(const QString& storedName) {
    for (const QChar c : storedName)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return std::nullopt;
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= storedName.size(); ++i) {
        if (i < storedName.size() && storedName[i] != u'/' && storedName[i] != u'\\') continue;
        const QString part = storedName.mid(start, i - start);
        start = i + 1;
        if (part.isEmpty() || part == u"." || part == u"..") continue;
        parts.append(part);
    }
    if (parts.isEmpty()) return std::nullopt;
    return parts.join(u'/');
}

std::optional<QString> MemberTargetPath(const QString& folder, const QString& storedName) {
    const std::optional<QString> relative = MemberRelativePath(storedName);
    if (!relative) return std::nullopt;
    return AppendBackslash(folder) + *relative;
}

namespace {

QByteArray native(const QString& name) {
    return QFile::encodeName(name);
}

// Read, never set: setting the mask to learn it would race with other
// threads creating files. Read once: the program never changes its mask,
// and an extraction of thousands of new files should not read /proc for
// each of them.
mode_t readUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("Umask:")) return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 022;
}

mode_t processUmask() {
    static const mode_t mask = readUmask();
    return mask;
}

}  // namespace

TReplacingFile::TReplacingFile(const QString& target) : target_(target) {
    const QFileInfo info(target);
    if (info.isSymLink()) target_ = info.symLinkTarget();
    folder_ = QFileInfo(target_).absolutePath();
    // A new file anywhere else could not be renamed over the target; the
    // system's temporary folder stands in for a folder that is missing.
    const int fd = QFileInfo(folder_).isDir() ? CreateNewFileIn(folder_, temporary_) : -1;
    if (fd < 0) throw FileCreateError(QStringLiteral("Cannot create file \"") + target_ + u'"');
    stream_ = std::make_unique<FileStream>(fd, temporary_.isEmpty() ? target_ : temporary_);
}

TReplacingFile::~TReplacingFile() {
    stream_.reset();
    if (!committed_ && !temporary_.isEmpty()) ::unlink(native(temporary_).constData());
}

void TReplacingFile::Commit() {
    // The new file gets its name only now that it is complete.
    if (!NameNewFile(stream_->Handle(), folder_, temporary_))
        throw StreamIoError(QStringLiteral("Cannot create file \"") + target_ + u'"', ResultCodeOfErrno(errno));
    stream_.reset();
    struct stat st {};
    mode_t mode;
    if (::stat(native(target_).constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = 0666 & ~processUmask();
    }
    ::chmod(native(temporary_).constData(), mode);
    if (::rename(native(temporary_).constData(), native(target_).constData()) != 0)
        throw StreamIoError(QStringLiteral("Cannot rename \"") + temporary_ + u'"',
                            ResultCodeOfErrno(errno));
    committed_ = true;
}

}  // namespace tandex::archive
