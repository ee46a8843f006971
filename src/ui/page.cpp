#include "page.h"

#include "unit.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace orv {

Page::Page(Connection &connection, QWidget *parent) : QWidget(parent), m_connection(connection)
{
    setAutoFillBackground(true);
}

void Page::onClick(QAbstractButton *button, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] { runHandler(handler); });
}

bool Page::runHandler(const std::function<void()> &handler)
{
    return runUnit(this, m_connection, handler);
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
