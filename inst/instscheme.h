#pragma once
// The one place that hears the system turn between light and dark, for every window and the
// menu-bar item: Qt's scheme signal where Qt has one (6.5), the platform's theme and palette
// changes before that, a burst of them told once.

#include <QObject>

class InstSchemeNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InstSchemeNotifier(QObject* parent = nullptr);

signals:
    // The system's scheme may have turned: ask Inst::systemIsDark().
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pending = false;
};

namespace Inst {

InstSchemeNotifier* schemeNotifier();

} // namespace Inst
