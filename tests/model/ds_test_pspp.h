#pragma once

// Runs SPSS syntax through PSPP for the oracle tests.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>

// PSPP's output, as CSV, of command run by the program pspp (its path, as
// DS_FIND_ORACLE finds it) on the numbers of csv (a file whose first line
// names its columns); null when PSPP cannot be run or writes nothing.
inline QString ds_test_run_pspp(const QString &pspp, const QString &csv, const QString &command)
{
    QFile data(csv);
    if (!data.open(QIODevice::ReadOnly))
        return QString();
    const QString header = QString::fromUtf8(data.readLine()).trimmed().remove(QLatin1Char('"'));
    QTemporaryDir dir;
    QFile syntax(dir.filePath(QStringLiteral("command.sps")));
    if (!dir.isValid() || !syntax.open(QIODevice::WriteOnly))
        return QString();
    syntax.write(QStringLiteral("data list list (\",\") file=\"%1\" skip=1 /%2.\n%3\n")
                     .arg(csv, header.split(QLatin1Char(',')).join(QLatin1Char(' ')), command)
                     .toUtf8());
    syntax.close();
    QProcess run;
    run.start(pspp, {QStringLiteral("-O"), QStringLiteral("format=csv"), QStringLiteral("-o"),
                     dir.filePath(QStringLiteral("out.csv")), syntax.fileName()});
    if (!run.waitForFinished(60000))
        return QString();
    QFile out(dir.filePath(QStringLiteral("out.csv")));
    return out.open(QIODevice::ReadOnly) ? QString::fromUtf8(out.readAll()) : QString();
}

// Half a unit of the last digit PSPP printed in cell (a little more, so
// that a value exactly at the half passes either way of rounding).
inline double ds_test_printed_half_unit(const QString &cell)
{
    const qsizetype point = cell.indexOf(QLatin1Char('.'));
    return 0.5 * std::pow(10.0, -double(point < 0 ? 0 : cell.size() - point - 1)) * 1.001;
}
