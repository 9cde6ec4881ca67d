#include "inst/gallery/galleryqtwidgets.h"

#include "inst/gallery/gallerysheet.h"
#include "inst/inst.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum class State { Normal, Hover, Pressed, Disabled, Checked };

QPushButton* button(const QString& text, Inst::Button member, State state)
{
    auto* b = new QPushButton(text);
    Inst::style(b, member);
    switch (state) {
    case State::Normal:
        break;
    case State::Hover:
        galleryHover(b);
        break;
    case State::Pressed:
        b->setDown(true);
        break;
    case State::Disabled:
        b->setEnabled(false);
        break;
    case State::Checked:
        b->setCheckable(true);
        b->setChecked(true);
        break;
    }
    return b;
}

void tablePlate(QVBoxLayout* plate, const char* pulse)
{
    auto* table = new QTableWidget(3, 3);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("SERVER"), QStringLiteral("ADDRESS"), QStringLiteral("STATUS")});
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setFocusPolicy(Qt::NoFocus);
    const char* const rows[][2] = {
        {"tessa.local", "192.0.2.2"}, {"lab", "192.0.2.10"}, {"old", "10.0.0.7"}};
    const std::pair<const char*, InstChip::Tone> chips[] = {
        {"FOLLOWED", InstChip::Info}, {"READY", InstChip::Go}, {"NO ANSWER", InstChip::Bad}};
    for (int r = 0; r < 3; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QString::fromLatin1(rows[r][0])));
        table->setItem(r, 1, new QTableWidgetItem(QString::fromLatin1(rows[r][1])));
        auto* cell = new QWidget;
        auto* layout = new QHBoxLayout(cell);
        layout->setContentsMargins(0, 0, 10, 0);
        layout->addWidget(new InstChip(QString::fromLatin1(chips[r].first), chips[r].second));
        layout->addStretch(1);
        table->setCellWidget(r, 2, cell);
    }
    table->horizontalHeader()->setFont(Inst::mono(10.5, QFont::DemiBold, 1.2));
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->horizontalHeader()->setStretchLastSection(true);
    table->selectRow(1);
    Inst::setTablePulse(table, pulse);
    table->setFixedSize(420, 124);
    GallerySheet::addRow(plate, QLatin1String(pulse ? pulse : "plain"))->addWidget(table);
}

} // namespace

void addButtonPlates(GallerySheet& sheet)
{
    QVBoxLayout* plate =
        sheet.addPlate(2, QStringLiteral("Buttons: normal, hover, pressed, disabled"));
    const std::pair<const char*, Inst::Button> members[] = {{"plain", Inst::Button::Plain},
                                                            {"go", Inst::Button::Go},
                                                            {"primary", Inst::Button::Primary},
                                                            {"alarm", Inst::Button::Alarm},
                                                            {"seg", Inst::Button::Seg}};
    for (const auto& [name, member] : members) {
        QHBoxLayout* row = GallerySheet::addRow(plate, QString::fromLatin1(name));
        const QString text =
            member == Inst::Button::Plain ? QStringLiteral("Sync now") : QStringLiteral("SET UP");
        for (State s : {State::Normal, State::Hover, State::Pressed, State::Disabled})
            row->addWidget(button(text, member, s));
        if (member == Inst::Button::Seg)
            row->addWidget(button(QStringLiteral("CHECKED"), member, State::Checked));
    }
    QHBoxLayout* more = GallerySheet::addRow(plate, QStringLiteral("small, alarm"));
    QPushButton* small = button(QStringLiteral("Search again"), Inst::Button::Plain, State::Normal);
    Inst::setSmall(small);
    more->addWidget(small);
    QPushButton* alarmed = button(QStringLiteral("Sync now"), Inst::Button::Plain, State::Normal);
    Inst::setAlarm(alarmed, true);
    more->addWidget(alarmed);
    QPushButton* alarmedHover = button(QStringLiteral("Hover"), Inst::Button::Plain, State::Hover);
    Inst::setAlarm(alarmedHover, true);
    more->addWidget(alarmedHover);
    QHBoxLayout* help = GallerySheet::addRow(plate, QStringLiteral("help"));
    for (State s : {State::Normal, State::Hover, State::Pressed, State::Disabled})
        help->addWidget(button(QStringLiteral("?"), Inst::Button::Help, s));

    QVBoxLayout* labels = sheet.addPlate(2, QStringLiteral("QLabel tones"));
    QHBoxLayout* row = GallerySheet::addRow(labels);
    for (const char* tone : {"", "sec", "muted", "go", "warn", "bad", "info"}) {
        auto* label = new QLabel(QString::fromLatin1(*tone ? tone : "pri"));
        Inst::setTone(label, tone);
        row->addWidget(label);
    }
    auto* disabled = new QLabel(QStringLiteral("disabled"));
    disabled->setEnabled(false);
    row->addWidget(disabled);
    row->addWidget(Inst::caption(QStringLiteral("CAPTION")));
}

