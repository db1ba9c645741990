#pragma once
// How the FTP access reaches the site profiles and reports its transfers.
// The settings own the profiles; app/ installs the routines that find a
// site's profile and read its fields at start. They may be called off the
// user-interface thread (the pre-scan and copy threads open FTP slots too).

#include <QString>
#include <QtGlobal>

#include <functional>

namespace tandex::access {

// The profile of an FTP location: its index, or -1 with errorCode 99995.
using TFtpSiteIndexHook = std::function<int(const QString& location, int& errorCode)>;
// Field 0..17 of a profile, with the field's default.
using TFtpSiteFieldHook = std::function<QString(int index, int field)>;

// A profile without a password asks the access layer's one password
// prompt (password_prompt.h).
void FZSetFtpSiteHooks(TFtpSiteIndexHook index, TFtpSiteFieldHook field);

// Progress of an FTP transfer: the bytes of the file moved so far, counted
// from 0 for every download or upload. The hook runs on the thread that
// moves the file, while the transfer waits for it, at most every 50 ms
// while bytes flow and once more with the whole count when the file is
// through. It may process the window's messages and call FZAbortAll or
// FZAbortFtpTransfer: the transfer then ends with 1235 ("Function aborted
// by user") and the slot's connection serves the next command (a second
// FZAbortFtpTransfer before the first is served closes the connection
// instead). Uploads also leave the bytes since the previous report in
// FZTransferDelta().
using TFtpProgressHook = std::function<void(qint64 bytes)>;

// FtpReadProgressHook (downloads) and FtpWriteProgressHook (uploads);
// an empty function removes the hook. Closing a slot that downloaded or
// uploaded a file removes the hook of that direction, so a window sets its
// hook before each load or save. Without a write hook an upload processes
// pending messages itself.
void FZSetFtpReadProgressHook(TFtpProgressHook hook);
void FZSetFtpWriteProgressHook(TFtpProgressHook hook);

}  // namespace tandex::access
