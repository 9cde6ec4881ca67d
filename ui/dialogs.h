#pragma once
// Every modal box and input dialog of the windows goes through here, so that tests can read
// what a user would see and answer it as a user would.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace Dialogs {

// What a box shows; buttons as "Text (Role)" in the order added, "&" mnemonics removed.
struct Seen
{
    QString title;
    QString text;
    QString informative;
    QStringList buttons;
    QString defaultButton; // empty: none chosen by the caller
    QString escapeButton;  // the button Escape presses; empty: Escape does nothing
    QString input;         // an input dialog's starting text
    bool plain = true;     // every label of the box shows its text as it is, never as markup
};

// The test's answer: the text of the button to press, or "Escape"; an input's typed text.
struct Answer
{
    QString button;
    QString text;
};

// Tests only: answers the next box instead of showing it; answers are used once, in order.
void answerNext(std::function<Answer(const Seen&)> answerer);
bool hasPendingAnswers();

// Shows the box modally, its texts as they are, and returns the button pressed (null when
// closed without one).
QAbstractButton* exec(QMessageBox& box);

// A box with one OK button.
void inform(QWidget* parent, QMessageBox::Icon icon, const QString& text,
            const QString& informative = QString());

// A one-line text input; false when cancelled.
bool getText(QWidget* parent, const QString& title, const QString& label, QString* text);

// The platform's save panel, starting at suggested (a path), for files of filter
// ("CSV files (*.csv)"); the chosen path, or empty when cancelled. A test sees the title, the
// filter as the text and suggested as the input, and answers "Save" with the path as its text
// (empty: the suggested one) or "Cancel".
QString getSaveFileName(QWidget* parent, const QString& title, const QString& suggested,
                        const QString& filter);

} // namespace Dialogs
