#pragma once
// Three painted segments (system, light, dark) that pick the appearance for their owner.

#include "inst/instappearance.h"

#include <QWidget>
#include <functional>

class QPainter;

class InstAppearanceSelector : public QWidget
{
    Q_OBJECT
public:
    explicit InstAppearanceSelector(QWidget* parent = nullptr);

    Inst::Appearance appearance() const { return m_appearance; }
    // Shows the choice without telling the owner.
    void setAppearance(Inst::Appearance appearance);
    // Called with the new choice when the user picks another segment.
    void setPickHandler(std::function<void(Inst::Appearance)> handler);

    // The segment (0 system, 1 light, 2 dark) under a point, or -1.
    int segmentAt(QPoint point) const;
    QRectF segmentRect(int segment) const;
    static QString segmentName(int segment);
    // Chooses a segment as a click on it does, telling the owner.
    void pick(int segment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintIcon(QPainter& p, int segment, const QRectF& box, const QColor& ink) const;

    Inst::Appearance m_appearance = Inst::Appearance::System;
    std::function<void(Inst::Appearance)> m_handler;
    int m_pressed = -1;
    int m_hover = -1;
};
