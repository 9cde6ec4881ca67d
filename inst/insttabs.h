#pragma once
// Pill tabs over a stack of pages.

#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QStackedWidget;

class InstTabs : public QWidget
{
    Q_OBJECT
public:
    explicit InstTabs(QWidget* parent = nullptr);

    // Returns the new tab's index; the first tab added becomes the current one.
    int addTab(QWidget* page, const QString& label);
    int currentIndex() const;
    void setCurrentIndex(int index);
    int count() const;
    QPushButton* tabButton(int index) const;

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_bar;
    QHBoxLayout* m_barRow;
    QButtonGroup* m_group;
    QStackedWidget* m_stack;
};
