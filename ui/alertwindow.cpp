#include "ui/alertwindow.h"

#include "ui/alertcheck.h"
#include "ui/onceperburst.h"
#include "ui/plaintext.h"
#include "ui/serverrules.h"

#include "clock/clockjudgement.h"
#include "clock/clockwatcher.h"
#include "engine/engine.h"
#include "inst/instaccessible.h"
#include "inst/instfonts.h"
#include "inst/instled.h"
#include "inst/inststyle.h"
#include "inst/inststylesheet.h"
#include "inst/insttokens.h"

#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const QString kNotEarlier = QStringLiteral("The time cannot be set earlier than the last sync.");

const char* const kStyleSheet = R"(
QLabel { color: %text%; background: transparent; }
QLabel[role="title"] { color: %bright%; }
QLabel[role="caption"] { color: %caption%; }
QLabel[role="clockline"] { color: %clockline%; }
QLabel[role="note"] { color: %caption%; }
QAbstractSpinBox {
    background: %field%; color: %bright%; border: 1px solid %edge55%; border-radius: 4px;
    padding: 4px 9px; min-height: 22px; selection-background-color: %red%; selection-color: %ink%;
}
QAbstractSpinBox:focus { border: 1px solid %red%; }
QAbstractSpinBox::up-button, QAbstractSpinBox::down-button { width: 0; border: none; }
QDateEdit::drop-down { width: 0; border: none; }
QPushButton { color: %text%; background: transparent; border: 1px solid %edge45%; border-radius: 4px; padding: 6px 12px; }
QPushButton:hover { border: 1px solid %red%; color: %bright%; }
QPushButton[role="set"] { color: %ink%; background: %red%; border: 1px solid %red%; border-radius: 5px; padding: 8px 18px; }
QPushButton[role="set"]:hover { background: %hover%; }
QPushButton:focus, QPushButton[role="set"]:focus { border: 1px solid %bright%; }
QPushButton:disabled, QPushButton[role="set"]:disabled { color: %disabled%; background: transparent; border: 1px solid %edge22%; }
)";

QHBoxLayout* row(QVBoxLayout* into)
{
    auto* r = new QHBoxLayout;
    r->setSpacing(10);
    into->addLayout(r);
    return r;
}

// Plain unless a label asks for its own markup: the advice names the server.
QLabel* label(const QString& text, const char* role, const QFont& font, QWidget* parent)
{
    QLabel* l = PlainText::label(new QLabel(text, parent));
    if (role) l->setProperty("role", QLatin1String(role));
    l->setFont(font);
    return l;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    QLabel* c = Inst::caption(text, parent);
    c->setProperty("role", QLatin1String("caption"));
    return c;
}

QPushButton* button(const QString& text, const QFont& font, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setFont(font);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

} // namespace

AlertWindow::AlertWindow(ClockWatcher* watcher, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), watcher(watcher)
{
    setWindowTitle(QStringLiteral("Tessavel Veridir: clock alert"));
    setFixedWidth(640);
    setStyleSheet(Inst::alarmStyleSheet(kStyleSheet));
    Inst::registerFonts();
    buildWidgets();

    connect(setButton, &QPushButton::clicked, this,
            [this] { emit setClockRequested(entered().toUTC(), dontAskBox->isChecked()); });
    connect(dontAskBox, &QCheckBox::clicked, this, &AlertWindow::onDontAskClicked);
    connect(searchButton, &QPushButton::clicked, this, &AlertWindow::searchRequested);
    connect(actionButton, &QPushButton::clicked, this, &AlertWindow::onAction);
    // Hidden, it is filled when shown.
    refreshOncePerBurst(watcher, this, [this] {
        if (isVisible()) refresh();
    });
    // The set button follows the editors as the user types, not only once a second.
    connect(dateEditor, &QDateEdit::dateChanged, this, &AlertWindow::enableSet);
    connect(timeEditor, &QTimeEdit::timeChanged, this, &AlertWindow::enableSet);
    refresh();
}

