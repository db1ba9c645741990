#include "config/ftp_profiles.h"

#include "config/app_settings.h"
#include "config/list_fields.h"
#include "qt_print.h"

#include <gtest/gtest.h>

using namespace tandex::config;

namespace {

class FtpProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = AppSettings().FTPProfile;
        savedMail_ = AppSettings().FTPAnoEmail;
        for (auto& p : AppSettings().FTPProfile) p.clear();
    }
    void TearDown() override {
        AppSettings().FTPProfile = saved_;
        AppSettings().FTPAnoEmail = savedMail_;
    }

private:
    std::array<QString, kListSize> saved_;
    QString savedMail_;
};

}  // namespace

TEST(ListFields, GetAndSetFollowTheRecordShape) {
    struct Case {
        const char* record;
        int n;
        const char* field;
    };
    const Case cases[] = {
        {"name;host;;21;", 0, "name"}, {"name;host;;21;", 2, ""},  {"name;host;;21;", 3, "21"},
        {"name;host;;21;", 4, ""},     {"name;host;;21", 3, "21"}, {"", 0, ""},
        {";", 0, ""},                  {"a;;c;", 2, "c"},          {"a", 5, ""},
        {"a;b", -1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetListField(QString::fromUtf8(c.record), c.n), QString::fromUtf8(c.field))
            << c.record << " field " << c.n;

    QString record = QStringLiteral("name;host;;21;");
    EXPECT_TRUE(SetListField(record, 2, QStringLiteral("user")));
    EXPECT_EQ(record, QStringLiteral("name;host;user;21;"));
    EXPECT_TRUE(SetListField(record, 0, QString()));
    EXPECT_EQ(record, QStringLiteral(";host;user;21;"));
    EXPECT_TRUE(SetListField(record, 3, QStringLiteral("990")));
    EXPECT_EQ(record, QStringLiteral(";host;user;990;"));
    for (int n : {4, 9, -1}) {
        QString unchanged = QStringLiteral("a;b;");
        EXPECT_FALSE(SetListField(unchanged, n, QStringLiteral("x"))) << n;
        EXPECT_EQ(unchanged, QStringLiteral("a;b;"));
    }
}

TEST_F(FtpProfiles, FieldsTakeTheirDefaultsAndTheAnonymousName) {
    AppSettings().FTPAnoEmail = QStringLiteral("me@example.org");
    AppSettings().FTPProfile[0] = QStringLiteral("Site;host.org;bob;;PW;;;;;;1;;;;;");
    AppSettings().FTPProfile[1] = QStringLiteral("Other;h;alice;2121;;0;3;1;1;1;0;5;7;0;0;0");
    struct Case {
        int index;
        int field;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "Site"},  {0, 1, "host.org"}, {0, 2, "anonymous"}, {0, 17, "bob"},
        {0, 3, "21"},    {0, 4, "PW"},       {0, 5, "0"},         {0, 9, "0"},
        {0, 10, "1"},    {0, 11, "20"},      {0, 12, "60"},       {0, 13, "1"},
        {0, 14, "1"},    {0, 15, "1"},       {0, 16, "me@example.org"},
        {1, 2, "alice"}, {1, 3, "2121"},     {1, 6, "3"},         {1, 11, "5"},
        {1, 12, "7"},    {1, 13, "0"},       {1, 15, "0"},
        // Free slots and numbers out of range read as empty records.
        {5, 1, ""},      {5, 3, "21"},       {-1, 12, "60"},      {20, 2, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FtpProfileField(c.index, c.field), QString::fromUtf8(c.text))
            << "profile " << c.index << " field " << c.field;
}

TEST_F(FtpProfiles, FindMatchesHostAndUserExactlyAndSplitsAtTheLastAt) {
    AppSettings().FTPProfile[0] = QStringLiteral("A;host.org;bob;21");
    AppSettings().FTPProfile[1] = QStringLiteral("B;host.org;;21");
    AppSettings().FTPProfile[2] = QStringLiteral("C;files.net;x;21;;;;;;;1");
    AppSettings().FTPProfile[3] = QStringLiteral("D;host;u@host.org;21");
    AppSettings().FTPProfile[4] = QStringLiteral("E;Host.org;bob;21");
    struct Case {
        const char* location;
        int index;
    };
    const Case cases[] = {
        {"ftp://bob@host.org/dir/file.txt", 0},
        {"ftp://bob@host.org", 0},
        {"ftp:##bob@host.org/x", 0},
        {"sftp://bob@host.org/x", 0},
        {"scp://bob@host.org/", 0},
        {"ftp://Bob@host.org/", -1},  // exact, with case
        {"ftp://bob@HOST.org/", -1},
        {"ftp://bob@Host.org/", 4},
        {"ftp://anonymous@files.net/pub", 2},
        {"ftp://x@files.net/pub", -1},  // the anonymous profile's user reads "anonymous"
        {"ftp://u@host.org@host/x", 3},
        {"ftp://@host.org/", 1},
        {"ftp://host.org/", -1},
        {"http://bob@host.org/", -1},
        {"/home/bob", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        int code = -7;
        EXPECT_EQ(FindFtpProfile(QString::fromUtf8(c.location), code), c.index) << c.location;
        EXPECT_EQ(code, c.index < 0 ? FtpNoProfileCode : 0) << c.location;
    }
    // A free slot between used ones is never a match, not even for an
    // empty user and host.
    AppSettings().FTPProfile[1].clear();
    int code = 0;
    EXPECT_EQ(FindFtpProfile(QStringLiteral("ftp://@host.org/"), code), -1);
}

TEST_F(FtpProfiles, SiteSplitKeepsTheSchemeAndHandsOverUserAndHost) {
    struct Case {
        const char* location;
        bool ok;
        const char* site;
        const char* user;
        const char* host;
    };
    const Case cases[] = {
        {"ftp://u@h/a/b", true, "ftp://u@h", "u", "h"},
        {"sftp://u@h/a", true, "sftp://u@h", "u", "h"},
        {"scp://u@h", true, "scp://u@h", "u", "h"},
        {"ftp://u@host.org@host/x", true, "ftp://u@host.org@host", "u@host.org", "host"},
        {"ftp:##u@h/x", true, "ftp:##u@h", "u", "h"},
        {"ftp://h/x", true, "ftp://h", "", "ftp://h"},
        {"ftps://u@h/", false, "", "", ""},
        {"http://u@h/", false, "", "", ""},
        {"ftp:/u@h", false, "", "", ""},
    };
    for (const Case& c : cases) {
        QString site;
        EXPECT_EQ(FtpSiteOf(QString::fromUtf8(c.location), site), c.ok) << c.location;
        EXPECT_EQ(site, QString::fromUtf8(c.site)) << c.location;
        if (!c.ok) continue;
        QString user, host;
        FtpSplitSite(site, user, host);
        EXPECT_EQ(user, QString::fromUtf8(c.user)) << c.location;
        EXPECT_EQ(host, QString::fromUtf8(c.host)) << c.location;
    }
}

TEST_F(FtpProfiles, UrlUsesTheReadUserForEveryProtocol) {
    AppSettings().FTPProfile[0] = QStringLiteral("A;host.org;bob;21;;1");
    AppSettings().FTPProfile[1] = QStringLiteral("B;files.net;stored;21;;0;;;;;1");
    QString url;
    FtpProfileUrl(0, QStringLiteral("/"), url);
    EXPECT_EQ(url, QStringLiteral("ftp://bob@host.org/"));
    FtpProfileUrl(0, QStringLiteral("pub/x"), url);
    EXPECT_EQ(url, QStringLiteral("ftp://bob@host.org/pub/x"));
    FtpProfileUrl(1, QString(), url);
    EXPECT_EQ(url, QStringLiteral("ftp://anonymous@files.net/"));
    // The address leads back to its own profile.
    int code = 0;
    EXPECT_EQ(FindFtpProfile(url, code), 1);
}
