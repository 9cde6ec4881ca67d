#include "inst/instaccessible.h"

#include "inst/instaccessiblechoice.h"
#include "inst/instaccessiblemenu.h"
#include "inst/instbezel.h"
#include "inst/instchip.h"
#include "inst/instdot.h"
#include "inst/instled.h"
#include "inst/instreadout.h"
#include "inst/instsection.h"
#include "inst/instspoken.h"
#include "inst/inststatus.h"
#include "inst/instvalue.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QLabel>

namespace {

const char* const kQuiet = "instQuiet";
void (*noticeListener)(QAccessibleEvent*) = nullptr;

// A painted widget read as one piece of text: what it shows is its name, its parts are not
// read again one by one.
class TextAccessible : public QAccessibleWidget
{
public:
    using Words = QString (*)(const QWidget*);

    TextAccessible(QWidget* w, Words words, QAccessible::Role role = QAccessible::StaticText,
                   bool ownerNames = true)
        : QAccessibleWidget(w, role), m_words(words), m_ownerNames(ownerNames)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name && t != QAccessible::Value) return QAccessibleWidget::text(t);
        // A name the owner gave wins: it knows what the widget stands for.
        const QString given = m_ownerNames ? widget()->accessibleName() : QString();
        return given.isEmpty() ? m_words(widget()) : given;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

private:
    Words m_words;
    bool m_ownerNames;
};

QString ledWords(const QWidget* w)
{
    const QString words = Inst::spoken(static_cast<const InstLed*>(w)->text());
    return words.isEmpty() ? QStringLiteral("no reading") : words;
}

QString chipWords(const QWidget* w)
{
    return Inst::readable(static_cast<const InstChip*>(w)->text());
}

QString statusWords(const QWidget* w)
{
    const QString text = static_cast<const InstStatus*>(w)->text();
    const qsizetype cut = text.indexOf(QLatin1String(" - "));
    if (cut < 0) return Inst::readable(text);
    return Inst::readable(text.left(cut)) + QLatin1String(" - ") +
           Inst::readable(text.mid(cut + 3));
}

QString dotWords(const QWidget* w)
{
    return Inst::colourWord(static_cast<const InstDot*>(w)->color());
}

QString valueWords(const QWidget* w)
{
    const QString text = static_cast<const InstValue*>(w)->text();
    QString figure, unit;
    return InstValue::split(text, &figure, &unit) ? Inst::spoken(figure, unit) : text;
}

// A framed group is named by its caption, said as a sentence rather than in capitals.
class GroupAccessible : public QAccessibleWidget
{
public:
    GroupAccessible(QWidget* w, QLabel* caption)
        : QAccessibleWidget(w, QAccessible::Grouping), m_caption(caption)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !widget()->accessibleName().isEmpty() || !m_caption)
            return QAccessibleWidget::text(t);
        return Inst::readable(m_caption->text());
    }

private:
    QPointer<QLabel> m_caption;
};

// A captioned figure: named by its caption, its value the figure with its unit in words.
class ReadoutAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ReadoutAccessible(InstReadout* r) : QAccessibleWidget(r, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return value();
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return readout()->title();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    // The value as read-only text: no caret, no selection.
    QString text(int start, int end) const override { return value().mid(start, end - start); }
    int characterCount() const override { return int(value().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return QString();
    }

private:
    InstReadout* readout() const { return static_cast<InstReadout*>(widget()); }
    QString value() const { return readout()->spokenValue(); }
};

QAccessibleInterface* instFactory(const QString& key, QObject* object)
{
    if (!object) return nullptr;
    if (key == QLatin1String("QAction"))
        return Inst::menuItemAccessible(static_cast<QAction*>(object));
    if (!object->isWidgetType()) return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (key == QLatin1String("InstLed")) return new TextAccessible(w, ledWords);
    if (key == QLatin1String("InstChip")) return new TextAccessible(w, chipWords);
    if (key == QLatin1String("InstStatus")) return new TextAccessible(w, statusWords);
    // A value names itself with its raw text; read aloud, the figure is said in words.
    if (key == QLatin1String("InstValue"))
        return new TextAccessible(w, valueWords, QAccessible::StaticText, false);
    if (key == QLatin1String("InstDot"))
        return new TextAccessible(w, dotWords, QAccessible::Graphic);
    if (key == QLatin1String("InstReadout"))
        return new ReadoutAccessible(static_cast<InstReadout*>(w));
    if (key == QLatin1String("InstBezel"))
        return new GroupAccessible(w, static_cast<InstBezel*>(w)->captionLabel());
    if (key == QLatin1String("InstSection"))
        return new GroupAccessible(w, static_cast<InstSection*>(w)->titleLabel());
    if (key == QLatin1String("InstAppearanceSelector")) return Inst::choiceAccessible(w);
    return nullptr;
}

} // namespace

namespace Inst {

void installAccessibility()
{
    static const bool installed = (QAccessible::installFactory(instFactory), true);
    Q_UNUSED(installed);
}

void setQuiet(QWidget* widget, bool quiet)
{
    if (widget) widget->setProperty(kQuiet, quiet);
}

bool isQuiet(const QWidget* widget)
{
    return widget && widget->property(kQuiet).toBool();
}

bool heard(const QWidget* widget)
{
    return widget && !isQuiet(widget) && (noticeListener || QAccessible::isActive());
}

void announce(QWidget* widget, QAccessible::Event what)
{
    if (!heard(widget)) return;
    QAccessibleEvent event(widget, what);
    send(&event);
}

void announceText(QWidget* widget, const QString& before, const QString& after)
{
    if (!heard(widget)) return;
    QAccessibleTextUpdateEvent event(widget, 0, before, after);
    send(&event);
}

void setTabOrder(const QList<QWidget*>& order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void send(QAccessibleEvent* event)
{
    if (noticeListener)
        noticeListener(event);
    else
        QAccessible::updateAccessibility(event);
}

void setNoticeListener(void (*listener)(QAccessibleEvent*))
{
    noticeListener = listener;
}

} // namespace Inst