void AlertWindow::buildWidgets()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(0);
    auto* banner = new QLabel(QStringLiteral("▲  TESSAVEL CONNECT  ·  CLOCK ALERT"), this);
    banner->setFont(Inst::mono(12.5, QFont::Bold, 2.2));
    banner->setStyleSheet(
        Inst::alarmStyleSheet("color: %ink%; background: %red%; padding: 7px 14px;"));
    outer->addWidget(banner);

    auto* inner = new QVBoxLayout;
    inner->setContentsMargins(20, 16, 20, 18);
    inner->setSpacing(12);
    outer->addLayout(inner);
    inner->addWidget(label(QStringLiteral("This computer's clock is wrong"), "title",
                           Inst::sans(26, QFont::Bold), this));

    auto* face = new QFrame(this);
    face->setStyleSheet(Inst::alarmStyleSheet(
        "QFrame { background: %deep%; border: 1px solid %edge45%; border-radius: 8px; }"));
    auto* faceLayout = new QVBoxLayout(face);
    faceLayout->setContentsMargins(14, 12, 14, 12);
    faceLayout->setSpacing(5);
    clockDigits = new InstLed(78, face);
    clockDigits->setTone(InstLed::Bad);
    clockDigits->setReserve(QStringLiteral("00:00:00"));
    clockDigits->setStyleSheet(QStringLiteral("border: none;"));
    Inst::setQuiet(clockDigits); // ticks every second
    faceLayout->addWidget(clockDigits, 0, Qt::AlignHCenter);
    clockLine = label(QString(), "clockline", Inst::mono(12.5, QFont::Normal), face);
    clockLine->setAlignment(Qt::AlignHCenter);
    clockLine->setStyleSheet(QStringLiteral("border: none;"));
    faceLayout->addWidget(clockLine);
    inner->addWidget(face);

    sentence = label(QString(), nullptr, Inst::sans(14), this);
    sentence->setWordWrap(true);
    sentence->setTextFormat(Qt::RichText); // the server's name goes in escaped
    inner->addWidget(sentence);
    advice = label(QString(), nullptr, Inst::sans(14), this);
    advice->setWordWrap(true);
    inner->addWidget(advice);

    QHBoxLayout* entry = row(inner);
    const QFont editorFont = Inst::mono(15, QFont::Medium);
    QLabel* dateCaption = caption(QStringLiteral("DATE"), this);
    entry->addWidget(dateCaption);
    dateEditor = new QDateEdit(this);
    dateEditor->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dateEditor->setFont(editorFont);
    dateEditor->setAccessibleName(QStringLiteral("Date"));
    dateCaption->setBuddy(dateEditor);
    entry->addWidget(dateEditor);
    entry->addSpacing(6);
    QLabel* timeCaption = caption(QStringLiteral("TIME"), this);
    entry->addWidget(timeCaption);
    timeEditor = new QTimeEdit(this);
    timeEditor->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    timeEditor->setFont(editorFont);
    timeEditor->setAccessibleName(QStringLiteral("Time"));
    timeCaption->setBuddy(timeEditor);
    entry->addWidget(timeEditor);
    entry->addStretch(1);
    setButton = button(QStringLiteral("SET THE CLOCK"), Inst::mono(15, QFont::DemiBold), this);
    setButton->setProperty("role", QLatin1String("set"));
    setButton->setToolTip(QStringLiteral("Set this computer's clock to the date and time "
                                         "entered. Asks for an administrator password."));
    entry->addWidget(setButton);

    QHBoxLayout* options = row(inner);
    note = label(kNotEarlier, "note", Inst::sans(12), this);
    options->addWidget(note);
    options->addStretch(1);
    dontAskBox = new AlertCheck(QStringLiteral("Don't ask for the password again"), this);
    dontAskBox->setFont(Inst::sans(12));
    dontAskBox->setToolTip(QStringLiteral(
        "The administrator password is asked for once more, and then this user can set this "
        "computer's clock from here without it. The time still cannot be set earlier than the "
        "last sync. Untick it to be asked every time again."));
    options->addWidget(dontAskBox);

    QHBoxLayout* ways = row(inner);
    const QFont wayFont = Inst::sans(12.5, QFont::Medium);
    searchButton = button(QStringLiteral("Search for a server"), wayFont, this);
    actionButton = button(QString(), wayFont, this);
    ways->addWidget(searchButton);
    ways->addWidget(actionButton);
    ways->addStretch(1);

    // Tab from the entry to the set button, then to the other ways out, as they read.
    Inst::setTabOrder({dateEditor, timeEditor, setButton, dontAskBox, searchButton, actionButton});
}

