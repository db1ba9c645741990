#pragma once
// "dbox://" locations in the slots: the cloud kind's handler, the listing
// of a cloud folder, the service's dates, and the user's access token,
// which lives scrambled in the settings and is dropped when the service
// answers 401. Every operation goes through the one client of
// cloud_client.h; its result codes are those of http_requests.h, and the
// texts of 401, 404, 503, 507 and 99997 are read with eoDropbox.

#include "access/access_slots.h"
#include "access/cloud_client.h"

#include <QString>

#include <functional>
#include <vector>

namespace tandex::access {

// ---- the access token -----------------------------------------------------

// CloudGranted: whether an access token is loaded. Read by the copy
// writer's thread as well.
bool FZCloudGranted();
void FZSetCloudGranted(bool granted);

// The token pair of the settings into the client; granted when both parts
// are there.
void FZCloudLoadToken();
// The login's first half: a request token, and the address the user opens
// in the browser to allow the program in (empty on failure). The hook of
// the login page hears of each step: 0 before the request, 1 after it.
int FZCloudAuthorize(QString& url);
// The login's second half: exchanges the allowed request token for an
// access token and stores what the client then holds in the settings,
// whatever the answer (the login page drops it after a failure).
int FZCloudGrant();
void FZSetCloudLoginStepHook(std::function<void(int step)> hook);
// The account's text, or the error text of a failure.
int FZCloudAccountInfo(QString& text);
// Hands the code back; 401 drops the token from memory and from the
// settings, so the next open asks for a new login.
int FZCloudCheckAuth(int code);

// ---- listings and dates ----------------------------------------------------

// The folder the slot points at: ".." first unless it is the root, then
// its files and subfolders.
int FZListCloudFolder(int slot, TFZDDir& listing);
// Adds the entries of folder's metadata answer (a cloud path, the folder
// itself first) to the listing; entries of other folders and deeper ones
// are passed over.
void FZFilterCloudListing(const std::vector<TDBOItem>& items, const QString& folder,
                          TFZDDir& listing);
// A date in the service's RFC 1123 form, always UTC; 1 January 1900 when
// it is none, December for a month it does not know.
FileTime FZParseCloudDate(const QString& text);

// ---- the slots' handler ----------------------------------------------------

class TFZCloudHandler : public TFZKindHandler {
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

    int checkLocation(int slot) override;
    int exists(int slot) override;
    int makeFolder(int) override { return 0; }
    int rename(int slot, const QString& newPath) override;
    int deleteFile(int slot) override;
    int removeFolder(int slot) override;
    int listFolder(int slot, TFZDDir& listing) override;
};

}  // namespace tandex::access
