#include "plistxml.h"

#include <QFile>
#include <QRegularExpression>

namespace {

QString element(const QVariant& v)
{
    QString body;
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            body += "<key>" + it.key().toHtmlEscaped() + "</key>" + element(it.value());
        return "<dict>" + body + "</dict>";
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        for (const QVariant& item : v.toList())
            body += element(item);
        return "<array>" + body + "</array>";
    case QMetaType::Bool:
        return v.toBool() ? "<true/>" : "<false/>";
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return "<integer>" + v.toString() + "</integer>";
    }
    return "<string>" + v.toString().toHtmlEscaped() + "</string>";
}

} // namespace

QByteArray plistXml(const QVariant& value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" +
           element(value).toUtf8() + "</plist>\n";
}

bool writePlistFile(const QString& path, const QVariant& value)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(plistXml(value)) >= 0;
}

QString plistText(const QByteArray& xml)
{
    QString t = QString::fromUtf8(xml)
                    .section(QRegularExpression("<plist[^>]*>"), 1)
                    .section("</plist>", 0, 0);
    t.replace(QRegularExpression(">\\s+<"), "><")
        .replace(QRegularExpression("<key>([^<]*)</key>"), "\\1=")
        .replace(QRegularExpression("<(?:string|integer)>([^<]*)</\\w+>|<(true|false)/>"),
                 "\\1\\2,")
        .replace("<dict>", "{")
        .replace("</dict>", "},")
        .replace("<array>", "[")
        .replace("</array>", "],")
        .replace(",}", "}")
        .replace(",]", "]");
    return t.trimmed().chopped(t.trimmed().endsWith(',') ? 1 : 0);
}
