#pragma once
// How the FTP access reaches the site profiles and the user. The settings
// own the profiles; app/ installs the routines that find a site's profile
// and read its fields at start. They may be called off the user-interface
// thread (the pre-scan and copy threads open FTP slots too).

#include <QString>

#include <functional>

namespace tandex::access {

// The profile of an FTP location: its index, or -1 with errorCode 99995.
using TFtpSiteIndexHook = std::function<int(const QString& location, int& errorCode)>;
// Field 0..17 of a profile, with the field's default.
using TFtpSiteFieldHook = std::function<QString(int index, int field)>;
// Asks the user for a password; the answer comes scrambled, empty when
// the user gave none or cancelled.
using TFtpPasswordHook = std::function<QString(const QString& caption, bool& cancelled)>;

void FZSetFtpSiteHooks(TFtpSiteIndexHook index, TFtpSiteFieldHook field);
// Until the password window exists nothing is installed and a profile
// without a password fails with 615.
void FZSetFtpPasswordHook(TFtpPasswordHook prompt);

}  // namespace tandex::access
