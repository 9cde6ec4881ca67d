#pragma once
// A filled status dot; led until its owner gives it a colour.

#include <QColor>
#include <QWidget>

class InstDot : public QWidget
{
    Q_OBJECT
public:
    explicit InstDot(int size, QWidget* parent = nullptr);

    // An invalid colour goes back to following the led token.
    void setColor(const QColor& color);
    QColor color() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};
