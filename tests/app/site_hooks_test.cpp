#include "app/site_hooks.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/ftp_hooks.h"
#include "config/app_settings.h"

#include <gtest/gtest.h>

using namespace tandex;

TEST(SiteHooks, FtpSlotsFindTheStoredProfile) {
    config::AppSettings().FTPProfile[0] = QStringLiteral("Bad;host.org;bob;2x;00");
    int slot = access::FZNoSlot;
    EXPECT_EQ(access::FZOpen("ftp://bob@host.org/", access::twGenAccess, false, slot),
              access::errNoFtpProfile);
    app::InstallSiteHooks();
    // The profile is found, and its port is no number.
    EXPECT_EQ(access::FZOpen("ftp://bob@host.org/", access::twGenAccess, false, slot),
              access::errBadProfile);
    EXPECT_EQ(access::FZOpen("ftp://alice@host.org/", access::twGenAccess, false, slot),
              access::errNoFtpProfile);
    access::FZSetFtpSiteHooks({}, {});
    config::AppSettings().FTPProfile[0].clear();
}
