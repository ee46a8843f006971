#pragma once

#include "data/connection.h"
#include "kit/messagebox.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QLineEdit;
class QAbstractButton;
class QWidget;

namespace orv::test {

// A new database with the eight tables in a temporary folder, opened like the program opens its
// own (the folder is the current directory while the fixture lives).
class TestDatabase final {
public:
    TestDatabase();
    ~TestDatabase();

    Connection &connection() { return *m_connection; }
    QString directory() const { return m_dir.path(); }

    // Runs statements straight on the engine, for setting up rows.
    void exec(const QString &sql);
    // Every row of a query, each value as text: NULL as "NULL", reals with 7 significant digits.
    QList<QStringList> rows(const QString &sql);
    int count(const QString &table);

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<Connection> m_connection;
};

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
// Finds a child widget by object name, failing the test when it is missing.
template <typename T> T *child(QWidget *parent, const QString &name);

} // namespace orv::test

#include <QtTest>

template <typename T> T *orv::test::child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}
