#pragma once
// A combo box whose closed face is painted in the token colours with a hairline frame.

#include <QComboBox>

class InstCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit InstCombo(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
