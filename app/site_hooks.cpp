#include "site_hooks.h"

#include "access/ftp_hooks.h"
#include "config/ftp_profiles.h"

namespace tandex::app {

void InstallSiteHooks() {
    access::FZSetFtpSiteHooks(config::FindFtpProfile, [](int index, int field) {
        return config::FtpProfileField(index, field);
    });
}

}  // namespace tandex::app
