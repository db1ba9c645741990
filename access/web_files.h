#pragma once
// Web addresses ("http://", "https://") as read-only files: a slot of such
// a location downloads its address whole into the slot's stream, through
// the configured HTTP proxy. Writing is refused with 405; sizes and times
// come from a HEAD request until the file is downloaded.

#include "access/access_slots.h"

#include <QNetworkProxy>

class QNetworkAccessManager;

namespace tandex::access {

// The slots' handler of web locations (installed by the access unit).
class TFZWebHandler : public TFZKindHandler {
public:
    int connect(int slot, TFZAccessMode mode) override;
    int fetch(int slot, TFZMemStream& stream) override;
    int store(int slot, TFZMemStream& stream) override;
    int release(int slot) override;
    void abort(int slot) override;

    int fileInfo(int slot, TFZFileInfo& info) override;
    int setFileTime(int, FileTime, FileTime, FileTime) override { return 0; }
    int getAttributes(int, quint32& attributes) override;
    int setAttributes(int, quint32) override { return 0; }

    int checkLocation(int) override { return 0; }
    int exists(int slot) override;
    int makeFolder(int) override { return 0; }
    int rename(int, const QString&) override { return 0; }
    int deleteFile(int slot) override;
    int removeFolder(int slot) override;
    int listFolder(int slot, TFZDDir& listing) override;
};

// Builds the slot's HTTP client (nothing when it has one) with the proxy
// of the settings; FZFreeHttpClient drops it.
int FZConnectHttp(int slot);
void FZFreeHttpClient(int slot);

// The HTTP proxy of the settings: with the proxy on, an HTTP proxy with
// the server, port, user and unscrambled password; off, none at all (also
// no proxy from the environment).
QNetworkProxy FZHttpProxy();
void FZApplyHttpProxy(QNetworkAccessManager& manager);

}  // namespace tandex::access
