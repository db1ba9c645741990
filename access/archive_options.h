#pragma once
// The unit-wide options of archives opened as folders: whether new
// archives are encrypted, whether member names ignore case, the compression
// level, the settings' archive password (scrambled) and the file extensions
// that make a path step into an archive.

#include <QString>
#include <QStringList>

namespace tandex::access {

struct TArchiveOptions {
    bool encryptNew = false;
    bool ignoreCase = true;
    int level = 1;  // 0 fastest, 1 normal, 2 maximum
    QString password;
    // One extension per entry with its dot, lower case.
    QStringList extensions{".zip", ".zipx", ".jar", ".tar", ".gz"};
};

// Stores the flags, the level and the password, and rebuilds the extension
// list from masks separated by ";" ("*.zip;*.tar;"): "*." becomes ".",
// empty entries are dropped.
void FZSetArchiveOptions(bool encryptNew, bool ignoreCase, int level, const QString& extensionList,
                         const QString& password);
TArchiveOptions FZArchiveOptions();

}  // namespace tandex::access
