#pragma once
// Seven-segment LED figures: digits, minus signs, colons and points, with ghosts of unlit segments.

#include <QHash>
#include <QPixmap>
#include <QRgba64>
#include <QWidget>

class QPainter;

class InstLed : public QWidget
{
    Q_OBJECT
public:
    enum Tone : int { Go = 0, Warn = 1, Bad = 2 };

    explicit InstLed(int height, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    // Text whose width the widget keeps, so that changing figures do not shift the layout.
    QString reserve() const { return m_reserve; }
    void setReserve(const QString& reserve);
    Tone tone() const { return m_tone; }
    void setTone(Tone tone);
    bool isDim() const { return m_dim; }
    void setDim(bool dim);
    int ledHeight() const { return m_height; }

    static bool canShow(const QString& text);
    double widthOf(const QString& text) const;
    double strokeWidth() const { return 0.12 * m_height; }
    // The segments "abcdefg" that a character lights; empty for anything but a figure.
    static QString segmentsOf(QChar c);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double advance(QChar c) const;
    // Left edge of each character's cell, in the widget's coordinates.
    QList<double> cellLefts(const QString& text) const;
    // Device pixels a picture keeps left of its cell.
    int marginPixels(double ratio) const;
    // Where the picture of a character whose cell starts at x lands, for this device ratio,
    // on a whole device pixel; phase is what the cell starts past it.
    QRectF pictureRect(QChar c, double x, double ratio, int* phase = nullptr) const;
    // The character's lit and ghost segments as drawn in the current look, made once a phase.
    const QPixmap& picture(QChar c, int phase, const QColor& lit, double ratio);
    void paintGlyph(QPainter& p, QChar c, const QColor& lit, double b) const;
    void paintCell(QPainter& p, QChar c, double x, const QColor& lit, double b) const;
    void paintDot(QPainter& p, QPointF centre, const QColor& lit, double b) const;

    struct Look
    {
        QRgba64 lit;
        bool dim = false;
        double ratio = 0;
        bool operator==(const Look&) const = default;
    };

    int m_height;
    QString m_text;
    QString m_reserve;
    Tone m_tone = Go;
    bool m_dim = false;
    Look m_look;
    // At most one picture per segment pattern, colon and point at each phase of the cells:
    // bounded by the text's length, never growing with time.
    QHash<int, QPixmap> m_pictures;
};
