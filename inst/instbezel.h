#pragma once
// A framed group on the section face: a caption row over the rows its owner adds.

#include <QWidget>

class QLabel;
class QVBoxLayout;

class InstBezel : public QWidget
{
    Q_OBJECT
public:
    explicit InstBezel(const QString& caption, QWidget* parent = nullptr);

    // The column the owner fills; the caption is its first row until setRowOnly().
    QVBoxLayout* column() const { return m_column; }
    QLabel* captionLabel() const { return m_caption; }
    void setRowOnly();
    bool isActive() const { return m_active; }
    void setActive(bool active);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_column;
    QLabel* m_caption;
    bool m_active = false;
};
