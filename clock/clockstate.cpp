#include "clock/clockstate.h"

QString clockStateWord(ClockState state)
{
    switch (state) {
    case ClockState::Sync:
        return QStringLiteral("sync");
    case ClockState::Lost:
        return QStringLiteral("lost");
    case ClockState::Off:
        return QStringLiteral("off");
    case ClockState::Wrong:
        return QStringLiteral("wrong");
    case ClockState::None:
        break;
    }
    return QStringLiteral("none");
}

void registerClockStateMetaType()
{
    // Equality, ordering and the stream operators (one 32-bit integer, the underlying type)
    // are picked up from the enumeration itself.
    qRegisterMetaType<ClockState>("ClockState");
}
