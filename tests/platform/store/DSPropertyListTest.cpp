#include "platform/store/DSPropertyList.h"

#include <QCborArray>
#include <QCborMap>

#include <gtest/gtest.h>

#include <limits>

TEST(DSPropertyList, RoundTripsEveryKindItHolds)
{
    const QCborValue value(QCborMap{
        {1, QStringLiteral("one")},
        {-2.5, QCborArray{true, false, nullptr, QCborValue(), qint64(1) << 60, -1e300, -1, -3,
                          std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()}},
        {QStringLiteral("data"), QByteArray("\0\1\2", 3)},
        {QStringLiteral("predicate"), QCborValue(QCborTag(0x4F50), QCborArray{QStringLiteral("AND"), QCborMap{}})},
    });
    QCborValue back;
    QString why;
    ASSERT_TRUE(ds_property_list_from_cbor(ds_property_list_to_cbor(value), &back, &why)) << why.toStdString();
    EXPECT_EQ(back, value);
}

TEST(DSPropertyList, HostileBytesAreRefusedWithoutHarm)
{
    QByteArray deep;
    for (int i = 0; i < 100000; ++i)
        deep += '\x81'; // arrays of one element, nested a hundred thousand deep
    deep += '\x01';
    QByteArray deepTags;
    for (int i = 0; i < 5000; ++i)
        deepTags += "\xd9\x4f\x50"; // tag 20304 around tag 20304 ...
    deepTags += '\x01';
    struct Case {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"nothing", QByteArray()},
        {"a truncated string", QByteArray("\x65\x61\x62", 3)},
        {"a string claiming 2^63 bytes", QByteArray("\x7b\x7f\xff\xff\xff\xff\xff\xff\xff\x61", 10)},
        {"a byte string claiming 4 GB", QByteArray("\x5a\xff\xff\xff\xff\x00", 6)},
        {"an array claiming 2^32 elements", QByteArray("\x9a\xff\xff\xff\xff\x01", 6)},
        {"a map claiming 2^60 pairs", QByteArray("\xbb\x10\x00\x00\x00\x00\x00\x00\x00\x01\x02", 11)},
        {"an unterminated indefinite map", QByteArray("\xbf\x01\x02", 3)},
        {"a map key without value", QByteArray("\xa1\x01", 2)},
        {"an array as map key", QByteArray("\xa1\x81\x01\x02", 4)},
        {"an unknown simple value", QByteArray("\xf0", 1)},
        {"a reserved byte", QByteArray("\x1c", 1)},
        {"trailing bytes", QByteArray("\x01\x02", 2)},
        {"deep nesting", deep},
        {"deep tags", deepTags},
        {"invalid UTF-8 text", QByteArray("\x62\xff\xfe", 3)},
    };
    for (const Case &c : cases) {
        QCborValue value;
        QString why;
        EXPECT_FALSE(ds_property_list_from_cbor(c.bytes, &value, &why)) << c.what;
        EXPECT_FALSE(why.isEmpty()) << c.what;
    }
}

TEST(DSPropertyList, TagsQtWouldTurnIntoItsOwnTypesAreRefused)
{
    // Tags 0 (a date), 32 (a URL) and 35 (a regular expression) would make
    // Qt parse the text; a property list does not hold them.
    const QByteArray cases[] = {QByteArray("\xd8\x23\x63(a)", 6), QByteArray("\xd8\x20\x61x", 4),
                                QByteArray("\xc0\x74" "2020-01-01T00:00:00Z", 22)};
    for (const QByteArray &bytes : cases) {
        QCborValue value;
        QString why;
        EXPECT_FALSE(ds_property_list_from_cbor(bytes, &value, &why));
        EXPECT_TRUE(why.contains(QStringLiteral("tag"))) << why.toStdString();
    }
    EXPECT_FALSE(ds_property_list_is_valid(QCborValue(QUrl(QStringLiteral("https://example.com")))));
    EXPECT_TRUE(ds_property_list_is_valid(QCborValue(QCborTag(0x4F50), QCborValue(1))));
}
