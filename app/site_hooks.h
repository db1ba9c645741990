#pragma once
// The routines of the settings that the access layer reaches through its
// hooks: finding an FTP site's profile and reading its fields, and the
// password prompt.

namespace tandex::app {

void InstallSiteHooks();

}  // namespace tandex::app
