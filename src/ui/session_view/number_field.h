#pragma once
// The number fields of the session's pages (group, channel): what the loop
// takes from them, and what it puts back when the text is no use.
#include <QLineEdit>
#include <QString>

// The number in a page's number field. A field being typed into is left
// alone, so a half-typed number is never used; text that is no number is
// put back, and a number out of range gives way to the previous one.
inline int ReadNumberField(QLineEdit* edit, bool focused, int current, int min, int max) {
    const int previous = current;
    if (!focused) {
        bool ok = false;
        const int typed = edit->text().trimmed().toInt(&ok, 10);
        if (ok)
            current = typed;
        else
            edit->setText(QString::number(current));
    }
    if (current < min || current > max) {
        current = previous;
        edit->setText(QString::number(previous));
    }
    return current;
}
