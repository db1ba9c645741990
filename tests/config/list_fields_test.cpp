#include "config/list_fields.h"

#include "config/app_settings.h"
#include "qt_print.h"

#include <gtest/gtest.h>

using namespace tandex::config;

// The converter entries are read field by field: the name, and the second
// success code, which may be missing or empty.
TEST(ListFields, ReadsTheConverterEntries) {
    const auto& entries = BuiltInConverters();
    struct Case {
        QString record;
        int n;
        const char* field;
    };
    const Case cases[] = {
        {entries[0], 0, "PDF to Text"},
        {entries[0], 8, ""},
        {entries[4], 0, "PE Headers"},
        {entries[6], 0, "HTML Formating"},
        {entries[6], 8, "1"},
        {entries[6], 9, ""},
        {QStringLiteral("a;b;"), 1, "b"},
        {QStringLiteral("a;b;"), 2, ""},
        {QStringLiteral("a;b"), 1, "b"},
        {QStringLiteral("a;b"), 40, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetListField(c.record, c.n), QString::fromUtf8(c.field)) << qPrintable(c.record) << " field " << c.n;
}
