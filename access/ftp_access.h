#pragma once
// FTP locations in the access slots: "ftp://" user "@" host and a remote
// path starting with "/". A slot's FTP client is made from the site's
// stored profile and connects on a worker thread while the caller keeps
// the windows alive; listings come into TFZDDir. A "\" inside a server's
// name travels as "_1_" in listings and paths and is turned back whenever
// a path goes to the server.

#include "access/access_slots.h"
#include "access/access_types.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tandex::access {

// The slots' handler of FTP locations.
class TFZFtpHandler : public TFZKindHandler {
public:
    int connect(int slot, TFZAccessMode mode) override;
    int fetch(int slot, TFZMemStream& stream) override;
    int store(int slot, TFZMemStream& stream) override;
    int release(int slot) override;
    void abort(int slot) override;
    int listFolder(int slot, TFZDDir& listing) override;

    int fileInfo(int slot, TFZFileInfo& info) override;
    int setFileTime(int slot, FileTime creation, FileTime access, FileTime write) override;
    int getAttributes(int slot, quint32& attributes) override;
    int setAttributes(int slot, quint32 attributes) override;
    int checkLocation(int slot) override;
    int exists(int slot) override;
    int makeFolder(int slot) override;
    int rename(int slot, const QString& newPath) override;
    int deleteFile(int slot) override;
    int removeFolder(int slot) override;
};

class TFtpClient;

// Sets a remote file's modification time by the commands the server
// announces (MFMT, the two MDTM forms, SITE UTIME); nothing is sent and 0
// returned when the profile does not send times. Replies other than 200,
// 213, 250 and 253 give 99990.
int FtpSetModTime(TFtpClient& client, const QString& file, const QDateTime& utc);
// The time of an MDTM or MFMT reply text ("YYYYMMDDHHMMSS" with an
// optional fraction, UTC); invalid when the text holds none.
QDateTime FZParseFtpTime(const QString& text);

// Finds the profile, asks for a missing password, builds the slot's client
// and connects it on the thread TFTPConnect.
int FZConnectFtp(int slot);
// Sends QUIT and frees the slot's client.
void FZFreeFtpClient(int slot);
// Lists the folder of the slot's path; 0 with an empty listing for a slot
// that is not FTP.
int FZListFtp(int slot, TFZDDir& listing);
// The time of a remote folder from its parent's listing; 0 and attributes
// -1 when it is not listed there.
int FZGetFtpFolderTime(int slot, const QString& path, FileTime& time, quint32& attributes);

bool FZIsFtpUrl(const QString& text);
bool FZFtpSite(const QString& text, QString& site);
// The remote path of a location: the text behind its site part ("/" when
// none); a text that is no location is a remote path already.
void FZFtpRemotePath(int slot, const QString& location, QString& remotePath);
void FZFtpDisplayUrl(int slot, const QString& path, bool addSlash, QString& location);
void FZFtpRemotePathOfSlot(int slot, QString& remotePath);
void FZFtpRemoteFolderOfSlot(int slot, QString& remoteFolder);

// The server's feature list and command help: the reply's inner lines,
// left-trimmed; empty for a slot without a connection.
QStringList FZFtpCapabilities(int slot);
QStringList FZFtpHelp(int slot);

}  // namespace tandex::access
