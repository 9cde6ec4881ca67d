#include "ui/connectwindow.h"

#include "ui/onceperburst.h"

#include "inst/instscheme.h"

#include "ui/clockpanel.h"
#include "ui/plaintext.h"
#include "ui/serverlist.h"

#include "clock/clockwatcher.h"
#include "inst/inst.h"
#include "inst/instaccessible.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyleHints>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Plain: these lines name servers.
QLabel* wrappedLabel(const QString& text, const char* tone, QWidget* parent)
{
    QLabel* l = PlainText::label(new QLabel(text, parent));
    l->setWordWrap(true);
    Inst::setTone(l, tone);
    return l;
}

QPushButton* button(const QString& text, const char* tip, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setToolTip(QLatin1String(tip));
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

} // namespace

ConnectWindow::ConnectWindow(ClockWatcher* watcher, QWidget* parent)
    : QWidget(parent), watcher(watcher)
{
    setWindowTitle(QStringLiteral("Tessavel Veridir"));
    setMinimumSize(600, 752);
    Inst::registerFonts();
    Inst::setAppearance(Inst::storedAppearance());
    Inst::setDark(Inst::wantsDark());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    body = new QWidget(this);
    outer->addWidget(body);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    header = new InstModuleHeader(QStringLiteral("Tessavel Veridir"), body);
    header->setInfo(QStringLiteral("v") + QCoreApplication::applicationVersion());
    header->appearanceSelector()->setAppearance(Inst::appearance());
    header->appearanceSelector()->setPickHandler([this](Inst::Appearance a) {
        Inst::storeAppearance(a);
        Inst::setAppearance(a);
        onColorSchemeChanged();
    });
    column->addWidget(header);

    // The figures and lists sit on the panel face, apart from the edge-to-edge header.
    auto* inner = new QVBoxLayout;
    inner->setContentsMargins(10, 12, 10, 12);
    inner->setSpacing(12);
    column->addLayout(inner, 1);
    panel = new ClockPanel(body);
    inner->addWidget(panel->screen());
    connect(panel->historyButton(), &QPushButton::clicked, this, &ConnectWindow::historyRequested);
    buildServerSection(inner);
    buildThisComputer(inner);
    buildButtons(inner);

    // A hidden window does no work; it catches up as it shows.
    refreshOncePerBurst(watcher, this, [this] {
        if (isVisible()) updateStatus();
    });
    connect(Inst::schemeNotifier(), &InstSchemeNotifier::changed, this, [this] {
        // Follow the system only when it really turns the tokens over, so that applying them
        // cannot come back here.
        if (Inst::setDark(Inst::wantsDark())) onColorSchemeChanged();
    });

    orderTabs();
    Inst::applyTo(body);
    refreshCurrent();
    updateStatus();
    updateButtons();
}

void ConnectWindow::buildServerSection(QVBoxLayout* into)
{
    servers = new ServerList(body);
    InstSection* section = servers->section();
    chaseWarning = wrappedLabel(
        QStringLiteral("This computer is set up to follow the server it runs itself, and with this "
                       "version of Tessavel Server the two chase each other. Update the server, or "
                       "click Remove… to put this computer's own time settings back."),
        "warn", section);
    chaseWarning->hide();
    section->content()->addWidget(chaseWarning);
    alertLine = wrappedLabel(QString(), nullptr, section);
    alertLine->setTextFormat(Qt::RichText); // its own words and link, nothing from outside
    alertLine->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    alertLine->hide();
    section->content()->addWidget(alertLine);
    into->addWidget(section, 1);

    connect(servers, &ServerList::listed, this, &ConnectWindow::followListedServer);
    connect(servers, &ServerList::selectionChanged, this, &ConnectWindow::updateButtons);
    connect(servers, &ServerList::activated, this, [this] {
        if (setupButton->isEnabled()) setupSelected();
    });
    connect(alertLine, &QLabel::linkActivated, this, &ConnectWindow::alertRequested);
}

