#include "archive_options.h"

#include <QMutex>

namespace tandex::access {

namespace {

// Read by worker threads that open archives while the settings dialog may
// hand over new options.
QMutex optionsLock;

TArchiveOptions& options() {
    static TArchiveOptions value;
    return value;
}

}  // namespace

void FZSetArchiveOptions(bool encryptNew, bool ignoreCase, int level, const QString& extensionList,
                         const QString& password) {
    QStringList extensions;
    for (const QString& mask : extensionList.split(u';')) {
        QString entry = mask.trimmed();
        entry.replace(QStringLiteral("*."), QStringLiteral("."));
        if (!entry.isEmpty()) extensions << entry.toLower();
    }
    QMutexLocker lock(&optionsLock);
    TArchiveOptions& o = options();
    o.encryptNew = encryptNew;
    o.ignoreCase = ignoreCase;
    o.level = qBound(0, level, 2);
    o.password = password;
    o.extensions = extensions;
}

TArchiveOptions FZArchiveOptions() {
    QMutexLocker lock(&optionsLock);
    return options();
}

}  // namespace tandex::access
