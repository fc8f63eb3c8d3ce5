#include "model/util/ds_xml_property_list.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

TEST(XmlPropertyList, RoundTrips)
{
    const QVariantMap root{
        {"text", QStringLiteral("0\u00a0Mio'.'")},
        {"count", qint64(12)},
        {"ratio", 0.1},
        {"yes", true},
        {"no", false},
        {"when", QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)},
        {"bytes", QByteArray("\x00\x01", 2)},
        {"list", QVariantList{QVariantMap{{"type", "1000"}}, QStringLiteral("x")}},
        {"empty", QVariantMap()},
    };
    EXPECT_EQ(ds_read_xml_property_list(ds_write_xml_property_list(root)), QVariant(root));
}

TEST(XmlPropertyList, RefusesWhatIsNotOne)
{
    const char *texts[] = {
        "",
        "<html/>",
        "<plist version=\"1.0\"><dict><string>no key</string></dict></plist>",
        "<plist version=\"1.0\"><integer>12x</integer></plist>",
        "<plist version=\"1.0\"><float>1</float></plist>",
        "<plist version=\"1.0\"><array><string>unclosed</array></plist>",
    };
    for (const char *text : texts)
        EXPECT_FALSE(ds_read_xml_property_list(text).isValid()) << text;
    EXPECT_EQ(ds_read_xml_property_list("<plist><integer> 7 </integer></plist>"), QVariant(qint64(7)));
}

} // namespace
