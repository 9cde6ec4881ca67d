#pragma once
// A window's title strip: status dot, title, notices, info text and the appearance selector.

#include <QWidget>

class InstAppearanceSelector;
class InstDot;
class QHBoxLayout;
class QLabel;

class InstModuleHeader : public QWidget
{
    Q_OBJECT
public:
    explicit InstModuleHeader(const QString& title, QWidget* parent = nullptr);

    void setInfo(const QString& info);
    // Inserted before the info text, with 6 px after it.
    void addNotice(QWidget* notice);
    InstDot* dot() const { return m_dot; }
    InstAppearanceSelector* appearanceSelector() const { return m_selector; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_row;
    InstDot* m_dot;
    QLabel* m_title;
    QLabel* m_info;
    InstAppearanceSelector* m_selector;
};
