#include "messagebox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace orv {

MessageAnswerer::MessageAnswerer(QObject *application) : QObject(application)
{
    setObjectName(QStringLiteral("orvMessageAnswerer"));
}

MessageAnswer MessageAnswerer::answer(const QString &text)
{
    m_texts.append(text);
    return m_answers.isEmpty() ? MessageAnswer::Ok : m_answers.takeFirst();
}

MessageAnswer showMessage(QWidget *parent, const QString &text, MessageButtons buttons)
{
    if (auto *app = QCoreApplication::instance()) {
        if (auto *answerer = app->findChild<MessageAnswerer *>(QString(), Qt::FindDirectChildrenOnly))
            return answerer->answer(text);
    }

    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Orvane"));
    box.setTextFormat(Qt::PlainText);
    // The text exactly as given, so a screen reader and a copy read what the program says. The box
    // widens to its longest line (up to most of the screen) before it wraps at all.
    box.setText(text);
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setIcon(QMessageBox::Question);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setIcon(QMessageBox::Warning);
    }
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(buttons == MessageButtons::OkCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

} // namespace orv
