// The zip reader: listing, locating, levels, whole-entry reads, and
// archives damaged on purpose (forged sizes, CRC, offsets, truncation),
// each of which must throw a ZipException naming what failed.
#include "ZipTestSupport.h"

#include "import/ZipException.h"
#include "import/ZipFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

using ::testing::HasSubstr;

QByteArray zeros(qsizetype n)
{
    return QByteArray(n, '\0');
}

// Text that deflate halves, no more.
QByteArray words()
{
    QByteArray text;
    for (quint32 x = 1; text.size() < 3000; x = x * 1103515245u + 12345u)
        text += QByteArray::number(x % 100000) + ' ';
    return text;
}

QByteArray sample()
{
    return ds_make_zip({{"index.xml", "<a/>", 0}, {"Data/big.bin", zeros(200000), 9}, {"empty", "", -1},
                        {"words.txt", words(), -1}});
}

// The reason of the ZipException that f throws, or "" when it throws none.
QString reasonOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const ZipException &e) {
        return e.reason();
    }
    return QString();
}

TEST(ZipFileTest, ListsAndLocatesEntries)
{
    ZipFile zip(sample(), QStringLiteral("sample.zip"));
    EXPECT_EQ(zip.numFilesInZip(), 4u);
    const QList<FileInZipInfo> infos = zip.listFileInZipInfos();
    ASSERT_EQ(infos.size(), 4);
    EXPECT_EQ(infos[0].name, "index.xml");
    EXPECT_EQ(infos[0].level, 0);  // stored
    EXPECT_EQ(infos[0].length, 4u);
    EXPECT_EQ(infos[1].level, 9);  // deflated, best
    EXPECT_EQ(infos[1].length, 200000u);
    EXPECT_LT(infos[1].size, 2000u);
    EXPECT_EQ(infos[2].level, -1);
    EXPECT_FALSE(infos[0].crypted);

    // Names compare case-sensitively.
    EXPECT_TRUE(zip.locateFileInZip(QStringLiteral("index.xml")));
    EXPECT_FALSE(zip.locateFileInZip(QStringLiteral("INDEX.xml")));
    EXPECT_EQ(zip.readEntry(QStringLiteral("index.xml")), QByteArray("<a/>"));
    EXPECT_EQ(zip.readEntry(QStringLiteral("Data/big.bin")), zeros(200000));
    EXPECT_EQ(zip.readEntry(QStringLiteral("empty")), QByteArray(""));
    EXPECT_EQ(zip.readEntry(QStringLiteral("absent")), std::nullopt);

    // The stepping interface walks the same entries.
    zip.goToFirstFileInZip();
    EXPECT_EQ(zip.getCurrentFileInZipInfo().name, "index.xml");
    EXPECT_TRUE(zip.goToNextFileInZip());
    EXPECT_TRUE(zip.goToNextFileInZip());
    EXPECT_TRUE(zip.goToNextFileInZip());
    EXPECT_FALSE(zip.goToNextFileInZip());
    zip.close();
    EXPECT_THAT(reasonOf([&] { zip.numFilesInZip(); }).toStdString(), HasSubstr("closed archive"));
}

TEST(ZipFileTest, EmptyArchiveListsNothing)
{
    ZipFile zip(ds_make_zip({}), QStringLiteral("empty.zip"));
    EXPECT_TRUE(zip.listFileInZipInfos().isEmpty());
}

TEST(ZipFileTest, OpensFilesByPath)
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.zip")), bad = dir.filePath(QStringLiteral("bad.zip"));
    {
        QFile file(good);
        file.open(QIODevice::WriteOnly);
        file.write(sample());
        QFile other(bad);
        other.open(QIODevice::WriteOnly);
        other.write("name,value\n1,2\n");
    }
    ZipFile zip(good);
    EXPECT_EQ(zip.readEntry(QStringLiteral("index.xml")), QByteArray("<a/>"));
    try {
        ZipFile notZip(bad);
        ADD_FAILURE() << "a text file opened as an archive";
    } catch (const ZipException &e) {
        EXPECT_EQ(e.reason(), QStringLiteral("Can't open '%1'").arg(bad));
        EXPECT_EQ(e.error(), 0);
    }
    EXPECT_EQ(reasonOf([&] { ZipFile absent(dir.filePath(QStringLiteral("none.zip"))); }),
              QStringLiteral("Can't open '%1'").arg(dir.filePath(QStringLiteral("none.zip"))));
}

