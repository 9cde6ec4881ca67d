// Reads an XML property list into Qt values, independently of the library the tool writes
// it with: dict -> QVariantMap, array -> QVariantList, string, integer (qint64), true/false.
#pragma once

#include <QVariant>

QVariant readPlistXml(const QByteArray& xml);
QVariant readPlistFile(const QString& path);
