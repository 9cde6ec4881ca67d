#include "inst/inststylesheet.h"

#include "inst/instformat.h"
#include "inst/insttokens.h"

#include <QWidget>

namespace Inst {
namespace {

const char* const kTemplate = R"QSS(
QLabel { color: %pri%; background: transparent; }
QLabel[tone="sec"] { color: %sec%; }
QLabel[tone="muted"] { color: %mut%; }
QLabel[tone="go"] { color: %led%; }
QLabel[tone="warn"] { color: %amber%; }
QLabel[tone="bad"] { color: %red%; }
QLabel[tone="info"] { color: %accent%; }
QLabel:disabled { color: %mut%; }

QLineEdit, QAbstractSpinBox {
    background: %canvas%; color: %pri%; border: 1px solid %bezel%; border-radius: 4px;
    padding: 3px 8px; min-height: 20px;
    selection-background-color: %accent%; selection-color: %panel%;
}
QLineEdit:focus, QAbstractSpinBox:focus { border-color: %accent%; }
QLineEdit:disabled, QAbstractSpinBox:disabled { color: %mut%; }
QAbstractSpinBox::up-button, QAbstractSpinBox::down-button {
    subcontrol-origin: border; width: 16px; border: none; border-left: 1px solid %bezel%;
    background: transparent;
}
QAbstractSpinBox::up-button { subcontrol-position: top right; }
QAbstractSpinBox::down-button { subcontrol-position: bottom right; }
QAbstractSpinBox::up-arrow { image: url(:/inst/arrows/up-%mode%.png); width: 8px; height: 5px; }
QAbstractSpinBox::down-arrow { image: url(:/inst/arrows/down-%mode%.png); width: 8px; height: 5px; }
QDateEdit::drop-down {
    subcontrol-origin: border; subcontrol-position: top right; width: 18px;
    border: none; border-left: 1px solid %bezel%;
}
QDateEdit::down-arrow { image: url(:/inst/arrows/down-%mode%.png); width: 8px; height: 5px; }

QPushButton {
    background: %section%; color: %pri%; border: 1px solid %bezel%; border-radius: 4px;
    padding: 4px 11px;
}
QPushButton:hover { border-color: %sec%; }
QPushButton:pressed { background: %bezel%; }
QPushButton[inst="go"] {
    color: %led%; background: %led14%; border: 1px solid %led50%; border-radius: 5px;
    padding: 5px 14px;
}
QPushButton[inst="go"]:hover { background: %led22%; }
QPushButton[inst="go"]:pressed { background: %led30%; }
QPushButton[inst="primary"] {
    color: %accent%; background: %acc14%; border: 1px solid %acc50%; border-radius: 5px;
    padding: 6px 14px;
}
QPushButton[inst="primary"]:hover { background: %acc22%; }
QPushButton[inst="primary"]:pressed { background: %acc30%; }
QPushButton[inst="alarm"] {
    color: %red%; background: %red14%; border: 1px solid %red50%; border-radius: 5px;
    padding: 6px 14px;
}
QPushButton[inst="alarm"]:hover { background: %red22%; }
QPushButton[inst="alarm"]:pressed { background: %red30%; }
QPushButton[inst="seg"] {
    color: %sec%; background: %section%; border: 1px solid %bezel%; border-radius: 5px;
    padding: 5px 10px;
}
QPushButton[inst="seg"]:hover { border-color: %sec%; }
QPushButton[inst="seg"]:checked { color: %panel%; background: %accent%; border-color: %accent%; }
QPushButton[inst="tab"] {
    color: %sec%; background: transparent; border: none; border-radius: 11px; padding: 4px 14px;
}
QPushButton[inst="tab"]:hover { color: %pri%; }
QPushButton[inst="tab"]:checked { color: %panel%; background: %accent%; }
QPushButton[inst="help"] {
    color: %sec%; background: %section%; border: 1px solid %bezel%; border-radius: 10px;
    padding: 0px;
}
QPushButton[instSize="small"] { padding: 3px 12px; }
QPushButton[instState="alarm"] { color: %red%; background: %red14%; border-color: %red50%; }
QPushButton[instState="alarm"]:hover { background: %red22%; }
/* The focus, seen in either appearance: an accent outline on any member. */
QPushButton:focus, QPushButton[inst="go"]:focus, QPushButton[inst="primary"]:focus,
QPushButton[inst="alarm"]:focus, QPushButton[inst="seg"]:focus, QPushButton[inst="help"]:focus,
QPushButton[instState="alarm"]:focus {
    border-color: %accent%;
}
/* Last: no member's face, hover or alarm outranks a disabled button's. */
QPushButton:disabled, QPushButton[inst="go"]:disabled, QPushButton[inst="primary"]:disabled,
QPushButton[inst="alarm"]:disabled, QPushButton[inst="seg"]:disabled,
QPushButton[inst="tab"]:disabled, QPushButton[inst="help"]:disabled,
QPushButton[instState="alarm"]:disabled {
    color: %mut%; background: transparent; border-color: %grid%;
}

QTableView {
    color: %pri%; background: transparent; alternate-background-color: transparent; border: none;
    gridline-color: transparent; outline: 0;
    selection-background-color: %acc14%; selection-color: %pri%;
}
QTableView:focus { border: 1px solid %accent%; border-radius: 3px; }
QTableView[pulse="bright"] { selection-background-color: %amber40%; }
QTableView[pulse="dim"] { selection-background-color: %amber16%; }
QTableView::item { border: none; border-top: 1px solid %grid%; padding-right: 10px; }
QTableView QLineEdit, QTableView QAbstractSpinBox {
    background: transparent; border: 1px solid transparent; border-radius: 3px; padding: 2px 6px;
}
QTableView QLineEdit:focus, QTableView QAbstractSpinBox:focus {
    background: %canvas%; border-color: %accent%;
}
QHeaderView { background: transparent; }
QHeaderView::section {
    background: transparent; color: %mut%; border: none; padding: 0px 10px 5px 5px;
}
QTableCornerButton::section { background: transparent; border: none; }

QTextEdit, QPlainTextEdit, QListWidget {
    background: %canvas%; color: %screen%; border: 1px solid %grid%; border-radius: 6px;
    padding: 4px; selection-background-color: %accent%; selection-color: %panel%;
}
QListWidget::item { padding: 3px 6px; border-radius: 3px; }
QListWidget::item:selected { background: %acc14%; color: %pri%; }

QSlider:horizontal { min-height: 18px; }
QSlider::groove:horizontal { height: 4px; background: %bezel%; border-radius: 2px; }
QSlider::sub-page:horizontal { background: %accent%; border-radius: 2px; }
QSlider::handle:horizontal {
    width: 10px; height: 10px; margin: -5px 0px; border-radius: 7px;
    background: %accent%; border: 2px solid %panel%;
}
QSlider[tint="red"]::sub-page:horizontal, QSlider[tint="red"]::handle:horizontal {
    background: %red%;
}
QSlider[tint="green"]::sub-page:horizontal, QSlider[tint="green"]::handle:horizontal {
    background: %led%;
}
QSlider[tint="luma"]::sub-page:horizontal, QSlider[tint="luma"]::handle:horizontal {
    background: %pri%;
}
QSlider::sub-page:horizontal:disabled, QSlider::handle:horizontal:disabled { background: %mut%; }

QProgressBar {
    background: %canvas%; color: %pri%; border: 1px solid %bezel%; border-radius: 4px;
    text-align: center; min-height: 16px; max-height: 16px;
}
QProgressBar::chunk { background: %acc50%; border-radius: 3px; }

QStatusBar { background: %deck%; color: %mut%; border-top: 1px solid %bezel%; }
QStatusBar::item { border: none; }
QStatusBar QLabel { color: %mut%; padding: 1px 10px; }

QScrollArea { background: transparent; border: none; }
QWidget#instContent { background: %panel%; }
QWidget#instSectionContent { background: %section%; }
QScrollBar:vertical { width: 10px; background: transparent; margin: 0px; }
QScrollBar:horizontal { height: 10px; background: transparent; margin: 0px; }
QScrollBar::handle { background: %bezel%; border-radius: 3px; margin: 2px; }
QScrollBar::handle:vertical { min-height: 28px; }
QScrollBar::handle:horizontal { min-width: 28px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QComboBox { combobox-popup: 0; }
QComboBox QAbstractItemView {
    background: %section%; color: %pri%; border: 1px solid %bezel%; outline: 0;
    selection-background-color: %accent%; selection-color: %panel%;
}
)QSS";

struct Tint
{
    const char* placeholder;
    QColor Tokens::*token;
    double alpha;
};

} // namespace

QPalette palette()
{
    const Tokens& t = *tokens();
    QPalette p;
    const QPalette::ColorGroup groups[] = {QPalette::Active, QPalette::Inactive,
                                           QPalette::Disabled};
    for (QPalette::ColorGroup g : groups) {
        p.setColor(g, QPalette::Window, t.panel);
        p.setColor(g, QPalette::WindowText, t.pri);
        p.setColor(g, QPalette::Base, t.canvas);
        p.setColor(g, QPalette::AlternateBase, t.section);
        p.setColor(g, QPalette::Text, t.pri);
        p.setColor(g, QPalette::Button, t.section);
        p.setColor(g, QPalette::ButtonText, t.pri);
        p.setColor(g, QPalette::Highlight, t.accent);
        p.setColor(g, QPalette::HighlightedText, t.panel);
        p.setColor(g, QPalette::PlaceholderText, t.mut);
        p.setColor(g, QPalette::Link, t.accent);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, t.mut);
    p.setColor(QPalette::Disabled, QPalette::Text, t.mut);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, t.mut);
    return p;
}