void ConnectWindow::buildThisComputer(QVBoxLayout* into)
{
    auto* bezel = new InstBezel(QStringLiteral("This computer"), body);
    setupLine = wrappedLabel(QString(), nullptr, bezel);
    bezel->column()->addWidget(setupLine);

    auto* watchRow = new QHBoxLayout;
    watchToggle = new InstToggle(QStringLiteral("Keep watching in the menu bar"), bezel);
    watchToggle->setToolTip(QStringLiteral(
        "Optional. Veridir then stays in the menu bar with a lamp for this computer's clock, "
        "starts at login, and tells the server how the clock stands. Off, Veridir only sets this "
        "computer up and can be quit: the syncing carries on without it."));
    watchNote = wrappedLabel(QStringLiteral("Optional"), "muted", bezel);
    watchNote->setWordWrap(false);
    watchRow->addWidget(watchToggle);
    watchRow->addStretch(1);
    watchRow->addWidget(watchNote);
    bezel->column()->addLayout(watchRow);

    auto* loginRow = new QHBoxLayout;
    loginToggle = new InstToggle(QStringLiteral("Start Veridir at login"), bezel);
    loginToggle->setToolTip(QStringLiteral(
        "Veridir comes back in the menu bar by itself each time you log in to this computer."));
    loginNote = wrappedLabel(QString(), "muted", bezel);
    loginNote->setWordWrap(false);
    loginRow->addWidget(loginToggle);
    loginRow->addStretch(1);
    loginRow->addWidget(loginNote);
    bezel->column()->addLayout(loginRow);
    into->addWidget(bezel);

    connect(watchToggle, &InstToggle::toggled, this, [this](bool on) {
        emit watchingToggled(on);
        updateWatchNote();
    });
    connect(loginToggle, &InstToggle::toggled, this, &ConnectWindow::startAtLoginToggled);
    updateWatchNote();
}

void ConnectWindow::buildButtons(QVBoxLayout* into)
{
    auto* row = new QHBoxLayout;
    manualButton = button(QStringLiteral("Enter IP address…"),
                          "Set up a server by its IP address if it isn't listed.", body);
    removeButton = button(QStringLiteral("Remove…"),
                          "Stop syncing this computer and put its time settings back.", body);
    syncButton = button(QStringLiteral("Sync now"), "", body); // its tooltip follows its rule
    setupButton = button(QStringLiteral("SET UP THIS COMPUTER"), "", body);
    Inst::style(setupButton, Inst::Button::Primary);
    setupButton->setDefault(true);
    row->addWidget(manualButton);
    row->addWidget(removeButton);
    row->addWidget(syncButton);
    row->addStretch(1);
    row->addWidget(setupButton);
    into->addLayout(row);

    connect(manualButton, &QPushButton::clicked, this, &ConnectWindow::setupManual);
    connect(removeButton, &QPushButton::clicked, this, &ConnectWindow::removeSetup);
    connect(syncButton, &QPushButton::clicked, this, &ConnectWindow::syncNow);
    connect(setupButton, &QPushButton::clicked, this, &ConnectWindow::setupSelected);
}

void ConnectWindow::orderTabs()
{
    // Top to bottom as the window reads; whatever the clock panel offers follows the selector.
    QList<QWidget*> order{header->appearanceSelector()};
    for (QWidget* w : panel->screen()->findChildren<QWidget*>())
        if (w->focusPolicy() & Qt::TabFocus) order << w;
    order << servers->searchButton() << servers->table() << alertLine << watchToggle << loginToggle
          << manualButton << removeButton << syncButton << setupButton;
    Inst::setTabOrder(order);
}

void ConnectWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused button, as in a dialog; any other control passes it on to the
    // default button.
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QWidget::keyPressEvent(event);
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    QPushButton* pressed = focused ? focused : setupButton;
    if (pressed->isEnabled()) pressed->click();
}

void ConnectWindow::onColorSchemeChanged()
{
    Inst::setDark(Inst::wantsDark());
    Inst::applyTo(body);
    header->appearanceSelector()->setAppearance(Inst::appearance());
    servers->refillKeepingSelection();
    if (!alertLine->isHidden()) setAlertPutAway(true); // recoloured
    updateStatus();
}

void ConnectWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateStatus();
    if (firstShow) {
        firstShow = false;
        startScan();
    } else {
        servers->refreshInBackground();
    }
}

void ConnectWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !firstShow)
        servers->refreshInBackground();
}

void ConnectWindow::closeEvent(QCloseEvent* event)
{
    if (!closesToMenuBar) {
        event->accept();
        return;
    }
    hide();
    event->ignore();
    emit closedToMenuBar();
}
