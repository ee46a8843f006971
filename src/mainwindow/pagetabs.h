#pragma once

#include <QTabWidget>

namespace orv {

// The tab control that holds the pages: one page shown at a time, chosen by mouse or keyboard.
class PageTabs final : public QTabWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageTabs)
public:
    static constexpr int kMaxPages = 16;

    explicit PageTabs(QWidget *parent = nullptr);

    // Puts a page under a tab of its title, in a scroller of its own (the tab's widget); false when
    // 16 pages are there already.
    bool AddPage(const QString &title, QWidget *page);
    // Shows the first page.
    void ShowPages();
};

} // namespace orv
