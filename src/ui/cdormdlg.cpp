#include "cdormdlg.h"

#include "caboutdlg.h"
#include "colours.h"
#include "ctabsheet.h"
#include "databackupdialogs.h"
#include "pages/accommodation/cdialog1.h"
#include "pages/fees/cdialog4.h"
#include "pages/queries/cdialog3.h"
#include "pages/rooms/cdialog2.h"
#include "reportlist.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>

namespace orv {

namespace {
// The window is laid out in units of its 9-point dialog font.
QRect units(int x, int y, int w, int h)
{
    return QRect(x * 7 / 4, y * 2, w * 7 / 4, h * 2);
}

// "数据(&D)" left of the about button: copies of the database and putting one back.
void addDataButton(QWidget *window, Connection &connection, const QRect &aboutPlace)
{
    auto *button = new QPushButton(QStringLiteral("数据(&D)"), window);
    button->setObjectName(QStringLiteral("dataButton"));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    auto *menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("dataMenu"));
    QAction *backupAction = menu->addAction(QStringLiteral("备份数据库…"));
    backupAction->setObjectName(QStringLiteral("backupAction"));
    QObject::connect(backupAction, &QAction::triggered, window,
                     [window, &connection] { backupDatabaseInteractively(window, connection); });
    QAction *restoreAction = menu->addAction(QStringLiteral("恢复数据库…"));
    restoreAction->setObjectName(QStringLiteral("restoreAction"));
    QObject::connect(restoreAction, &QAction::triggered, window, [window, &connection] {
        // Every list showed rows of the replaced data.
        if (restoreDatabaseInteractively(window, connection)) {
            for (ReportList *list : window->findChildren<ReportList *>())
                list->clearRows();
        }
    });
    button->setMenu(menu);
    const int width = button->sizeHint().width();
    button->setGeometry(aboutPlace.left() - 8 - width, aboutPlace.top(), width, aboutPlace.height());
}
} // namespace

CDormDlg::CDormDlg(Connection &connection, QWidget *parent)
    : QWidget(parent), m_tabSheet(new CTabSheet(this)), m_page1(new CDialog1(connection)),
      m_page2(new CDialog2(connection)), m_page3(new CDialog3(connection)), m_page4(new CDialog4(connection))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Lumeo宿舍管理系统V2.8"));
    setWindowIcon(QIcon(QStringLiteral(":/orvane/orvane.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // The pages keep their own sizes; the tab control is made large enough to hold them whole.
    m_tabSheet->AddPage(QStringLiteral("【住宿管理】"), m_page1);
    m_tabSheet->AddPage(QStringLiteral("【房间设置】"), m_page2);
    m_tabSheet->AddPage(QStringLiteral("【信息查询】"), m_page3);
    m_tabSheet->AddPage(QStringLiteral("【费用管理】"), m_page4);
    m_tabSheet->ShowPages();

    QSize pageSize;
    for (QWidget *page : {static_cast<QWidget *>(m_page1), static_cast<QWidget *>(m_page2),
                          static_cast<QWidget *>(m_page3), static_cast<QWidget *>(m_page4)})
        pageSize = pageSize.expandedTo(page->minimumSize()).expandedTo(page->sizeHint());
    const QRect tabPlace = units(17, 11, 415, 250);
    const int tabBarHeight = m_tabSheet->tabBar()->sizeHint().height();
    const QSize tabSize = QSize(tabPlace.width(), tabPlace.height())
                              .expandedTo(QSize(pageSize.width() + 8, pageSize.height() + tabBarHeight + 8));
    m_tabSheet->setGeometry(QRect(tabPlace.topLeft(), tabSize));

    const int footerTop = m_tabSheet->geometry().bottom() + 8;
    auto *footer = new QLabel(QStringLiteral("Lumeo宿舍管理系统 · 一个管理员，一个数据库文件"), this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setGeometry(units(50, 0, 295, 0).x(), footerTop, units(0, 0, 295, 0).width(), 20);

    // Linux window managers offer no system menu to extend, so the about item sits in the window.
    auto *about = new QPushButton(QStringLiteral("关于 Orvane(&A)..."), this);
    about->setObjectName(QStringLiteral("aboutButton"));
    about->setAutoDefault(false);
    about->setFocusPolicy(Qt::TabFocus);
    const int aboutWidth = about->sizeHint().width();
    about->setGeometry(m_tabSheet->geometry().right() - aboutWidth, footerTop - 2, aboutWidth, 24);
    connect(about, &QPushButton::clicked, this, &CDormDlg::showAbout);
    addDataButton(this, connection, about->geometry());
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CDormDlg::showAbout);

    setFixedSize(m_tabSheet->geometry().right() + units(17, 0, 0, 0).x(), footerTop + 32);

    applySharedColours(this);
    for (Page *page : {static_cast<Page *>(m_page1), static_cast<Page *>(m_page2), static_cast<Page *>(m_page3),
                       static_cast<Page *>(m_page4)})
        page->m_bPosLocked = true;
}

CDormDlg::~CDormDlg() = default;

void CDormDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CDormDlg::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
}

void CDormDlg::keyPressEvent(QKeyEvent *event)
{
    // Enter and Esc never close the program by accident; the close box does.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orv
