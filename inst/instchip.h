#pragma once
// A pill-shaped state word in a tone colour on a faint face of the same colour.

#include <QWidget>

class InstChip : public QWidget
{
    Q_OBJECT
public:
    // Any value above Bad paints in the secondary text colour.
    enum Tone : int { Go = 0, Info = 1, Warn = 2, Bad = 3, Neutral = 4 };

    InstChip(const QString& text, Tone tone, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    Tone tone() const { return m_tone; }
    void setTone(Tone tone);
    static QColor colorOf(Tone tone);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    Tone m_tone;
};
