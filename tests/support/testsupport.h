#pragma once

#include "kit/messagebox.h"
#include "support/testdatabase.h"

#include <QDate>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

class QLineEdit;
class QAbstractButton;

using namespace Qt::StringLiterals;

namespace orv {
class ReportList;
}

namespace orv::test {

// Answers every message box while it lives; records their texts.
class Answers final {
public:
    Answers();
    MessageAnswerer *operator->() { return m_answerer.get(); }

private:
    std::unique_ptr<MessageAnswerer> m_answerer;
};

// Typing as a user would: replaces the edit's text through its validator (input-method commit,
// so Chinese text works) and reports whether the edit took it whole.
bool typeText(QLineEdit *edit, const QString &text);
void click(QAbstractButton *button);
// Signs in through a sign-in dialog; the name is given only where the dialog lets it be chosen.
void signInWith(QWidget *dialog, const QString &name, const QString &password);

// The pages' forms filled and sent. Text is set straight into the fields, past their validators,
// so that a handler meets whatever a field could ever hold.
void setField(QWidget *page, const QString &name, const QString &text);
void press(QWidget *page, const QString &button);
// Name, sex, department, staff number, mobile, room.
void checkIn(QWidget *page, const QStringList &form);
void checkOut(QWidget *page, const QString &staffNo, const QString &room);
// Room, phone, phone port, net port, capacity, water, power, sex.
void fillRoom(QWidget *page, const QStringList &form);
void setStandard(QWidget *page, const QString &water, const QString &power, const QString &rent);
void settleUtility(QWidget *page, QDate on, const QString &room, const QString &water, const QString &power);
void settleRent(QWidget *page, QDate on, const QString &staffNo);

// A list's rows as it shows them, and one column of them.
QList<QStringList> shownRows(const ReportList *list);
QStringList shownColumn(const ReportList *list, int column);

// The permission bits of a path, or -1 when there is nothing there.
int modeOf(const QString &path);

// A folder of its own as the current directory while it lives, as the program runs in its data
// folder; the previous one comes back however the test ends.
class InFolder final {
public:
    InFolder();
    ~InFolder();
    InFolder(const InFolder &) = delete;
    InFolder &operator=(const InFolder &) = delete;
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Finds a child widget by object name; a missing one fails the test.
template <typename T> T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        fail(u"no child "_s + name, __FILE__, __LINE__);
    return found;
}

} // namespace orv::test
