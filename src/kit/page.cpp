#include "page.h"

#include "data/connection.h"
#include "form.h"
#include "messagebox.h"
#include "reportlist.h"
#include "unit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>

#include <algorithm>

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
    // A unit that collided with another desk's runs again as a whole: what the run before
    // reported and logged goes, and so do the rows it appended to the lists.
    QHash<ReportList *, int> rowsBefore;
    if (m_connection.isServer()) {
        for (ReportList *list : findChildren<ReportList *>())
            rowsBefore.insert(list, list->rowCount());
    }
    bool again = false;
    const auto run = [&] {
        m_successes.clear();
        m_announcements.clear();
        m_logEntries.clear();
        if (std::exchange(again, true)) {
            for (auto kept = rowsBefore.cbegin(); kept != rowsBefore.cend(); ++kept) {
                for (int row = kept.key()->rowCount(); row > kept.value(); --row)
                    kept.key()->removeRow(row - 1);
            }
        }
        handler();
    };
    const bool completed = runUnit(this, m_connection, run, [this] { writeLog(); });
    m_logEntries.clear();
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

void Page::record(const oplog::Entry &entry)
{
    if (entry.action.isEmpty())
        return;
    m_logEntries.append(entry);
    if (!m_connection.inUnit()) {
        runUnit(
            this, m_connection, [] {}, [this] { writeLog(); });
        m_logEntries.clear();
    }
}

void Page::writeLog()
{
    for (oplog::Entry entry : std::exchange(m_logEntries, {})) {
        entry.operatorName = m_operatorName;
        oplog::append(m_connection, entry);
    }
}

void Page::announce(const QString &sentence, const QString &filePath)
{
    if (m_connection.inUnit())
        m_announcements.append({sentence, filePath});
    else
        Q_EMIT announced(sentence, filePath);
}

void Page::setEnterButton(std::initializer_list<QWidget *> fields, QAbstractButton *button)
{
    for (QWidget *field : fields)
        m_enterButtons.insert(field, button);
    m_enterButtons.insert(button, button);
}

void Page::setGrowth(QWidget *control, Growth growth)
{
    m_placed.erase(std::remove_if(m_placed.begin(), m_placed.end(),
                                  [control](const Placed &placed) { return placed.control == control; }),
                   m_placed.end());
    m_placed.append({control, control->geometry(), growth});
}

void Page::setGrowth(const QRect &area, Growth growth)
{
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool placed = std::any_of(m_placed.cbegin(), m_placed.cend(),
                                        [child](const Placed &known) { return known.control == child; });
        if (!placed && !child->isWindow() && area.contains(child->geometry()))
            m_placed.append({child, child->geometry(), growth});
    }
}

void Page::placeControls()
{
    const int extraWidth = std::max(0, width() - minimumWidth());
    const int extraHeight = std::max(0, height() - minimumHeight());
    for (const Placed &placed : std::as_const(m_placed)) {
        if (!placed.control)
            continue;
        const Growth &g = placed.growth;
        placed.control->setGeometry(
            placed.base.x() + qRound(g.x * extraWidth), placed.base.y() + qRound(g.y * extraHeight),
            placed.base.width() + qRound(g.width * extraWidth), placed.base.height() + qRound(g.height * extraHeight));
    }
}

void Page::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void Page::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Someone walking the tabs with the arrow keys keeps the focus on the tabs.
    if (m_firstField && !qobject_cast<QTabBar *>(QApplication::focusWidget()))
        m_firstField->setFocus(Qt::OtherFocusReason);
}

void Page::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The field may be a part of a composite control (a combo's own edit, say).
        for (QWidget *at = QApplication::focusWidget(); at && at != this; at = at->parentWidget()) {
            if (QAbstractButton *button = m_enterButtons.value(at)) {
                if (button->isEnabled())
                    button->click();
                break;
            }
        }
        Q_FALLTHROUGH();
    case Qt::Key_Escape:
        // A page never closes or hides itself from the keyboard.
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace orv
