#pragma once
// Location classes and path helpers of the access layer. Local paths use
// "/" only ("\" and ":" are ordinary characters in a local name); remote
// locations use "/" as well. A network share is named "//host/share/..."
// and reached through the mount table, or by its mount path: any path on a
// network file system (cifs, smb3, nfs, nfs4, sshfs) is a share location.

#include "access/access_types.h"

#include <QString>
#include <vector>

namespace tandex::access {

TFZLocation FZClassifyPath(const QString& path);

// "//host/share..." with a non-empty host and share; hands back the host.
bool FZIsUncPath(const QString& path, QString* server = nullptr);
// "http://" or "https://" in any letter case, longer than 6 characters;
// https tells whether the "s" was there.
bool FZIsHttpPath(const QString& path, bool* https = nullptr);
bool FZIsCloudPath(const QString& path);
// The cloud path behind "dbox://", keeping its leading "/".
QString FZCloudPath(const QString& path);
// Site root of an FTP location ("ftp://user@host/"), the share of a share
// location ("//host/share/" or its mount point with "/"), else "/".
QString FZPathRoot(const QString& path);

// Makes a folder text absolute (local) and gives it exactly one trailing
// separator.
void FZNormalizeFolder(QString& path);
QString FZNormalizedFolder(const QString& path);
// Joins with exactly one separator between the parts.
QString FZJoinPath(const QString& a, const QString& b, QChar separator);

// ---- network shares through the mount table --------------------------------

struct TFZMount {
    QString mountPoint;
    QString fsType;
    QString source;
    QString host;       // empty for local file systems
    QString sharePath;  // path on the host, with a leading "/"
};

// The mounts listed by a mountinfo text (the kernel's format).
std::vector<TFZMount> FZParseMountInfo(const QByteArray& text);
// Reads the mount table from another file (tests); empty restores the
// kernel's own table.
void FZSetMountTableSource(const QString& file);
// The mount table, re-read whenever the kernel reports a change.
std::vector<TFZMount> FZMountTable();

// cifs, smb3, nfs, nfs4 or fuse.sshfs.
bool FZIsNetworkFileSystem(const QString& type);
// The mount that holds an absolute local path (the longest mount point
// above it); false when the table lists none.
bool FZMountOf(const QString& path, TFZMount& mount);

// The local path of a "//host/share/..." path, or of a path given as it
// is; false for a share that is not mounted.
bool FZLocalPathOf(const QString& path, QString& localPath);
// The host a share location lives on, by either form; empty for local
// paths.
QString FZShareHost(const QString& path);

}  // namespace tandex::access
