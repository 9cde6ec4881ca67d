#include "plistxml.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

QVariant readValue(QXmlStreamReader& xml);

QVariant readDict(QXmlStreamReader& xml)
{
    QVariantMap map;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("key")) return {};
        const QString key = xml.readElementText();
        if (!xml.readNextStartElement()) return {};
        map.insert(key, readValue(xml));
    }
    return map;
}

QVariant readValue(QXmlStreamReader& xml)
{
    const QString tag = xml.name().toString();
    if (tag == "dict") return readDict(xml);
    if (tag == "array") {
        QVariantList list;
        while (xml.readNextStartElement())
            list << readValue(xml);
        return list;
    }
    if (tag == "string") return xml.readElementText();
    if (tag == "integer") return xml.readElementText().toLongLong();
    if (tag == "true" || tag == "false") {
        xml.skipCurrentElement();
        return tag == "true";
    }
    xml.raiseError("unexpected element " + tag);
    return {};
}

} // namespace

QVariant readPlistXml(const QByteArray& bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist")) return {};
    if (!xml.readNextStartElement()) return {};
    const QVariant value = readValue(xml);
    return xml.hasError() ? QVariant() : value;
}

QVariant readPlistFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? readPlistXml(f.readAll()) : QVariant();
}
