// File helpers of the password-free paths.
#pragma once

#include <QByteArray>
#include <QString>

namespace Engine {

// Writes into a file the tool made, never making one: its owner and mode decide who may.
bool writeIntoExisting(const QString& path, const QByteArray& bytes);

} // namespace Engine
