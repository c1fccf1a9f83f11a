// Small builders for the processing dialogs: every control is named by its
// dialog id so that tests and the help can find it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QString>

#include "app/host.h"

namespace processing_ui {

inline QPushButton* button(QWidget* parent, const char* id, const QString& text, const QRect& where)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(id));
    b->setGeometry(where);
    b->setAutoDefault(false);
    return b;
}

// The edits of these dialogs show the value the scroll bars set; nothing
// typed into them is ever read, so they cannot be typed into.
inline QLineEdit* edit(QWidget* parent, const char* id, const QString& text, const QRect& where)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(id));
    e->setGeometry(where);
    e->setReadOnly(true);
    return e;
}

inline QScrollBar* hscroll(QWidget* parent, const char* id, const QRect& where)
{
    auto* s = new QScrollBar(Qt::Horizontal, parent);
    s->setObjectName(QString::fromLatin1(id));
    s->setGeometry(where);
    return s;
}

inline QLabel* label(QWidget* parent, const QString& text, const QRect& where)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(where);
    l->setWordWrap(true);
    return l;
}

// OK (1) accepts, Cancel (2) rejects, Help (9) shows `help` titled `title`.
// A button is left out when its text is empty.
inline void standard_buttons(
    QDialog* dialog, int y, const QString& help, const QString& title, bool with_cancel = true)
{
    auto* ok = button(dialog, "1", QStringLiteral("OK"), QRect(10, y, 80, 28));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    int x = 100;
    if (with_cancel) {
        auto* cancel = button(dialog, "2", QStringLiteral("Cancel"), QRect(x, y, 80, 28));
        QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
        x += 90;
    }
    if (!help.isEmpty()) {
        auto* h = button(dialog, "9", QStringLiteral("Help"), QRect(x, y, 80, 28));
        QObject::connect(h, &QPushButton::clicked, dialog,
            [help, title] { host().message_box(help.toStdString(), title.toStdString()); });
    }
}

// Names `control` after its label for screen readers and test robots.
inline void name_after(QWidget* control, const QString& label)
{
    control->setAccessibleName(label);
}

// For the scroll bars where only the arrows act: the thumb cannot be dragged
// and the track and the wheel do nothing, so the thumb always shows the value
// held. The arrows work as before.
void arrows_only_input(QScrollBar* bar);

} // namespace processing_ui
