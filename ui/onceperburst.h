#pragma once
// One refresh for a burst of a watcher's changes: a tick, a heard answer and a server chosen in
// the same pass of the event loop are drawn once, when the loop comes round.

#include "clock/clockwatcher.h"

#include <QTimer>

template <typename Refresh>
QTimer* refreshOncePerBurst(ClockWatcher* watcher, QObject* owner, Refresh refresh)
{
    auto* pending = new QTimer(owner);
    pending->setObjectName(QStringLiteral("refreshOncePerBurst"));
    pending->setSingleShot(true);
    pending->setInterval(0);
    QObject::connect(pending, &QTimer::timeout, owner, refresh);
    QObject::connect(watcher, &ClockWatcher::changed, pending, [pending] {
        if (!pending->isActive()) pending->start();
    });
    return pending;
}
