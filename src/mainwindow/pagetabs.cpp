#include "pagetabs.h"

#include <QScrollArea>

namespace orv {

PageTabs::PageTabs(QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("tabSheet"));
    setDocumentMode(false);
}

bool PageTabs::AddPage(const QString &title, QWidget *page)
{
    if (count() >= kMaxPages)
        return false;
    // A screen smaller than the page (a small one, or a large scale) scrolls it rather than cuts it.
    auto *scroller = new QScrollArea;
    scroller->setObjectName(page->objectName() + QStringLiteral("Scroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(page);
    addTab(scroller, title);
    return true;
}

void PageTabs::ShowPages()
{
    setCurrentIndex(0);
}

} // namespace orv
