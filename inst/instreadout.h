#pragma once
// One captioned figure of a readout bar: an LED value with its unit, or words in a tone.

#include <QWidget>

class InstLed;
class QLabel;

class InstReadout : public QWidget
{
    Q_OBJECT
public:
    explicit InstReadout(const QString& caption, QWidget* parent = nullptr);

    // A value the LED can show goes there (with the unit when both are given); any other
    // value is shown in words.
    void setValue(const QString& value, const QString& unit = QString());
    void setWordsTone(const char* tone);
    // Shows the text dimmed on the LED: the figure is not known yet.
    void setIdle(const QString& text);

    // The first readout of a bar has no divider on its left.
    void setFirst(bool first);

    // The caption as given, and what the readout shows in words a listener hears:
    // "3 milliseconds", "never"; "not measured yet" while idle.
    QString title() const { return m_title; }
    QString spokenValue() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_caption;
    InstLed* m_led;
    QLabel* m_words;
    QLabel* m_unit;
    QString m_title;
    QString m_spoken;
    bool m_first = false;

    void spokenChanged();
};
