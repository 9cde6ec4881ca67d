#pragma once
// A framed section with a deck-coloured header strip (title and header widgets) over its content.

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

class InstSection : public QWidget
{
    Q_OBJECT
public:
    explicit InstSection(const QString& title, QWidget* parent = nullptr);

    // Header widgets line up on the right of the strip, in the order added.
    void addHeaderWidget(QWidget* widget);
    QVBoxLayout* content() const { return m_content; }
    QLabel* titleLabel() const { return m_title; }
    QWidget* header() const { return m_header; }
    bool isActive() const { return m_active; }
    void setActive(bool active);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_header;
    QHBoxLayout* m_headerRow;
    QLabel* m_title;
    QVBoxLayout* m_content;
    bool m_active = false;
};
