// The peer of the idle benchmark: the least a menu-bar program can be in Qt. A tray icon drawn
// once, a menu, and a timer every 10 s that only rewrites a menu text; with --window, also a
// window whose label shows the time of day once a second.
//
//   idle-bare [--window]
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

namespace {

QIcon dot()
{
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x38, 0xE0, 0x7A));
    p.drawEllipse(QPointF(9, 9), 6, 6);
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QMenu menu;
    QAction* ticks = menu.addAction(QStringLiteral("No tick yet"));
    ticks->setEnabled(false);
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Quit")), &QAction::triggered, &app,
                     &QCoreApplication::quit);
    QSystemTrayIcon tray(dot());
    tray.setContextMenu(&menu);
    tray.show();

    int n = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, &menu,
                     [&] { ticks->setText(QStringLiteral("Ticks: %1").arg(++n)); });
    probe.start(10'000);

    QLabel label;
    QTimer second;
    if (QApplication::arguments().contains(QStringLiteral("--window"))) {
        label.setWindowTitle(QStringLiteral("Bare label"));
        label.setAlignment(Qt::AlignCenter);
        label.setMinimumSize(320, 120);
        const auto show = [&] { label.setText(QTime::currentTime().toString(Qt::ISODate)); };
        show();
        QObject::connect(&second, &QTimer::timeout, &label, show);
        second.start(1000);
        label.show();
    }
    return QApplication::exec();
}
