#include "page.h"

#include "data/connection.h"
#include "form.h"
#include "messagebox.h"
#include "reportlist.h"
#include "unit.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include <utility>

namespace orv {

Page::Page(Connection &connection, QWidget *parent) : QWidget(parent), m_connection(connection)
{
    setAutoFillBackground(true);
    // Set before the page builds its controls, which inherit it and are laid out in its units.
    setFont(pageFont());
}

void Page::onClick(QAbstractButton *button, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] { runHandler(handler); });
}

bool Page::runHandler(const std::function<void()> &handler)
{
    // A handler run from inside another joins its unit; what both report waits for that unit's
    // commit, in the order reported.
    if (m_connection.inUnit())
        return runUnit(this, m_connection, handler);
    m_successes.clear();
    m_announcements.clear();
    const bool completed = runUnit(this, m_connection, handler);
    // The rows a handler listed are shown before anything else happens on the page.
    for (ReportList *list : findChildren<ReportList *>())
        list->publishRows();
    const QStringList successes = std::exchange(m_successes, {});
    const QList<Announcement> announcements = std::exchange(m_announcements, {});
    if (completed) {
        // The status line is already up behind the box.
        for (const Announcement &announcement : announcements)
            Q_EMIT announced(announcement.sentence, announcement.filePath);
        for (const QString &text : successes)
            showSuccess(this, text);
    }
    return completed;
}

void Page::reportSuccess(const QString &text)
{
    if (m_connection.inUnit())
        m_successes.append(text);
    else
        showSuccess(this, text);
}

void Page::announce(const QString &sentence, const QString &filePath)
{
    if (m_connection.inUnit())
        m_announcements.append({sentence, filePath});
    else
        Q_EMIT announced(sentence, filePath);
}

void Page::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // A page never closes or hides itself from the keyboard.
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace orv