void addQtWidgetPlates(GallerySheet& sheet)
{
    QVBoxLayout* inputs = sheet.addPlate(1, QStringLiteral("Line edit, spin box, date and time"));
    QHBoxLayout* edits = GallerySheet::addRow(inputs, QStringLiteral("line edit"));
    auto* edit = new QLineEdit(QStringLiteral("192.0.2.2"));
    auto* empty = new QLineEdit;
    empty->setPlaceholderText(QStringLiteral("IP address"));
    auto* off = new QLineEdit(QStringLiteral("disabled"));
    off->setEnabled(false);
    for (QLineEdit* e : {edit, empty, off}) {
        e->setFixedWidth(120);
        edits->addWidget(e);
    }
    galleryFocus(edit);
    QHBoxLayout* spins = GallerySheet::addRow(inputs, QStringLiteral("spin, date"));
    auto* spin = new QSpinBox;
    spin->setValue(30);
    auto* date = new QDateEdit(QDate(2026, 12, 6));
    date->setCalendarPopup(true);
    auto* time = new QTimeEdit(QTime(14, 7, 33));
    time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    for (QWidget* w :
         {static_cast<QWidget*>(spin), static_cast<QWidget*>(date), static_cast<QWidget*>(time)}) {
        w->setFont(Inst::mono(12, QFont::Medium));
        spins->addWidget(w);
    }

    QVBoxLayout* tables = sheet.addPlate(2, QStringLiteral("Table: selected row, pulse"));
    tablePlate(tables, nullptr);
    tablePlate(tables, "bright");
    tablePlate(tables, "dim");

    QVBoxLayout* texts = sheet.addPlate(1, QStringLiteral("Text, list, slider, progress"));
    QHBoxLayout* textRow = GallerySheet::addRow(texts);
    auto* log = new QPlainTextEdit(QStringLiteral("2026-12-06T14:07:33Z synced\n"
                                                  "2026-12-06T14:37:33Z no-answer"));
    log->setFixedSize(260, 70);
    textRow->addWidget(log);
    auto* list = new QListWidget;
    list->addItems({QStringLiteral("tessa.local"), QStringLiteral("lab"), QStringLiteral("old")});
    list->setCurrentRow(1);
    list->setFixedSize(150, 90);
    textRow->addWidget(list);
    for (const char* tint : {"", "red", "green", "luma", "disabled"}) {
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setValue(60);
        slider->setFixedWidth(200);
        if (QLatin1String(tint) == QLatin1String("disabled"))
            slider->setEnabled(false);
        else if (*tint)
            slider->setProperty("tint", QString::fromLatin1(tint));
        GallerySheet::addRow(texts, QString::fromLatin1(*tint ? tint : "accent"))
            ->addWidget(slider);
    }
    auto* progress = new QProgressBar;
    progress->setValue(42);
    progress->setFixedWidth(260);
    GallerySheet::addRow(texts, QStringLiteral("progress"))->addWidget(progress);

    QVBoxLayout* bars = sheet.addPlate(2, QStringLiteral("Status bar, scroll area"));
    auto* status = new QStatusBar;
    status->setSizeGripEnabled(false);
    status->addWidget(new QLabel(QStringLiteral("Searching the network...")));
    auto* warn = new QLabel(QStringLiteral("2 servers"));
    Inst::setTone(warn, "warn");
    status->addPermanentWidget(warn);
    status->setFixedWidth(420);
    bars->addWidget(status);
    auto* area = new QScrollArea;
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("instContent"));
    auto* column = new QVBoxLayout(content);
    for (int i = 1; i <= 12; ++i)
        column->addWidget(new QLabel(QStringLiteral("Line %1 of the scrolled content").arg(i)));
    area->setWidget(content);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setFixedSize(420, 110);
    bars->addWidget(area);
}
