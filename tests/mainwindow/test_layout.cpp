// The main window as a user sees it at the font in use: the icon, whole texts in the controls
// and a size that fits a 1024 x 768 screen. ctest runs it at 100% and
// at 150% scaling.
#include "mainwindow/caboutdlg.h"
#include "mainwindow/cdormdlg.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionButton>

using namespace orv;
using orv::test::TestDatabase;

namespace {

// Width the text needs in the widget's font.
int textWidth(const QWidget *widget, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, widget->fontMetrics().horizontalAdvance(QString(line).remove(QLatin1Char('&'))));
    return widest;
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private:
    TestDatabase *m_db = nullptr;
    CDormDlg *m_window = nullptr;

    QList<QWidget *> pages() const
    {
        QList<QWidget *> all;
        for (int i = 0; i < m_window->tabSheet()->count(); ++i)
            all.append(m_window->tabSheet()->widget(i));
        return all;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Dates are shown in the program's own locale.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        m_db = new TestDatabase;
        m_window = new CDormDlg(m_db->connection());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        // Each page shown once, as a user would, so its controls are laid out at their sizes.
        for (int i = m_window->tabSheet()->count() - 1; i >= 0; --i) {
            m_window->tabSheet()->setCurrentIndex(i);
            QApplication::processEvents();
        }
    }
    void cleanupTestCase()
    {
        delete m_window;
        delete m_db;
    }

    void theWindowAndTheAboutBoxShowTheIcon()
    {
        QVERIFY(!m_window->windowIcon().isNull());
        CAboutDlg about(m_window);
        const QLabel *icon = about.findChild<QLabel *>(QStringLiteral("aboutIcon"));
        QVERIFY(icon);
        QVERIFY(!icon->pixmap().isNull());
    }

    void theMainWindowFitsA1024By768Screen()
    {
        // Room is left for the window manager's title bar.
        QVERIFY2(m_window->width() <= 1024 && m_window->height() <= 728,
                 qPrintable(QStringLiteral("%1 x %2").arg(m_window->width()).arg(m_window->height())));
        for (QWidget *page : pages())
            QVERIFY(m_window->tabSheet()->geometry().contains(page->mapTo(m_window, page->rect().bottomRight())));
    }

    // Buttons (the about box's too), date pickers and list boxes show their texts whole.
    void textsFitTheirControls()
    {
        QStringList cut;
        auto fits = [&cut](const QWidget *widget, const QString &text, int room) {
            if (textWidth(widget, text) > room)
                cut.append(QStringLiteral("%1 \"%2\" needs %3, has %4")
                               .arg(widget->objectName(), text)
                               .arg(textWidth(widget, text))
                               .arg(room));
        };
        CAboutDlg about(m_window);
        for (QPushButton *button : m_window->findChildren<QPushButton *>() + about.findChildren<QPushButton *>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            fits(button, button->text(),
                 button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width());
        }
        const QList<QDateEdit *> pickers = m_window->findChildren<QDateEdit *>();
        QCOMPARE(pickers.size(), 3);
        for (QDateEdit *picker : pickers) {
            const auto *edit = picker->findChild<QLineEdit *>();
            QVERIFY(edit);
            // The widest date of the format (two-digit month and day), less the edit's side margins.
            fits(picker, picker->locale().toString(QDate(2026, 12, 28), picker->displayFormat()),
                 edit->contentsRect().width() - 4);
        }
        const QList<QListWidget *> boxes = m_window->findChildren<QListWidget *>();
        QCOMPARE(boxes.size(), 1);
        for (QListWidget *box : boxes) {
            QVERIFY(box->count() > 0);
            const QRect first = box->visualItemRect(box->item(0));
            QVERIFY2(first.top() >= 0 && first.bottom() < box->viewport()->height(), qPrintable(box->objectName()));
            for (int i = 0; i < box->count(); ++i)
                fits(box, box->item(i)->text(), box->viewport()->width() - 4);
        }
        QCOMPARE(cut, QStringList());
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
