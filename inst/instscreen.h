#pragma once
// The canvas-faced screen that holds a window's live figures.

#include <QFrame>

class InstScreen : public QFrame
{
    Q_OBJECT
public:
    explicit InstScreen(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
