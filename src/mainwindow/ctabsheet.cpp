#include "ctabsheet.h"

#include <QTabBar>

namespace orv {

CTabSheet::CTabSheet(QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("tabSheet"));
    setDocumentMode(false);
    // Keyboard and mouse choices both show the chosen page.
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0)
            m_nCurPage = index;
    });
}

bool CTabSheet::AddPage(const QString &title, QWidget *page)
{
    if (m_nPageCount >= kMaxPages)
        return false;
    m_apszTitles[m_nPageCount] = title;
    m_apPages[m_nPageCount] = page;
    ++m_nPageCount;
    return true;
}

void CTabSheet::ShowPages()
{
    for (int i = count(); i < m_nPageCount; ++i)
        addTab(m_apPages[i], m_apszTitles[i]);
    setCurrentIndex(0);
    m_nCurPage = 0;
}

} // namespace orv
