#include "ui/connectwindow.h"

#include "ui/lamp.h"
#include "ui/plaintext.h"

#include "clock/clockwatcher.h"
#include "discovery/app/discoveryclient.h"
#include "inst/inst.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
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
    : QWidget(parent), watcher(watcher), discovery(new DiscoveryClient(this))
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
    buildClockPanel(body, inner);
    buildServerSection(body, inner);
    buildThisComputer(body, inner);
    buildButtons(body, inner);

    connect(discovery, &DiscoveryClient::finished, this, &ConnectWindow::onFound);
    connect(watcher, &ClockWatcher::changed, this, &ConnectWindow::updateStatus);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, this,
            &ConnectWindow::onColorSchemeChanged);
#endif

    applyTheme();
    refreshCurrent();
    updateStatus();
    updateButtons();
}

void ConnectWindow::buildClockPanel(QWidget* parent, QVBoxLayout* into)
{
    auto* screen = new InstScreen(parent);
    auto* col = new QVBoxLayout(screen);
    col->setContentsMargins(8, 10, 8, 8);
    col->setSpacing(8);
    status = new InstStatus(screen);
    col->addWidget(status, 0, Qt::AlignLeft);
    clockLed = new InstLed(56, screen);
    clockLed->setReserve(QStringLiteral("00:00:00"));
    clockLed->setText(QStringLiteral("--:--:--"));
    clockLed->setDim(true);
    col->addWidget(clockLed, 0, Qt::AlignHCenter);
    dateLine = new QLabel(screen);
    dateLine->setFont(Inst::mono(12));
    dateLine->setAlignment(Qt::AlignHCenter);
    Inst::setTone(dateLine, "sec");
    col->addWidget(dateLine);
    auto* bar = new InstReadoutBar(screen);
    // Stretch by the figures' widths: a time of day needs the most room.
    offsetReadout = bar->addReadout(QStringLiteral("Offset"), 5);
    offsetReadout->setToolTip(QStringLiteral(
        "How far this computer's clock is from its server's time, as Veridir measures it. In "
        "sync means within half a second."));
    lastSyncReadout = bar->addReadout(QStringLiteral("Last sync"), 7);
    heardReadout = bar->addReadout(QStringLiteral("Server heard"), 4);
    reportedReadout = bar->addReadout(QStringLiteral("Reported"), 4);
    reportedReadout->setToolTip(QStringLiteral(
        "Whether this computer's server has heard its report of how its clock stands. Reports go "
        "out while Veridir keeps watch in the menu bar."));
    col->addWidget(bar);
    into->addWidget(screen);
}

void ConnectWindow::buildServerSection(QWidget* parent, QVBoxLayout* into)
{
    auto* section = new InstSection(QStringLiteral("Time servers on this network"), parent);
    searchButton = button(QStringLiteral("Search again"), "", section);
    Inst::setSmall(searchButton);
    section->addHeaderWidget(searchButton);

    table = new QTableWidget(0, 4, section);
    table->setHorizontalHeaderLabels({"SERVER", "ADDRESS", "STRATUM", "STATUS"});
    QHeaderView* h = table->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::ResizeToContents);
    h->setSectionResizeMode(0, QHeaderView::Stretch);
    h->setMinimumSectionSize(96);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(30);
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setFocusPolicy(Qt::NoFocus);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    section->content()->addWidget(table, 1);

    statusLine = wrappedLabel(QString(), "muted", section);
    statusLine->setFont(Inst::mono(11.5));
    section->content()->addWidget(statusLine);
    chaseWarning = wrappedLabel(
        QStringLiteral("This computer is set up to follow the server it runs itself, and with this "
                       "version of Tessavel Server the two chase each other. Update the server, or "
                       "click Remove… to put this computer's own time settings back."),
        "warn", section);
    chaseWarning->hide();
    section->content()->addWidget(chaseWarning);
    alertLine = wrappedLabel(QString(), nullptr, section);
    alertLine->setTextFormat(Qt::RichText); // its own words and link, nothing from outside
    alertLine->hide();
    section->content()->addWidget(alertLine);
    into->addWidget(section, 1);

    connect(searchButton, &QPushButton::clicked, this, &ConnectWindow::startScan);
    connect(table, &QTableWidget::itemSelectionChanged, this, &ConnectWindow::updateButtons);
    connect(table, &QTableWidget::cellDoubleClicked, this, [this] {
        if (setupButton->isEnabled()) setupSelected();
    });
    connect(alertLine, &QLabel::linkActivated, this, &ConnectWindow::alertRequested);
}

void ConnectWindow::buildThisComputer(QWidget* parent, QVBoxLayout* into)
{
    auto* bezel = new InstBezel(QStringLiteral("This computer"), parent);
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

void ConnectWindow::buildButtons(QWidget* parent, QVBoxLayout* into)
{
    auto* row = new QHBoxLayout;
    manualButton = button(QStringLiteral("Enter IP address…"),
                          "Set up a server by its IP address if it isn't listed.", parent);
    removeButton = button(QStringLiteral("Remove…"),
                          "Stop syncing this computer and put its time settings back.", parent);
    syncButton = button(QStringLiteral("Sync now"), "", parent); // its tooltip follows its rule
    setupButton = button(QStringLiteral("SET UP THIS COMPUTER"), "", parent);
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

void ConnectWindow::applyTheme()
{
    Inst::applyTo(body);
}

void ConnectWindow::onColorSchemeChanged()
{
    Inst::setDark(Inst::wantsDark());
    applyTheme();
    header->appearanceSelector()->setAppearance(Inst::appearance());
    refillKeepingSelection();
    if (!alertLine->isHidden()) setAlertPutAway(true); // recoloured
    updateStatus();
}

void ConnectWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (firstShow) {
        firstShow = false;
        startScan();
    } else {
        refreshInBackground();
    }
}

void ConnectWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !firstShow)
        refreshInBackground();
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    // Without the scheme signal the platform's change arrives as a theme change; follow it only
    // when it really turns the tokens over, so applying them cannot loop back here.
    if (event->type() == QEvent::ThemeChange && Inst::setDark(Inst::wantsDark()))
        onColorSchemeChanged();
#endif
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
