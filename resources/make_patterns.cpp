// Writes patterns.plist, the compact number patterns of every locale, from
// ICU's locale data ("patternsShort/decimalFormat" of the locale's numbering
// system). Run it when ICU's data changes and commit the result:
//   cmake --build build/test --target ostrel_make_patterns
//   build/test/resources/ostrel_make_patterns resources/patterns.plist
//
// Each locale maps to its entries for the plural category "other", smallest
// type first. Patterns without a unit ("0", meaning no short form) are left
// out. A locale is written only when its entries differ from those it would
// otherwise fall back to (its language, then "root"); keys are the locale
// names Qt gives (zh_Hant_TW is zh_TW).

#include "model/util/ds_xml_property_list.h"

#include <QFile>
#include <QLocale>
#include <QVariantList>
#include <QVariantMap>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <memory>
#include <unicode/numsys.h>
#include <unicode/uloc.h>
#include <unicode/ures.h>

namespace {

struct Bundle
{
    UResourceBundle *b = nullptr;
    ~Bundle() { ures_close(b); }
};

// The bundle at `path` (keys separated by "/") in the data of `locale`
// itself, or null.
UResourceBundle *openDirect(const std::string &locale, const std::string &path)
{
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle *bundle = ures_openDirect(nullptr, locale.c_str(), &status);
    size_t start = 0;
    while (U_SUCCESS(status)) {
        const size_t slash = path.find('/', start);
        const std::string key = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        UResourceBundle *next = ures_getByKey(bundle, key.c_str(), nullptr, &status);
        ures_close(bundle);
        bundle = next;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (U_FAILURE(status)) {
        ures_close(bundle);
        return nullptr;
    }
    return bundle;
}

// The locale ICU's data falls back to from `locale`: its "%%Parent" when it
// names one, else the identifier without its last part, else "root".
std::string parentOf(const std::string &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    UResourceBundle *bundle = ures_openDirect(nullptr, locale.c_str(), &status);
    std::string parent;
    if (U_SUCCESS(status)) {
        int32_t length = 0;
        const UChar *name = ures_getStringByKey(bundle, "%%Parent", &length, &status);
        if (U_SUCCESS(status))
            parent = QString::fromUtf16(name, length).toStdString();
    }
    ures_close(bundle);
    if (!parent.empty())
        return parent;
    const size_t underscore = locale.rfind('_');
    return underscore == std::string::npos ? "root" : locale.substr(0, underscore);
}

// The bundle at `path` for `locale`, following ICU's fallback chain.
UResourceBundle *open(const char *locale, const std::string &path)
{
    for (std::string current = locale;; current = parentOf(current)) {
        if (UResourceBundle *bundle = openDirect(current, path))
            return bundle;
        if (current == "root")
            return nullptr;
    }
}

QVariantList entriesFor(const char *locale)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberingSystem> ns(icu::NumberingSystem::createInstance(icu::Locale(locale), status));
    const std::string system = U_SUCCESS(status) && ns ? ns->getName() : "latn";
    Bundle formats;
    formats.b = open(locale, "NumberElements/" + system + "/patternsShort/decimalFormat");
    if (!formats.b)
        formats.b = open(locale, "NumberElements/latn/patternsShort/decimalFormat");
    QVariantList entries;
    if (!formats.b)
        return entries;
    std::vector<std::pair<double, QVariantMap>> sorted;
    ures_resetIterator(formats.b);
    while (ures_hasNext(formats.b)) {
        status = U_ZERO_ERROR;
        Bundle type;
        type.b = ures_getNextResource(formats.b, nullptr, &status);
        if (U_FAILURE(status))
            continue;
        const QString typeText = QString::fromUtf8(ures_getKey(type.b));
        int32_t length = 0;
        status = U_ZERO_ERROR;
        const UChar *other = ures_getStringByKey(type.b, "other", &length, &status);
        if (U_FAILURE(status))
            continue;
        const QString pattern = QString::fromUtf16(other, length);
        if (pattern == QLatin1String("0"))
            continue;
        QVariantMap entry;
        entry.insert(QStringLiteral("pattern"), pattern);
        entry.insert(QStringLiteral("count"), QStringLiteral("other"));
        entry.insert(QStringLiteral("type"), typeText);
        sorted.emplace_back(typeText.toDouble(), entry);
    }
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[type, entry] : sorted)
        entries.append(entry);
    return entries;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s patterns.plist\n", argv[0]);
        return 2;
    }
    QVariantMap dict;
    const QVariantList root = entriesFor("root");
    dict.insert(QStringLiteral("root"), root);

    // Languages first, so that regional locales can be compared with them.
    const int32_t count = uloc_countAvailable();
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < count; ++i) {
            const char *id = uloc_getAvailable(i);
            const bool language = !strchr(id, '_');
            if (language != (pass == 0))
                continue;
            const QString key = language ? QString::fromLatin1(id) : QLocale(QString::fromLatin1(id)).name();
            if (key == QLatin1String("C") || dict.contains(key))
                continue;
            const QString languageKey = key.section(QLatin1Char('_'), 0, 0);
            const QVariantList fallback = !language && dict.contains(languageKey)
                                              ? dict.value(languageKey).toList()
                                              : root;
            const QVariantList entries = entriesFor(id);
            if (entries != fallback)
                dict.insert(key, entries);
        }
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    out.write(ds_write_xml_property_list(dict));
    printf("%lld locales\n", (long long)dict.size());
    return 0;
}
