#include "inst/instscheme.h"

#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTimer>

InstSchemeNotifier::InstSchemeNotifier(QObject* parent) : QObject(parent)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, this,
            &InstSchemeNotifier::changed);
#else
    qApp->installEventFilter(this);
#endif
}

bool InstSchemeNotifier::eventFilter(QObject* watched, QEvent* event)
{
    // Every window and widget hears of the change: tell it once, when the burst is over.
    const QEvent::Type type = event->type();
    if ((type == QEvent::ThemeChange || type == QEvent::ApplicationPaletteChange) && !pending) {
        pending = true;
        QTimer::singleShot(0, this, [this] {
            pending = false;
            emit changed();
        });
    }
    return QObject::eventFilter(watched, event);
}

namespace Inst {

InstSchemeNotifier* schemeNotifier()
{
    static InstSchemeNotifier* notifier = new InstSchemeNotifier(qApp);
    return notifier;
}

} // namespace Inst
