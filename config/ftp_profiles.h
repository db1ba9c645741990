#pragma once
// FTP site profiles: up to 20 records of 16 ";"-separated fields in
// AppSettings().FTPProfile (name, host, user, port, scrambled password,
// protocol, encryption, IP version, TLS method, data channel protection,
// anonymous flag, two time-outs, passive mode and two time-stamp options).
// The access layer reaches them through its site hooks only; these are the
// routines that app/ installs there.

#include <QString>

namespace tandex::config {

inline constexpr int FtpProfileCount = 20;
inline constexpr int FtpNoProfileCode = 99995;

// The site part of an FTP location: scheme, "://", user, "@" and host
// (the "//" may come masked as "##"); false for anything but "ftp://",
// "sftp://" and "scp://".
bool FtpSiteOf(const QString& location, QString& site);

// Splits a site text into user and host at its last "@", so that a user
// name holding "@" (an e-mail address) stays whole. Without an "@" the
// user is empty and the host is the whole text.
void FtpSplitSite(const QString& site, QString& user, QString& host);

// One field of a profile with its default; 16 is the anonymous password
// (AppSettings().FTPAnoEmail), 17 the user name as stored (field 2 reads
// "anonymous" for an anonymous profile). Never fails.
void FtpProfileField(int index, int field, QString& text);
QString FtpProfileField(int index, int field);

// The first used profile whose host and user equal the location's, with
// case; -1 with errorCode 99995 when there is none.
int FindFtpProfile(const QString& location, int& errorCode);

// "ftp://" user "@" host "/" path of a profile, for every protocol choice;
// a path that starts with "/" brings its own.
void FtpProfileUrl(int index, const QString& path, QString& url);

}  // namespace tandex::config
