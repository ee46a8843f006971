#pragma once

#include "support/testdatabase.h"
#include "ui/messagebox.h"

#include <QWidget>

class QLineEdit;
class QAbstractButton;

using namespace Qt::StringLiterals;

namespace orv::test {

// Answers every message box while it lives; records their texts.
class Answers final {
public:
    Answers();
    ~Answers();
    MessageAnswerer &operator*() { return *m_answerer; }
    MessageAnswerer *operator->() { return m_answerer; }

private:
    MessageAnswerer *m_answerer;
};

// Typing as a user would: replaces the edit's text through its validator (input-method commit,
// so Chinese text works) and reports whether the edit took it whole.
bool typeText(QLineEdit *edit, const QString &text);
// Clicks a button with the mouse.
void click(QAbstractButton *button);

// Finds a child widget by object name; a missing one fails the test.
template <typename T> T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        fail(u"no child "_s + name, __FILE__, __LINE__);
    return found;
}

} // namespace orv::test