// Archives whose directory lies: each read must throw with a reason that
// names the entry, never read past a buffer or allocate what the lie asks.
TEST(ZipFileTest, DamagedArchivesThrow)
{
    const QByteArray good = sample();
    const qsizetype central = ds_zip_central_record(good, QStringLiteral("Data/big.bin"));
    const qsizetype local = ds_zip_local_header(good, QStringLiteral("Data/big.bin"));
    ASSERT_GT(central, 0);
    ASSERT_GT(local, 0);
    const struct
    {
        const char *what;
        std::function<void(QByteArray *)> damage;
        const char *reason;
    } cases[] = {
        {"a wrong CRC-32",
         [&](QByteArray *z) {
             ds_zip_put32(z, central + 16, 0x12345678);
             ds_zip_put32(z, local + 14, 0x12345678);
         },
         "Error in closing 'Data/big.bin' in the zipfile"},
        {"a bomb's length, far beyond what its bytes inflate to",
         [&](QByteArray *z) { ds_zip_put32(z, central + 24, 0xF0000000u); },
         "Can't read 'Data/big.bin' in 'z.zip': it is larger than this reader accepts"},
        {"a length above what deflate can give its bytes",
         [&](QByteArray *z) { ds_zip_put32(z, central + 24, 100000000u); },
         "its size does not fit its compressed data"},
        {"a compressed size beyond the archive",
         [&](QByteArray *z) { ds_zip_put32(z, central + 20, 0x7FFFFFFF); },
         "its compressed size exceeds the archive"},
        {"a length in the directory that the local header does not repeat",
         [&](QByteArray *z) { ds_zip_put32(z, central + 24, 1000); },
         "Error in opening current file in 'z.zip'"},
        {"a length shorter than the data",
         [&](QByteArray *z) {
             ds_zip_put32(z, central + 24, 1000);
             ds_zip_put32(z, local + 22, 1000);
         },
         "Error in closing 'Data/big.bin' in the zipfile"},
        {"a local header offset past the end",
         [&](QByteArray *z) { ds_zip_put32(z, central + 42, 0x00FFFFFF); },
         "Error in opening current file in 'z.zip'"},
        {"a local header offset inside another entry",
         [&](QByteArray *z) { ds_zip_put32(z, central + 42, 3); },
         "Error in opening current file in 'z.zip'"},
        {"damaged deflate data",
         [&](QByteArray *z) {
             for (qsizetype i = local + 60; i < local + 90; ++i)
                 (*z)[i] = char(0xFF);
         },
         "Error in reading 'Data/big.bin' in the zipfile"},
    };
    for (const auto &c : cases) {
        QByteArray damaged = good;
        c.damage(&damaged);
        const QString reason = reasonOf([&] {
            ZipFile zip(damaged, QStringLiteral("z.zip"));
            zip.readEntry(QStringLiteral("Data/big.bin"));
        });
        EXPECT_THAT(reason.toStdString(), HasSubstr(c.reason)) << c.what;
        // The other entries of the archive stay readable.
        ZipFile zip(damaged, QStringLiteral("z.zip"));
        EXPECT_EQ(zip.readEntry(QStringLiteral("index.xml")), QByteArray("<a/>")) << c.what;
    }
    // A length longer than the data: the read ends early.
    QByteArray longer = good;
    const qsizetype wordsCentral = ds_zip_central_record(good, QStringLiteral("words.txt"));
    const qsizetype wordsLocal = ds_zip_local_header(good, QStringLiteral("words.txt"));
    const uint32_t length = uint32_t(words().size());
    ds_zip_put32(&longer, wordsCentral + 24, length + 1000);
    ds_zip_put32(&longer, wordsLocal + 22, length + 1000);
    EXPECT_EQ(reasonOf([&] {
                  ZipFile zip(longer, QStringLiteral("z.zip"));
                  zip.readEntry(QStringLiteral("words.txt"));
              }),
              QStringLiteral("Error in reading 'words.txt' in the zipfile: it ends after %1 of %2 bytes")
                  .arg(length)
                  .arg(length + 1000));
    // A limit below an entry's length refuses it, however honest.
    EXPECT_THAT(reasonOf([&] {
                    ZipFile zip(good, QStringLiteral("z.zip"));
                    zip.readEntry(QStringLiteral("Data/big.bin"), 100000);
                }).toStdString(),
                HasSubstr("larger than this reader accepts"));
    // Cut anywhere, an archive either fails to open or throws when read.
    for (qsizetype cut = 1; cut < good.size(); cut += 97) {
        try {
            ZipFile zip(good.left(cut), QStringLiteral("cut.zip"));
            for (const char *name : {"index.xml", "Data/big.bin", "empty", "words.txt"})
                zip.readEntry(QString::fromLatin1(name));
        } catch (const ZipException &) {
        }
    }
}

} // namespace
