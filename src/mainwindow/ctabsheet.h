#pragma once

#include <QTabWidget>

namespace orv {

// The tab control that holds the pages: one page shown at a time, chosen by mouse or keyboard.
class CTabSheet final : public QTabWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTabSheet)
public:
    static constexpr int kMaxPages = 16;

    explicit CTabSheet(QWidget *parent = nullptr);

    // Registers a page under its title; false when 16 pages are there already.
    bool AddPage(const QString &title, QWidget *page);
    // Puts the registered pages under their tabs and shows the first.
    void ShowPages();

    int m_nPageCount = 0;
    int m_nCurPage = 0;

private:
    QString m_apszTitles[kMaxPages];
    QWidget *m_apPages[kMaxPages] = {};
};

} // namespace orv