void AlertWindow::refresh()
{
    const ClockInputs in = watcher->inputs();
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(in.nowUtcMs).toLocalTime();
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(in.lastSyncUtcMs).toLocalTime();
    const QString server = PlainText::fitted(watcher->serverLabel(), advice); // as the sentence

    clockDigits->setText(now.toString(QStringLiteral("HH:mm:ss")));
    clockLine->setText(QStringLiteral("%1  ·  what this computer's clock says now")
                           .arg(now.toString(QStringLiteral("dddd, MMMM d, yyyy"))));
    const QString with =
        server.isEmpty() ? QString() : QStringLiteral(", with %1").arg(server.toHtmlEscaped());
    sentence->setText(
        QStringLiteral("That is <b style=\"color:%1\">earlier than its last sync</b>: "
                       "%2%3. A clock cannot run backwards, so it has been reset.")
            .arg(Inst::alarm().bright.name(),
                 last.toString(QStringLiteral("dddd, MMMM d, yyyy 'at' HH:mm:ss")), with));

    if (serverWentBackwards(in)) {
        advice->setText(QStringLiteral("It agrees with %1, so it is the server's time that has "
                                       "gone back. If that is right, accept it.")
                            .arg(server));
        actionButton->setText(QStringLiteral("Accept the server's time"));
        actionMode = AcceptServerTimeAction;
    } else if (!in.answered) {
        advice->setText(QStringLiteral(
            "No time server is answering. Set the clock by hand, or find a server."));
        actionMode = NoAction;
    } else {
        advice->setText(QStringLiteral("%1 is answering. This computer takes its time at the "
                                       "next sync; sync now, or set the clock by hand.")
                            .arg(server));
        actionButton->setText(QStringLiteral("Sync now"));
        actionMode = SyncNowAction;
    }
    actionButton->setVisible(actionMode != NoAction);
    const bool sync = actionMode == SyncNowAction;
    actionButton->setEnabled(!sync || canSyncNow(*watcher));
    actionButton->setToolTip(sync ? syncNowTooltip(*watcher) : QString());

    // The editors hold whole seconds; so does the tool's own last-sync record, the final judge.
    lastSync = last.addMSecs(-last.time().msec());
    dateEditor->setMinimumDate(lastSync.date());
    if (!editorsFilled) {
        // From the last sync, not from now: that is the earliest time that can be set.
        dateEditor->setDate(lastSync.date());
        timeEditor->setTime(lastSync.time());
        editorsFilled = true;
    }
    enableSet();
}

void AlertWindow::showDontAskAsItStands()
{
    dontAskBox->setChecked(Engine::canSetClockWithoutPassword());
}

QDateTime AlertWindow::entered() const
{
    return QDateTime(dateEditor->date(), timeEditor->time());
}

void AlertWindow::enableSet()
{
    const bool can = entered() >= lastSync;
    setButton->setEnabled(can);
    // Greyed out says nothing to a screen reader: the reason does (else its tooltip is read).
    const QString why = can ? QString() : kNotEarlier;
    if (setButton->accessibleDescription() != why) setButton->setAccessibleDescription(why);
}

void AlertWindow::onAction()
{
    if (actionMode == AcceptServerTimeAction)
        emit acceptServerTimeRequested();
    else if (actionMode == SyncNowAction)
        emit syncNowRequested();
}

void AlertWindow::onDontAskClicked(bool checked)
{
    // Ticking is only read at the next set; unticking gives up a grant that is in force.
    if (!checked && Engine::canSetClockWithoutPassword()) emit giveUpDontAskAgainRequested();
}

void AlertWindow::showEvent(QShowEvent* event)
{
    editorsFilled = false;
    showDontAskAsItStands();
    refresh();
    QWidget::showEvent(event);
    emit shownOrPutAway();
}

void AlertWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit shownOrPutAway();
}

void AlertWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Inst::alarm().face);
    p.setPen(QPen(Inst::alarm().red, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(1, 1), QPoint(width() - 2, height() - 2)));
}
