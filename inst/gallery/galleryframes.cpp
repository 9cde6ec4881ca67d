#include "inst/gallery/galleryframes.h"

#include "inst/gallery/gallerysheet.h"
#include "inst/inst.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void framePlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(1, QStringLiteral("InstBezel, InstSection, InstScreen"));
    QHBoxLayout* bezels = GallerySheet::addRow(plate);
    for (bool active : {false, true}) {
        auto* bezel =
            new InstBezel(active ? QStringLiteral("Active") : QStringLiteral("This computer"));
        bezel->setActive(active);
        bezel->column()->addWidget(new QLabel(QStringLiteral("Set up with tessa.local")));
        bezels->addWidget(bezel);
    }
    auto* rowOnly = new InstBezel(QStringLiteral("unused"));
    rowOnly->setRowOnly();
    rowOnly->column()->addWidget(new QLabel(QStringLiteral("Row only")));
    bezels->addWidget(rowOnly);

    for (bool active : {false, true}) {
        auto* section = new InstSection(QStringLiteral("Time servers"));
        section->setActive(active);
        auto* search = new QPushButton(QStringLiteral("Search again"));
        Inst::style(search, Inst::Button::Plain);
        Inst::setSmall(search);
        section->addHeaderWidget(search);
        auto* line = new QLabel(active ? QStringLiteral("Active section")
                                       : QStringLiteral("2 servers found"));
        line->setProperty("tone", QStringLiteral("muted"));
        section->content()->addWidget(line);
        section->setFixedWidth(470);
        plate->addWidget(section);
    }

    auto* screen = new InstScreen;
    auto* inside = new QVBoxLayout(screen);
    inside->setContentsMargins(14, 10, 14, 12);
    auto* status = new InstStatus;
    status->setText(QStringLiteral("In sync - with tessa.local"));
    status->setTone(InstChip::Go);
    inside->addWidget(status);
    auto* clock = new InstLed(48);
    clock->setReserve(QStringLiteral("00:00:00"));
    clock->setText(QStringLiteral("14:07:33"));
    inside->addWidget(clock, 0, Qt::AlignHCenter);
    auto* date = new QLabel(QStringLiteral("Sunday 6 December, this computer's clock"));
    date->setFont(Inst::mono(11.5));
    date->setProperty("tone", QStringLiteral("sec"));
    inside->addWidget(date, 0, Qt::AlignHCenter);
    screen->setFixedWidth(470);
    plate->addWidget(screen);
}

void controlPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(1, QStringLiteral("InstToggle, InstCheck"));
    QHBoxLayout* toggles = GallerySheet::addRow(plate, QStringLiteral("toggle"));
    auto toggle = [&](QHBoxLayout* row, const char* text, bool on, bool enabled, bool hover) {
        auto* t = new InstToggle(QString::fromLatin1(text));
        t->setChecked(on);
        t->setEnabled(enabled);
        if (hover) galleryHover(t);
        row->addWidget(t);
        return t;
    };
    toggle(toggles, "Off", false, true, false);
    toggle(toggles, "On", true, true, false);
    toggle(toggles, "Hover", false, true, true);
    QHBoxLayout* more = GallerySheet::addRow(plate, QStringLiteral("toggle"));
    toggle(more, "Disabled", false, false, false);
    toggle(more, "Disabled on", true, false, false);
    toggle(more, "Hover on", true, true, true);

    QHBoxLayout* checks = GallerySheet::addRow(plate, QStringLiteral("check"));
    auto check = [&](const char* text, Qt::CheckState state, bool enabled, bool hover) {
        auto* c = new InstCheck(QString::fromLatin1(text));
        c->setTristate(state == Qt::PartiallyChecked);
        c->setCheckState(state);
        c->setEnabled(enabled);
        if (hover) galleryHover(c);
        checks->addWidget(c);
    };
    check("Off", Qt::Unchecked, true, false);
    check("On", Qt::Checked, true, false);
    check("Part", Qt::PartiallyChecked, true, false);
    check("Hover", Qt::Unchecked, true, true);
    check("Disabled", Qt::Checked, false, false);
}

void rowPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(1, QStringLiteral("InstCheckRow, InstCombo, InstTabs"));
    const char* const rows[][3] = {{"tessa.local", "192.0.2.2", "stratum 1"},
                                   {"lab", "192.0.2.10", "answers slowly"},
                                   {"backup-server", "10.0.0.7", "hover"}};
    QList<InstCheckRow*> made;
    int nameWidth = 0;
    int valueWidth = 0;
    for (const auto& r : rows) {
        auto* row = new InstCheckRow(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]),
                                     QString::fromLatin1(r[2]));
        nameWidth = qMax(nameWidth, row->nameWidth());
        valueWidth = qMax(valueWidth, row->valueWidth());
        made.append(row);
        plate->addWidget(row);
    }
    for (InstCheckRow* row : made)
        row->setColumns(nameWidth, valueWidth);
    made[0]->setChecked(true);
    galleryHover(made[2]);

    QHBoxLayout* combos = GallerySheet::addRow(plate, QStringLiteral("combo"));
    auto combo = [&](bool enabled, bool hover) {
        auto* c = new InstCombo;
        c->addItems({QStringLiteral("Every 30 minutes"), QStringLiteral("Hourly")});
        c->setEnabled(enabled);
        if (hover) galleryHover(c);
        combos->addWidget(c);
    };
    combo(true, false);
    combo(true, true);
    combo(false, false);

    auto* tabs = new InstTabs;
    for (const char* name : {"CLOCK", "SERVERS", "LOG"}) {
        auto* page = new QLabel(QStringLiteral("Page %1").arg(QLatin1String(name)));
        page->setProperty("tone", QStringLiteral("sec"));
        tabs->addTab(page, QString::fromLatin1(name));
    }
    tabs->setCurrentIndex(1);
    galleryHover(tabs->tabButton(2));
    plate->addWidget(tabs);
}

} // namespace

void addFramePlates(GallerySheet& sheet)
{
    framePlate(sheet);
    controlPlate(sheet);
    rowPlate(sheet);
}
