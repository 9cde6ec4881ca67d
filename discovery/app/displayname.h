// A server's name as the application may show it, made once where the name comes in.
#pragma once

#include <QString>

// The name with every invisible format character removed (direction overrides and isolates,
// zero-width characters, byte-order marks) and every control character, line or paragraph
// separator and lone surrogate shown as U+FFFD; cut to 64 UTF-16 units at most, a closing "…"
// included.
QString displayName(const QString& name);
