#pragma once
// How the FTP access reaches the site profiles. The settings
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

// A profile without a password asks the access layer's one password
// prompt (password_prompt.h).
void FZSetFtpSiteHooks(TFtpSiteIndexHook index, TFtpSiteFieldHook field);

}  // namespace tandex::access
