// XML property lists for tests, independently of the library the tool writes them with.
#pragma once

#include <QVariant>

// Writes dict (QVariantMap), array, string, integer and bool; bytes are taken as they are.
QByteArray plistXml(const QVariant& value);
bool writePlistFile(const QString& path, const QVariant& value);
// A plist on one line, in the file's order: {Label=x,Args=[a,b],RunAtLoad=true}; "" for none.
QString plistText(const QByteArray& xml);
