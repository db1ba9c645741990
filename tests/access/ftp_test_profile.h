#pragma once
// Profile 0 as the tests' FTP server on 127.0.0.1 takes it ("Test", user
// "u", password "p", plain FTP, passive), and the access layer told to find
// FTP sites among the stored profiles.

#include "access/ftp_hooks.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"

#include <QString>
#include <QStringList>

namespace tandex::testing {

inline void UseLocalFtpProfile(int port) {
    QStringList f(16);
    f[0] = "Test";
    f[1] = "127.0.0.1";
    f[2] = "u";
    f[3] = QString::number(port);
    f[4] = config::ScrambleText("p");
    f[6] = f[9] = f[10] = f[15] = "0";
    f[11] = "5";
    f[12] = "10";
    f[13] = f[14] = "1";
    config::AppSettings().FTPProfile[0] = f.join(';');
    access::FZSetFtpSiteHooks(config::FindFtpProfile,
                              [](int index, int field) { return config::FtpProfileField(index, field); });
}

}  // namespace tandex::testing
