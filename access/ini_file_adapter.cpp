#include "access/ini_file_adapter.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/locations.h"
#include "access/program_log.h"
#include "access/text_files.h"

#include <sys/stat.h>
#include <QFile>

namespace tandex::access {

namespace {

bool localFileExists(const QString& path) {
    QString local;
    struct stat st;
    return FZLocalPathOf(path, local) && ::stat(QFile::encodeName(local).constData(), &st) == 0;
}

}  // namespace

int TIniFileAdapter::Open(const QString& path, bool write, int& slot) {
    // Only a file that does not exist yet gets the owner-only mode; an
    // existing one keeps the permissions its owner gave it.
    const bool created = write && !localFileExists(path);
    if (const int r = FZOpen(path, write ? twWriteAccess : twReadAccess, false, slot)) return r;
    // Values may hold tabs, trailing blanks and any length: the engine
    // reads and writes its lines raw, whatever the editor's settings are.
    int result = FZSetSlotTextOptions(slot, 0, 0, 0);
    if (!result && write) result = FZSetLineBreakKind(slot, lbCrLf);
    if (!result && created && FZSlotAccessKind(slot) == akLocal) {
        const int fd = FZSlotHandle(slot);
        if (fd >= 0 && ::fchmod(fd, 0600) != 0) result = errAccessDenied;
    }
    if (result) {
        FZClose(slot);
        slot = FZNoSlot;
    }
    return result;
}

int TIniFileAdapter::DetectFileKind(int slot, int& kind) {
    int byRule = 0;
    if (const int r = FZDetectFileKind(slot, kind, byRule)) return r;
    return FZIsTextKind(kind) ? 0 : errInvalidParameter;
}

int TIniFileAdapter::SetFileKind(int slot, int kind) {
    return FZSetFileKind(slot, kind);
}

int TIniFileAdapter::ReadLine(int slot, QString& text, bool& hasLine) {
    const int result = FZReadLine(slot, text);
    hasLine = result == 0 || (result == config::kIniEndOfData && !FZReadLineAtEnd(slot));
    return result;
}

int TIniFileAdapter::WriteText(int slot, const QString& text) {
    return FZWriteText(slot, text);
}

int TIniFileAdapter::Close(int slot) {
    return FZClose(slot);
}

void TIniFileAdapter::SetTabSize(int width, int maxLineLength) {
    FZSetTabSize(width, maxLineLength);
}

int TIniFileAdapter::MakeFolderPath(const QString& path) {
    return FZMakeFolderPath(path);
}

void TIniFileAdapter::SetTempFolder(const QString& folder) {
    QString previous;
    FZSetTempFolder(folder, previous);
}

void TIniFileAdapter::Log(const QString& text) {
    FZLog(text);
}

void TIniFileAdapter::ResetAbort() {
    FZResetAbort();
}

int TIniFileAdapter::OpenLocation(const QString& path, int& slot) {
    return FZOpen(path, twGenAccess, true, slot);
}

int TIniFileAdapter::ReadWholeFile(int slot, const QString& path, QByteArray& content) {
    content.clear();
    if (const int r = FZReopen(slot, path, twReadAccess)) return r;
    // The pictures are small; anything far larger is not one of ours and
    // must not take the memory of the program starting up.
    constexpr qint64 kLargestFile = 64 << 20;
    constexpr qint64 kChunk = 65536;
    int result = 0;
    for (;;) {
        const qint64 at = content.size();
        if (at >= kLargestFile) {
            result = errNotEnoughMemory;
            break;
        }
        content.resize(at + kChunk);
        qint64 done = 0;
        result = FZRead(slot, content.data() + at, kChunk, done);
        content.resize(at + done);
        if (result || done == 0) break;
    }
    if (const int r = FZCloseFile(slot); !result) result = r;
    if (result) content.clear();
    return result;
}

}  // namespace tandex::access
