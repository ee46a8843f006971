#include "testsupport.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

namespace orv::test {

Answers::Answers() : m_answerer(new MessageAnswerer(QCoreApplication::instance())) {}

Answers::~Answers()
{
    delete m_answerer;
}

bool typeText(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
    return edit->text() == text;
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace orv::test
