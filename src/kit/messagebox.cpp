#include "messagebox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QRegularExpression>

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

QString keepNumbersWithUnits(const QString &text)
{
    static const QRegularExpression numberThenUnit(QStringLiteral("(?<=\\d)(?=\\p{Han})"));
    static const QRegularExpression unitSlash(QStringLiteral("(?<=\\p{Han})/(?=\\p{Han})"));
    const QString joiner(QChar(0x2060));
    QString shown = text;
    shown.replace(numberThenUnit, joiner);
    shown.replace(unitSlash, joiner + QLatin1Char('/') + joiner);
    return shown;
}

MessageAnswer showMessage(QWidget *parent, const QString &text, MessageButtons buttons)
{
    if (auto *app = QCoreApplication::instance()) {
        if (auto *answerer = app->findChild<MessageAnswerer *>(QString(), Qt::FindDirectChildrenOnly))
            return answerer->answer(text);
    }

    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Orvane"));
    box.setText(keepNumbersWithUnits(text));
    box.setTextFormat(Qt::PlainText);
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