QString styleSheet()
{
    const Tokens& t = *tokens();
    QString sheet = QString::fromLatin1(kTemplate);
    // Every placeholder is closed by '%', so "%led%" can never match inside "%led14%".
    sheet.replace(QLatin1String("%mode%"), QLatin1String(t.dark ? "dark" : "light"));
    const std::pair<const char*, QColor Tokens::*> plain[] = {
        {"%pri%", &Tokens::pri},     {"%sec%", &Tokens::sec},       {"%mut%", &Tokens::mut},
        {"%panel%", &Tokens::panel}, {"%deck%", &Tokens::deck},     {"%section%", &Tokens::section},
        {"%bezel%", &Tokens::bezel}, {"%accent%", &Tokens::accent}, {"%canvas%", &Tokens::canvas},
        {"%led%", &Tokens::led},     {"%amber%", &Tokens::amber},   {"%red%", &Tokens::red}};
    for (const auto& [placeholder, token] : plain)
        sheet.replace(QLatin1String(placeholder), (t.*token).name());
    const Tint tints[] = {{"%grid%", &Tokens::grid, 1.0},     {"%screen%", &Tokens::screen, 1.0},
                          {"%led14%", &Tokens::led, 0.14},    {"%led22%", &Tokens::led, 0.22},
                          {"%led30%", &Tokens::led, 0.3},     {"%led50%", &Tokens::led, 0.5},
                          {"%amber40%", &Tokens::amber, 0.4}, {"%amber16%", &Tokens::amber, 0.16},
                          {"%red14%", &Tokens::red, 0.14},    {"%red22%", &Tokens::red, 0.22},
                          {"%red30%", &Tokens::red, 0.3},     {"%red50%", &Tokens::red, 0.5},
                          {"%acc14%", &Tokens::accent, 0.14}, {"%acc18%", &Tokens::accent, 0.18},
                          {"%acc22%", &Tokens::accent, 0.22}, {"%acc30%", &Tokens::accent, 0.3},
                          {"%acc50%", &Tokens::accent, 0.5}};
    for (const Tint& tint : tints)
        sheet.replace(QLatin1String(tint.placeholder), rgba(t.*tint.token, tint.alpha));
    return sheet;
}

