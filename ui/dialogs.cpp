#include "ui/dialogs.h"

#include "ui/plaintext.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QList>
#include <QPushButton>

namespace Dialogs {
namespace {

QList<std::function<Answer(const Seen&)>>& pending()
{
    static QList<std::function<Answer(const Seen&)>> answers;
    return answers;
}

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QString roleName(QMessageBox::ButtonRole role)
{
    switch (role) {
    case QMessageBox::AcceptRole:
        return QStringLiteral("Accept");
    case QMessageBox::RejectRole:
        return QStringLiteral("Reject");
    case QMessageBox::DestructiveRole:
        return QStringLiteral("Destructive");
    case QMessageBox::ActionRole:
        return QStringLiteral("Action");
    case QMessageBox::YesRole:
        return QStringLiteral("Yes");
    case QMessageBox::NoRole:
        return QStringLiteral("No");
    default:
        return QStringLiteral("Other");
    }
}

// The box's kind as its icon shows it, for those who hear the box.
QString iconWords(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Question:
        return QStringLiteral("Question");
    case QMessageBox::Warning:
        return QStringLiteral("Warning");
    case QMessageBox::Critical:
        return QStringLiteral("Error");
    default:
        return QStringLiteral("Information");
    }
}

// The button Escape presses, as QMessageBox picks it when the caller named none.
QAbstractButton* escapeOf(const QMessageBox& box)
{
    if (box.escapeButton()) return box.escapeButton();
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) return cancel;
    const QList<QAbstractButton*> all = box.buttons();
    for (QAbstractButton* b : all)
        if (box.buttonRole(b) == QMessageBox::RejectRole) return b;
    return all.size() == 1 ? all.first() : nullptr;
}

} // namespace

void answerNext(std::function<Answer(const Seen&)> answerer)
{
    pending().append(std::move(answerer));
}

bool hasPendingAnswers()
{
    return !pending().isEmpty();
}

QAbstractButton* exec(QMessageBox& box)
{
    // Boxes name servers and quote the tool's errors: texts from outside.
    PlainText::box(box);
    for (QLabel* l : box.findChildren<QLabel*>())
        if (l->text().isEmpty() && !l->pixmap().isNull())
            l->setAccessibleName(iconWords(box.icon()));
    if (pending().isEmpty()) {
        box.exec();
        return box.clickedButton();
    }
    Seen seen{box.windowTitle(), box.text(), box.informativeText(), {}, {}, {}, {}, true};
    for (const QLabel* l : box.findChildren<QLabel*>())
        seen.plain = seen.plain && (l->text().isEmpty() || l->textFormat() == Qt::PlainText);
    for (QAbstractButton* b : box.buttons())
        seen.buttons << QStringLiteral("%1 (%2)").arg(plain(b->text()),
                                                      roleName(box.buttonRole(b)));
    if (box.defaultButton()) seen.defaultButton = plain(box.defaultButton()->text());
    QAbstractButton* escape = escapeOf(box);
    if (escape) seen.escapeButton = plain(escape->text());
    const Answer answer = pending().takeFirst()(seen);
    if (answer.button == QLatin1String("Escape")) return escape;
    for (QAbstractButton* b : box.buttons())
        if (plain(b->text()) == answer.button) return b;
    return nullptr;
}

void inform(QWidget* parent, QMessageBox::Icon icon, const QString& text,
            const QString& informative)
{
    QMessageBox box(icon, QStringLiteral("Tessavel Veridir"), text, QMessageBox::Ok, parent);
    box.setInformativeText(informative);
    exec(box);
}

bool getText(QWidget* parent, const QString& title, const QString& label, QString* text)
{
    if (pending().isEmpty()) {
        bool ok = false;
        *text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, *text, &ok);
        return ok;
    }
    const Seen seen{title, label,    {},    {"OK (Accept)", "Cancel (Reject)"},
                    "OK",  "Cancel", *text, true};
    const Answer answer = pending().takeFirst()(seen);
    if (answer.button != QLatin1String("OK")) return false;
    *text = answer.text;
    return true;
}

QString getSaveFileName(QWidget* parent, const QString& title, const QString& suggested,
                        const QString& filter)
{
    if (pending().isEmpty()) return QFileDialog::getSaveFileName(parent, title, suggested, filter);
    const Seen seen{title,  filter,   {},        {"Save (Accept)", "Cancel (Reject)"},
                    "Save", "Cancel", suggested, true};
    const Answer answer = pending().takeFirst()(seen);
    if (answer.button != QLatin1String("Save")) return QString();
    return answer.text.isEmpty() ? suggested : answer.text;
}

} // namespace Dialogs
