#include "import/dictionary/ds_dictionary_file.h"

#include "import/dictionary/dct_parse.h"
#include "import/dictionary/ds_stata_dct.h"
#include "import/dictionary/sas_parse.h"
#include "import/dictionary/sps_parse.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString k_productName = QStringLiteral("Ostrel");

enum class CommandKind { SPSS, SAS, Other };

// The whole file, or false with the reason it cannot be read.
bool readWholeFile(const QUrl &url, QByteArray *bytes, DSError *error)
{
    QFile file(url.toLocalFile());
    if (file.open(QIODevice::ReadOnly)) {
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    if (error)
        *error = ds_make_error(file.error() == QFileDevice::OpenError ? 4 : 1,
                               QStringLiteral("The file “%1” could not be read: %2")
                                   .arg(url.fileName(), file.errorString()));
    return false;
}

QString extensionOf(const QUrl &url)
{
    return QFileInfo(url.fileName()).suffix();
}

CommandKind commandKind(const QUrl &url)
{
    const QString extension = extensionOf(url);
    if (extension.compare(QLatin1String("sps"), Qt::CaseInsensitive) == 0)
        return CommandKind::SPSS;
    if (extension.compare(QLatin1String("sas"), Qt::CaseInsensitive) == 0)
        return CommandKind::SAS;
    return CommandKind::Other;
}

// A parse that stopped without a line of its own ran out of memory.
DSError parseError(const QString &message, unsigned line)
{
    return ds_make_error(1, line ? message : QStringLiteral("Out of memory"));
}

} // namespace

ds_stata_dct_s *ds_parse_stata_dictionary_file(const QUrl &url, DSError *error)
{
    QByteArray text;
    if (!readWholeFile(url, &text, error))
        return nullptr;
    unsigned line = 0;
    ds_stata_dct_s *dct = dct_parse(text.constData(), size_t(text.size()), &line);
    if (!dct && error)
        *error = parseError(QStringLiteral("Failed to parse .dct file. Error on line %1. Please contact %2 support for help.")
                                .arg(line)
                                .arg(k_productName),
                            line);
    return dct;
}

ds_stata_dct_s *ds_parse_command_file(const QUrl &url, DSError *error)
{
    QByteArray text;
    if (!readWholeFile(url, &text, error))
        return nullptr;
    ds_stata_dct_s *dct = dct_dictionary_new();
    if (!dct) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Out of memory"));
        return nullptr;
    }
    unsigned line = 0;
    int result = 0;
    switch (commandKind(url)) {
    case CommandKind::SPSS:
        result = sps_parse(text.constData(), size_t(text.size()), dct, dct_add_variable, dct_set_variable_label,
                           nullptr, &line);
        break;
    case CommandKind::SAS:
        result = sas_parse(text.constData(), size_t(text.size()), dct, dct_set_infile_option, dct_merge_variable,
                           dct_merge_variable_label, nullptr, nullptr, &line);
        break;
    case CommandKind::Other:
        break;
    }
    if (result != 0) {
        if (error)
            *error = parseError(
                QStringLiteral("Failed to parse .%1 file. Error on line #%2. Please contact %3 support for help.")
                    .arg(extensionOf(url))
                    .arg(line)
                    .arg(k_productName),
                line);
        dct_dictionary_free(dct);
        return nullptr;
    }
    dct->lines_per_obs = 1;
    for (int32_t k = 0; k < dct->num_entries; ++k)
        dct->lines_per_obs = std::max(dct->lines_per_obs, dct->entries[k].line + 1);
    return dct;
}

bool ds_command_file_value_labels(const QUrl &url, ds_value_labels *labels, DSError *error)
{
    QByteArray text;
    if (!readWholeFile(url, &text, error))
        return false;
    const char *bytes = text.constData();
    const size_t length = size_t(text.size());
    labels->clear();
    switch (commandKind(url)) {
    case CommandKind::SPSS:
        sps_parse(bytes, length, labels, nullptr, nullptr, value_labels_add, nullptr);
        break;
    case CommandKind::SAS: {
        ds_value_labels formatLabels;
        QMap<QString, QString> variableFormats;
        sas_parse(bytes, length, &formatLabels, nullptr, nullptr, nullptr, format_value_labels_add, nullptr, nullptr);
        sas_parse(bytes, length, &variableFormats, nullptr, nullptr, nullptr, nullptr, variable_format_set, nullptr);
        for (auto it = variableFormats.cbegin(); it != variableFormats.cend(); ++it)
            if (const auto format = formatLabels.constFind(it.value()); format != formatLabels.cend())
                labels->insert(it.key(), *format);
        break;
    }
    case CommandKind::Other:
        break;
    }
    return true;
}

bool ds_command_file_missing_values(const QUrl &url, ds_missing_values *missing, DSError *error)
{
    QByteArray text;
    if (!readWholeFile(url, &text, error))
        return false;
    missing->clear();
    if (commandKind(url) == CommandKind::SPSS)
        sps_parse_missing_values(text.constData(), size_t(text.size()), missing, missing_values_add, nullptr);
    return true;
}