QString alarmStyleSheet(const char* sheet)
{
    const Alarm& a = alarm();
    QString filled = QString::fromLatin1(sheet);
    const std::pair<const char*, QColor Alarm::*> plain[] = {{"%red%", &Alarm::red},
                                                             {"%hover%", &Alarm::hover},
                                                             {"%ink%", &Alarm::ink},
                                                             {"%text%", &Alarm::text},
                                                             {"%bright%", &Alarm::bright},
                                                             {"%caption%", &Alarm::caption},
                                                             {"%clockline%", &Alarm::clockLine},
                                                             {"%field%", &Alarm::field},
                                                             {"%face%", &Alarm::face},
                                                             {"%deep%", &Alarm::deep},
                                                             {"%disabled%", &Alarm::disabled}};
    for (const auto& [placeholder, colour] : plain)
        filled.replace(QLatin1String(placeholder), (a.*colour).name());
    for (const auto& [placeholder, alpha] :
         {std::pair{"%edge22%", 0.22}, {"%edge45%", 0.45}, {"%edge55%", 0.55}})
        filled.replace(QLatin1String(placeholder), rgba(a.edge, alpha));
    return filled;
}

void applyTo(QWidget* widget)
{
    if (!widget) return;
    // The sheet goes first: replacing a sheet makes Qt put back the palette the widget had
    // when the old sheet came, which would undo a new palette set before it.
    widget->setStyleSheet(styleSheet());
    widget->setPalette(palette());
    widget->setAutoFillBackground(true);
    // Painted widgets read the tokens at paint time; a repaint is all they need.
    const QList<QWidget*> children = widget->findChildren<QWidget*>();
    for (QWidget* child : children)
        child->update();
    widget->update();
}

} // namespace Inst
