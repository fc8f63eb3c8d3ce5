#include "import/ds_sas7bcat.h"

#include "import/ds_readstat_parse.h"

#include <QFile>
#include <QStringDecoder>

#include <optional>

namespace {

// The text when it is UTF-8, else none.
std::optional<QString> utf8(const char *text)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder(QByteArrayView(text));
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

} // namespace

int sas7bcat_handle_value_label(const char *label_set, const void *value, int32_t type, const char *label,
                                void *context)
{
    const std::optional<QString> set = utf8(label_set ? label_set : "");
    const std::optional<QString> text = utf8(label ? label : "");
    if (!set || !text || !value || type < 0 || type > 5)
        return 0;
    QCborValue key;
    if (type == 0) {
        const std::optional<QString> data = utf8(static_cast<const char *>(value));
        if (!data)
            return 0;
        key = *data;
    } else {
        key = ds_readstat_number(value, type);
    }
    (*static_cast<ds_value_labels *>(context))[*set].insert(key, *text);
    return 0;
}

bool ds_sas7bcat_value_labels(const QUrl &url, ds_value_labels *labels, DSError *error)
{
    ds_value_labels read;
    ds_readstat_callbacks_s callbacks{};
    callbacks.value_label = sas7bcat_handle_value_label;
    const int result = parse_sas7bcat(QFile::encodeName(url.toLocalFile()).constData(), &read, callbacks);
    if (result != 0) {
        if (error)
            *error = ds_make_error(result, QStringLiteral("Error parsing catalog file"));
        return false;
    }
    *labels = std::move(read);
    return true;
}
