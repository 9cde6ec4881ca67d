#include "tests/tool/plistxml.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

void writeValue(QXmlStreamWriter& xml, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        xml.writeStartElement("dict");
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            xml.writeTextElement("key", it.key());
            writeValue(xml, it.value());
        }
        xml.writeEndElement();
        break;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        xml.writeStartElement("array");
        for (const QVariant& v : value.toList())
            writeValue(xml, v);
        xml.writeEndElement();
        break;
    case QMetaType::Bool:
        xml.writeEmptyElement(value.toBool() ? "true" : "false");
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        xml.writeTextElement("integer", QString::number(value.toLongLong()));
        break;
    default:
        xml.writeTextElement("string", value.toString());
    }
}

} // namespace

QByteArray plistXml(const QVariant& value)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument();
    xml.writeStartElement("plist");
    xml.writeAttribute("version", "1.0");
    writeValue(xml, value);
    xml.writeEndDocument();
    return bytes;
}

bool writePlistFile(const QString& path, const QVariant& value)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(plistXml(value)) >= 0;
}

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
