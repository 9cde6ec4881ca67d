#pragma once
// A status line as two chips: the state, and after " - " its detail.

#include "inst/instchip.h"

#include <QWidget>

class InstStatus : public QWidget
{
    Q_OBJECT
public:
    explicit InstStatus(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setTone(InstChip::Tone tone);
    void setDetailTone(InstChip::Tone tone);

    InstChip* mainChip() const { return m_main; }
    InstChip* detailChip() const { return m_detail; }

private:
    QString m_text;
    InstChip* m_main;
    InstChip* m_detail;
};
