#pragma once
// A checkable row of name, value and note; rows share column widths so their columns line up.

#include <QAbstractButton>

class InstCheckRow : public QAbstractButton
{
    Q_OBJECT
public:
    InstCheckRow(const QString& name, const QString& value, const QString& note,
                 QWidget* parent = nullptr);

    QString name() const { return m_name; }
    QString value() const { return m_value; }
    QString note() const { return m_note; }
    // The widths this row's own name and value need.
    int nameWidth() const;
    int valueWidth() const;
    // Widths below the row's own needs are raised to them, so no text is cut.
    void setColumns(int nameWidth, int valueWidth);
    int nameColumn() const { return qMax(m_nameColumn, nameWidth()); }
    int valueColumn() const { return qMax(m_valueColumn, valueWidth()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    QString m_value;
    QString m_note;
    QFont m_nameFont;
    QFont m_valueFont;
    QFont m_noteFont;
    int m_nameColumn = 0;
    int m_valueColumn = 0;
};
