#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;

namespace orv {

class Connection;

// What every tab page shares: the connection it works on, the shared colours, buttons that run
// their handler as one unit, and Enter and Esc doing nothing.
class Page : public QWidget {
    Q_OBJECT
public:
    // Tells the main window what the last action did, in a sentence of our own, and the file it
    // wrote if any. Inside a unit it waits for the commit, like a success box.
    void announce(const QString &sentence, const QString &filePath = QString());

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

    void keyPressEvent(QKeyEvent *event) override;

    Connection &m_connection;

private:
    struct Announcement {
        QString sentence;
        QString filePath;
    };

    QStringList m_successes;
    QList<Announcement> m_announcements;
};

} // namespace orv
