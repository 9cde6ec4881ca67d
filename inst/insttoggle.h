#pragma once
// An on/off switch with its label: bezel track when off, accent track when on.

#include <QAbstractButton>

class InstToggle : public QAbstractButton
{
    Q_OBJECT
public:
    explicit InstToggle(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
