// Damaged copies of real files, each imported through the dispatcher as a
// user's File > Import does: every one must end with an error naming the
// file and leave no table, never an empty or half-read table without a word.
//
// Each copy is made at run time from a fixture another program wrote; the
// command in each row makes the same copy by hand.
#include "ImportTestSupport.h"

#include "import/DSDataImporterMultiple.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

// The test data from outside the project, beside the checkout.
#define OSTREL_SHARED_TESTDATA OSTREL_TEST_SOURCE_DIR "/../../../shared/testdata"

namespace {

// The bytes cut to the first `percent` of them.
QByteArray truncated(const QByteArray &bytes, int percent)
{
    return bytes.left(bytes.size() * percent / 100);
}

// The bytes with `count` of them from `offset` on set to zero.
QByteArray zeroed(QByteArray bytes, qsizetype offset, qsizetype count)
{
    bytes.replace(offset, count, QByteArray(count, '\0'));
    return bytes;
}

// The bytes with one bit of the byte at `offset` flipped.
QByteArray bitFlipped(QByteArray bytes, qsizetype offset, int bit)
{
    bytes[offset] = char(bytes[offset] ^ (1 << bit));
    return bytes;
}

struct DamagedFile
{
    // The fixture the copy is made from (under fixtures/, or the shared
    // test data when it starts with "shared:").
    const char *source;
    // The damaged copy's name.
    const char *name;
    // The same damage by hand, from the fixture's folder.
    const char *command;
    std::function<QByteArray(const QByteArray &)> damage;
    // What the error says besides the file's name.
    const char *message;
};

QString sourcePath(const char *source)
{
    const QString path = QString::fromUtf8(source);
    if (path.startsWith(QLatin1String("shared:")))
        return QStringLiteral(OSTREL_SHARED_TESTDATA "/") + path.mid(7);
    return ds_import_fixture(path);
}

const DamagedFile k_damagedFiles[] = {
    // The SAS file's header is 65536 bytes; its one page begins there with
    // a 24-byte page header (32-bit layout).
    {"stat/iris.sas7bdat", "iris_zeroed.sas7bdat",
     "cp iris.sas7bdat iris_zeroed.sas7bdat; "
     "dd if=/dev/zero of=iris_zeroed.sas7bdat bs=1 seek=65536 count=24 conv=notrunc",
     [](const QByteArray &b) { return zeroed(b, 65536, 24); }, "Error parsing data file: iris_zeroed.sas7bdat"},
    {"sqlite/tables.sqlite", "tables70.sqlite", "head -c $((28672 * 70 / 100)) tables.sqlite > tables70.sqlite",
     [](const QByteArray &b) { return truncated(b, 70); }, "The SQLite file is damaged or incomplete"},
    {"sqlite/tables.sqlite", "tables80.sqlite", "head -c $((28672 * 80 / 100)) tables.sqlite > tables80.sqlite",
     [](const QByteArray &b) { return truncated(b, 80); }, "The SQLite file is damaged or incomplete"},
    {"sqlite/tables.sqlite", "tables90.sqlite", "head -c $((28672 * 90 / 100)) tables.sqlite > tables90.sqlite",
     [](const QByteArray &b) { return truncated(b, 90); }, "The SQLite file is damaged or incomplete"},
    // The second of the 32-byte field descriptors that follow the 32-byte
    // file header (AMOUNT).
    {"dbf/people.dbf", "people_zeroed.dbf",
     "cp people.dbf people_zeroed.dbf; dd if=/dev/zero of=people_zeroed.dbf bs=1 seek=64 count=32 conv=notrunc",
     [](const QByteArray &b) { return zeroed(b, 64, 32); }, "The DBF file is damaged or incomplete"},
    // Byte 2000 lies in the deflated data of the first sheet
    // (xl/worksheets/sheet1.xml, whose local header and name end at byte
    // 1756).
    {"excel/libreoffice.xlsx", "flipped.xlsx",
     "python3 -c \"b=bytearray(open('libreoffice.xlsx','rb').read()); b[2000]^=16; "
     "open('flipped.xlsx','wb').write(b)\"",
     [](const QByteArray &b) { return bitFlipped(b, 2000, 4); }, "flipped.xlsx"},
    // index.xml, deflated, starts at byte 13353 (local header and name: 39
    // bytes).
    {"shared:numbers/numbers2-file.numbers", "flipped2009.numbers",
     "python3 -c \"b=bytearray(open('numbers2-file.numbers','rb').read()); b[14000]^=16; "
     "open('flipped2009.numbers','wb').write(b)\"",
     [](const QByteArray &b) { return bitFlipped(b, 14000, 4); }, "The Numbers file is damaged or incomplete"},
    // Index/Document.iwa, stored, is the first entry: byte 1000 is in its
    // data, which no longer matches its CRC-32.
    {"shared:numbers/numbers3-file.numbers", "flipped2013.numbers",
     "python3 -c \"b=bytearray(open('numbers3-file.numbers','rb').read()); b[1000]^=16; "
     "open('flipped2013.numbers','wb').write(b)\"",
     [](const QByteArray &b) { return bitFlipped(b, 1000, 4); }, "The Numbers file is damaged or incomplete"},
    {"shared:numbers/numbers3-file.numbers", "cut2013.numbers",
     "head -c $(($(stat -c %s numbers3-file.numbers) / 2)) numbers3-file.numbers > cut2013.numbers",
     [](const QByteArray &b) { return truncated(b, 50); }, "The Numbers file is damaged or incomplete"},
};

class DamagedFileTest : public ::testing::TestWithParam<DamagedFile>
{
protected:
    void SetUp() override { ds_import_test_model(); }
    ImportFiles files;
};

TEST_P(DamagedFileTest, EndsWithAnErrorNamingTheFileAndNoTable)
{
    const DamagedFile &c = GetParam();
    SCOPED_TRACE(c.command);
    const QByteArray good = ds_file_bytes(sourcePath(c.source));
    ASSERT_FALSE(good.isEmpty()) << c.source;
    // The fixture itself imports: the error below comes from the damage.
    ImportRun intact(std::make_shared<DSDataImporterMultiple>(
        QList<QUrl>{files.write(QStringLiteral("intact.") + QFileInfo(QString::fromUtf8(c.name)).suffix(), good)}));
    intact.run();
    ASSERT_FALSE(intact.tables().isEmpty()) << intact.errorText().toStdString();

    ImportRun run(std::make_shared<DSDataImporterMultiple>(
        QList<QUrl>{files.write(QString::fromUtf8(c.name), c.damage(good))}));
    run.run();
    EXPECT_TRUE(run.tables().isEmpty());
    EXPECT_EQ(run.importer->asyncResult(), nullptr);
    const QString text = run.errorText();
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.message))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.name))) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(RealFiles, DamagedFileTest, ::testing::ValuesIn(k_damagedFiles),
                         [](const ::testing::TestParamInfo<DamagedFile> &info) {
                             QString name = QString::fromUtf8(info.param.name);
                             name.replace(QLatin1Char('.'), QLatin1Char('_'));
                             return name.toStdString();
                         });

} // namespace
