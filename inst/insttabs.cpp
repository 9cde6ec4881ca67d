#include "inst/insttabs.h"

#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

InstTabs::InstTabs(QWidget* parent)
    : QWidget(parent), m_bar(new QWidget(this)), m_barRow(new QHBoxLayout(m_bar)),
      m_group(new QButtonGroup(this)), m_stack(new QStackedWidget(this))
{
    m_barRow->setContentsMargins(3, 3, 3, 3);
    m_barRow->setSpacing(2);
    m_group->setExclusive(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_bar, 0, Qt::AlignLeft);
    column->addWidget(m_stack, 1);
    connect(m_group, &QButtonGroup::idClicked, this, &InstTabs::setCurrentIndex);
}

int InstTabs::addTab(QWidget* page, const QString& label)
{
    const int index = m_stack->addWidget(page);
    auto* button = new QPushButton(label, m_bar);
    button->setProperty("inst", QStringLiteral("tab"));
    button->setFont(Inst::mono(10.5, QFont::DemiBold, 1.2));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    button->setCheckable(true);
    m_group->addButton(button, index);
    m_barRow->addWidget(button);
    if (index == m_stack->currentIndex()) button->setChecked(true);
    return index;
}

int InstTabs::currentIndex() const
{
    return m_stack->currentIndex();
}

int InstTabs::count() const
{
    return m_stack->count();
}

QPushButton* InstTabs::tabButton(int index) const
{
    return qobject_cast<QPushButton*>(m_group->button(index));
}

void InstTabs::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_stack->count()) return;
    if (QPushButton* button = tabButton(index)) button->setChecked(true);
    if (index == m_stack->currentIndex()) return;
    m_stack->setCurrentIndex(index);
    emit currentChanged(index);
}

void InstTabs::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(m_bar->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(t.bezel, 1));
    p.setBrush(t.deck);
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
}
