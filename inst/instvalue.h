#pragma once
// A value that shows its figure on an LED with the unit beside it, or plain words otherwise.

#include "inst/instled.h"

#include <QWidget>

class QLabel;

class InstValue : public QWidget
{
    Q_OBJECT
public:
    explicit InstValue(int ledHeight, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setReserve(const QString& reserve);
    void setTone(InstLed::Tone tone);

    // Splits "+1.234 s" into "1.234" and "s"; false (no figure, the trimmed text as unit)
    // when the text does not start with a figure that stands on its own.
    static bool split(const QString& text, QString* number, QString* unit);

private:
    QString m_text;
    InstLed* m_led;
    QLabel* m_textLabel;
    QLabel* m_unitLabel;
};
