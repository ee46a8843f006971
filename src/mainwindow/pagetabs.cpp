#include "pagetabs.h"

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
    addTab(page, title);
    return true;
}

void PageTabs::ShowPages()
{
    setCurrentIndex(0);
}

} // namespace orv
