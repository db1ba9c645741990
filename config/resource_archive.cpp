#include "config/resource_archive.h"

#include "config/ini_file_access.h"
#include "config/prg_dir.h"

namespace tandex::config {

QString& ResourceArchivePath() {
    static QString path;
    return path;
}

int OpenResourceArchive(int& slot) {
    TIniFileAccess& access = IniFileAccess();
    access.ResetAbort();
    ResourceArchivePath() = PrgDir().ProgramFolder + QLatin1String(kResourceArchiveName) + u'/';
    return access.OpenLocation(ResourceArchivePath(), slot);
}

std::optional<QByteArray> OpenResourceFile(int slot, const QString& name) {
    QByteArray content;
    if (IniFileAccess().ReadWholeFile(slot, ResourceArchivePath() + name, content) != 0) return std::nullopt;
    return content;
}

void CloseResourceArchive(int slot) {
    IniFileAccess().Close(slot);
}

}  // namespace tandex::config
