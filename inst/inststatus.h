#pragma once
// A status line as two chips: the state, and after " - " its detail.

#include "inst/instchip.h"

#include <QWidget>

class InstStatus : public QWidget
{
    Q_OBJECT
public:
    explicit InstStatus(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setTone(InstChip::Tone tone);
    void setDetailTone(InstChip::Tone tone);
    InstChip* detailChip() const { return m_detail; }

private:
    InstChip* m_main;
    InstChip* m_detail;
    QString m_text;
};
