#pragma once
// The archive of the program's pictures ("TandexRes.zipx" beside the
// program): the main window reads its image lists, cursors and arrow
// bitmaps from it through the access layer, which opens the archive as a
// folder and each picture as a file in it.

#include <QByteArray>
#include <QString>
#include <optional>

namespace tandex::config {

inline constexpr const char* kResourceArchiveName = "TandexRes.zipx";

// The program folder + "TandexRes.zipx/", set by OpenResourceArchive; the
// trailing "/" makes the access layer treat the archive as a folder.
QString& ResourceArchivePath();

// Opens the resource archive in a slot; the access layer's result code
// (0 for success) unchanged. slot is the access layer's "no slot" on
// failure.
int OpenResourceArchive(int& slot);
// One member's content, or none when the member cannot be read (missing,
// damaged): the caller then leaves that list or cursor empty.
std::optional<QByteArray> OpenResourceFile(int slot, const QString& name);
void CloseResourceArchive(int slot);

}  // namespace tandex::config
