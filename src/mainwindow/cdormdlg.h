#pragma once

#include "operations/batch.h"

#include <QWidget>

class QAction;
class QMenu;

namespace orv {

class Connection;
class CTabSheet;
class CDialog1;
class CDialog2;
class CDialog3;
class CDialog4;

// The main window: title, icon, the four pages under their tabs, a footer and the about box.
class CDormDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDormDlg)
public:
    explicit CDormDlg(Connection &connection, QWidget *parent = nullptr);
    ~CDormDlg() override;

    CTabSheet *tabSheet() const { return m_tabSheet; }
    CDialog1 *accommodationPage() const { return m_page1; }
    CDialog2 *roomsPage() const { return m_page2; }
    CDialog3 *queriesPage() const { return m_page3; }
    CDialog4 *feesPage() const { return m_page4; }

    // The data menu opened by the 数据 button beside the about button.
    QMenu *dataMenu() const { return m_dataMenu; }
    // The data menu offers the batches whose operations are given.
    void setBatchOperations(ops::BatchOperations operations);

public Q_SLOTS:
    void showAbout();
    // Checks the file and the rules between the tables, read-only, and lists the findings.
    void checkDatabase();

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QMenu *createDataMenu();

    Connection &m_connection;
    QMenu *m_dataMenu = nullptr;
    QAction *m_checkInBatch = nullptr;
    QAction *m_readingBatch = nullptr;
    ops::BatchOperations m_batchOperations;
    CTabSheet *m_tabSheet;
    CDialog1 *m_page1;
    CDialog2 *m_page2;
    CDialog3 *m_page3;
    CDialog4 *m_page4;
};

} // namespace orv
