// Reads and writes XML property lists as Qt values, independently of the library the tool writes
// it with: dict -> QVariantMap, array -> QVariantList, string, integer (qint64), true/false.
#pragma once

#include <QVariant>

QVariant readPlistXml(const QByteArray& xml);
QVariant readPlistFile(const QString& path);
// Writes the same kinds of values; bool before int, as QVariant tells them apart.
QByteArray plistXml(const QVariant& value);
bool writePlistFile(const QString& path, const QVariant& value);
