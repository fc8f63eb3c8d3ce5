#pragma once

#include <QByteArray>
#include <QVariant>

// XML property lists (the application resources written as such, like
// "patterns.plist"): dictionaries (QVariantMap), arrays (QVariantList),
// strings, integers (qint64), reals, booleans, dates (QDateTime, UTC) and
// data (QByteArray).

// The root object of an XML property list; an invalid QVariant when the text
// is not one. Unknown elements make the whole list invalid.
QVariant ds_read_xml_property_list(const QByteArray &xml);

// The XML property list of `root`, indented by tabs. Values of other types
// are written as strings.
QByteArray ds_write_xml_property_list(const QVariant &root);
