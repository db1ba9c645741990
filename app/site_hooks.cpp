#include "site_hooks.h"

#include "access/ftp_hooks.h"
#include "access/password_prompt.h"
#include "config/ftp_profiles.h"
#include "ui/settings/password_prompt.h"

namespace tandex::app {

void InstallSiteHooks() {
    access::FZSetFtpSiteHooks(config::FindFtpProfile, [](int index, int field) {
        return config::FtpProfileField(index, field);
    });
    access::SetPasswordPromptHook(settings::AskPassword);
}

}  // namespace tandex::app
