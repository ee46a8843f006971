#pragma once

#include "logrecorder.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <initializer_list>

class QAbstractButton;

namespace orv {

class Connection;

// What every tab page shares: the connection it works on, the shared colours, buttons that run
// their handler as one unit, Enter running the button of the form it is pressed in, and Esc doing
// nothing. A page is laid out at its minimum size; what it gains beyond that goes to the controls
// given a share of it, mostly its lists.
class Page : public QWidget, public LogRecorder {
    Q_OBJECT
public:
    // Tells the main window what the last action did, in a sentence of our own, and the file it
    // wrote if any. Inside a unit it waits for the commit, like a success box.
    void announce(const QString &sentence, const QString &filePath = QString());

    // The operator the log names for what the page writes; empty on a file without operators.
    void setOperatorName(const QString &name) { m_operatorName = name; }
    const QString &operatorName() const noexcept { return m_operatorName; }
    // Logs a write under the page's operator: inside a unit with the unit's other writes, just
    // before its commit; outside one (a file exported) in a unit of its own. An entry without an
    // action (a read, a refusal) is not logged.
    void record(const oplog::Entry &entry) override;

Q_SIGNALS:
    void announced(const QString &sentence, const QString &filePath);

protected:
    Page(Connection &connection, QWidget *parent);

    // Clicking the button runs the handler as one unit (see runUnit).
    void onClick(QAbstractButton *button, std::function<void()> handler);
    // Runs a handler as one unit now (for handlers not started by a button).
    bool runHandler(const std::function<void()> &handler);

    // Tells the user a handler succeeded. Inside a unit the box waits until the unit's writes are
    // committed, so a failure at the very end is never preceded by a success message.
    void reportSuccess(const QString &text);

    // Enter in any of the fields (or on the button itself) clicks the button.
    void setEnterButton(std::initializer_list<QWidget *> fields, QAbstractButton *button);
    // The field that takes the focus whenever the page is shown.
    void setFirstField(QWidget *field) { m_firstField = field; }

    // What share of the page's growth beyond its minimum size a control takes: its left edge and
    // top move by `x` and `y` of the extra width and height, its size grows by `width` and `height`.
    struct Growth {
        qreal x = 0;
        qreal y = 0;
        qreal width = 0;
        qreal height = 0;
    };
    void setGrowth(QWidget *control, Growth growth);
    // The same for every child lying wholly inside `area` (page pixels) that has no share yet.
    void setGrowth(const QRect &area, Growth growth);

    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    Connection &m_connection;

private:
    struct Announcement {
        QString sentence;
        QString filePath;
    };
    struct Placed {
        QPointer<QWidget> control;
        QRect base;
        Growth growth;
    };
    void placeControls();
    // Appends the unit's log entries under the page's operator; inside the unit, before its commit.
    void writeLog();

    QStringList m_successes;
    QHash<QWidget *, QAbstractButton *> m_enterButtons;
    QPointer<QWidget> m_firstField;
    QList<Placed> m_placed;
    QList<Announcement> m_announcements;
    QList<oplog::Entry> m_logEntries;
    QString m_operatorName;
};

} // namespace orv
