#include "access/archive_options.h"

#include <gtest/gtest.h>

namespace acc = tandex::access;

namespace {

TEST(ArchiveOptions, MasksBecomeExtensionsAndEmptyEntriesAreDropped) {
    EXPECT_EQ(acc::FZArchiveOptions().extensions, QStringList({".zip", ".zipx", ".jar", ".tar", ".gz"}));
    acc::FZSetArchiveOptions(true, false, 2, "*.zip;*.TGZ;;*.docx;*.7z", "pw");
    const acc::TArchiveOptions o = acc::FZArchiveOptions();
    EXPECT_TRUE(o.encryptNew);
    EXPECT_FALSE(o.ignoreCase);
    EXPECT_EQ(o.level, 2);
    EXPECT_EQ(o.password, "pw");
    EXPECT_EQ(o.extensions, QStringList({".zip", ".tgz", ".docx", ".7z"}));
    acc::FZSetArchiveOptions(false, true, 1, "*.zip;*.zipx;*.jar;*.tar;*.gz", QString());
}

}  // namespace
