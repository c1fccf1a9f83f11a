// Controls for dialogs built with layouts, each named by its dialog id so
// tests and help can find it.
#pragma once

#include <QBoxLayout>
#include <QPushButton>
#include <QString>

#include <initializer_list>

inline QPushButton* add_button(QWidget* parent, const char* id, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(id));
    button->setAutoDefault(false);
    return button;
}

// A row of buttons at the bottom right of `layout`.
inline void add_button_row(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    layout->addLayout(row);
}
