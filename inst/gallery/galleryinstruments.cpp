#include "inst/gallery/galleryinstruments.h"

#include "inst/gallery/gallerysheet.h"
#include "inst/inst.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void ledPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(0, QStringLiteral("InstLed"));
    auto led = [](QHBoxLayout* row, int height, const QString& text, InstLed::Tone tone,
                  bool dim = false) {
        auto* l = new InstLed(height);
        l->setText(text);
        l->setTone(tone);
        l->setDim(dim);
        row->addWidget(l, 0, Qt::AlignBottom);
    };
    led(GallerySheet::addRow(plate, QStringLiteral("digits")), 34, QStringLiteral("0123456789"),
        InstLed::Go);
    QHBoxLayout* tones = GallerySheet::addRow(plate, QStringLiteral("go warn bad"));
    led(tones, 34, QStringLiteral("12:34:56"), InstLed::Go);
    led(tones, 34, QStringLiteral("-1.5"), InstLed::Warn);
    led(tones, 34, QString(QChar(0x2212)) + QStringLiteral("0.25"), InstLed::Bad);
    QHBoxLayout* dim = GallerySheet::addRow(plate, QStringLiteral("dim, ghosts"));
    led(dim, 34, QStringLiteral("--:--:--"), InstLed::Go, true);
    led(dim, 34, QStringLiteral("AbC 7"), InstLed::Go);
    QHBoxLayout* sizes = GallerySheet::addRow(plate, QStringLiteral("18, 78 px"));
    led(sizes, 18, QStringLiteral("08:15"), InstLed::Go);
    led(sizes, 78, QStringLiteral("23:59:07"), InstLed::Bad);
}

void valuePlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(0, QStringLiteral("InstValue"));
    QHBoxLayout* row = GallerySheet::addRow(plate, QStringLiteral("split"));
    const char* const texts[] = {"+1.234 s", "12ms", "98 %", "no answer", "3/4"};
    for (const char* text : texts) {
        auto* v = new InstValue(24);
        v->setText(QString::fromLatin1(text));
        row->addWidget(v);
    }
    QHBoxLayout* tones = GallerySheet::addRow(plate, QStringLiteral("warn, bad"));
    auto* warn = new InstValue(24);
    warn->setTone(InstLed::Warn);
    warn->setText(QStringLiteral("-0.512 s"));
    auto* bad = new InstValue(24);
    bad->setTone(InstLed::Bad);
    bad->setReserve(QStringLiteral("00:00"));
    bad->setText(QStringLiteral("7 min"));
    tones->addWidget(warn);
    tones->addWidget(bad);
}

void readoutPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(0, QStringLiteral("InstReadoutBar, InstReadout"));
    auto* bar = new InstReadoutBar;
    bar->addReadout(QStringLiteral("Offset"))
        ->setValue(QStringLiteral("0.012"), QStringLiteral("s"));
    InstReadout* last = bar->addReadout(QStringLiteral("Last sync"));
    last->setValue(QStringLiteral("4 min ago"));
    InstReadout* heard = bar->addReadout(QStringLiteral("Server heard"));
    heard->setValue(QStringLiteral("yes"));
    heard->setWordsTone("go");
    InstReadout* reported = bar->addReadout(QStringLiteral("Reported"));
    reported->setValue(QStringLiteral("off"));
    reported->setWordsTone("muted");
    bar->setFixedWidth(560);
    plate->addWidget(bar);
    auto* idle = new InstReadoutBar;
    idle->addReadout(QStringLiteral("Offset"))->setIdle(QStringLiteral("-.---"));
    InstReadout* notHeard = idle->addReadout(QStringLiteral("Server heard"));
    notHeard->setValue(QStringLiteral("not heard"));
    notHeard->setWordsTone("sec");
    InstReadout* warn = idle->addReadout(QStringLiteral("Reported"));
    warn->setValue(QStringLiteral("late"));
    warn->setWordsTone("warn");
    idle->setFixedWidth(560);
    plate->addWidget(idle);
}

void chipPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate = sheet.addPlate(0, QStringLiteral("InstChip, InstDot, InstStatus"));
    QHBoxLayout* chips = GallerySheet::addRow(plate, QStringLiteral("chips"));
    const std::pair<const char*, InstChip::Tone> tones[] = {{"READY", InstChip::Go},
                                                            {"FOLLOWED", InstChip::Info},
                                                            {"BUSY", InstChip::Warn},
                                                            {"NO ANSWER", InstChip::Bad},
                                                            {"OLD VERSION", InstChip::Neutral}};
    for (const auto& [text, tone] : tones)
        chips->addWidget(new InstChip(QString::fromLatin1(text), tone));
    QHBoxLayout* dots = GallerySheet::addRow(plate, QStringLiteral("dots"));
    const Inst::Tokens& t = *Inst::tokens();
    const QColor colours[] = {QColor(), t.amber, t.red, t.accent, t.mut};
    for (const QColor& colour : colours) {
        auto* dot = new InstDot(12);
        dot->setColor(colour);
        dots->addWidget(dot);
    }
    dots->addWidget(new InstDot(8));
    auto status = [&](const QString& text, InstChip::Tone tone, InstChip::Tone detail) {
        auto* s = new InstStatus;
        s->setText(text);
        s->setTone(tone);
        s->setDetailTone(detail);
        GallerySheet::addRow(plate, QStringLiteral("status"))->addWidget(s);
    };
    status(QStringLiteral("In sync"), InstChip::Go, InstChip::Neutral);
    status(QStringLiteral("Server not heard - Last synced 4 min ago"), InstChip::Warn,
           InstChip::Neutral);
    status(QStringLiteral("Clock is wrong - earlier than its last sync"), InstChip::Bad,
           InstChip::Bad);
}

void headerPlate(GallerySheet& sheet)
{
    QVBoxLayout* plate =
        sheet.addPlate(0, QStringLiteral("InstModuleHeader, InstAppearanceSelector"));
    auto* header = new InstModuleHeader(QStringLiteral("Tessavel Veridir"));
    header->setInfo(QStringLiteral("v1.7.0"));
    header->addNotice(new InstChip(QStringLiteral("WATCHING"), InstChip::Info));
    header->dot()->setColor(Inst::tokens()->amber);
    header->setFixedWidth(560);
    plate->addWidget(header);
    QHBoxLayout* row = GallerySheet::addRow(plate, QStringLiteral("choices"));
    for (auto a : {Inst::Appearance::System, Inst::Appearance::Light, Inst::Appearance::Dark}) {
        auto* selector = new InstAppearanceSelector;
        selector->setAppearance(a);
        row->addWidget(selector);
    }
    auto* hovered = new InstAppearanceSelector;
    hovered->setAppearance(Inst::Appearance::Dark);
    hovered->resize(hovered->sizeHint());
    galleryPoint(hovered, QPoint(hovered->width() / 2, hovered->height() / 2));
    row->addWidget(hovered);
}

} // namespace

void addInstrumentPlates(GallerySheet& sheet)
{
    ledPlate(sheet);
    valuePlate(sheet);
    readoutPlate(sheet);
    chipPlate(sheet);
    headerPlate(sheet);
}
