// The main window as a user sees it at the font in use: the icon, whole texts on the buttons and
// date pickers, and a size that fits a 1024 x 768 screen. ctest runs it at 100% and at 150% scaling.
#include "mainwindow/aboutdialog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/pagetabs.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>

#include <optional>

using namespace orv;

class TestLayout : public QObject {
    Q_OBJECT

private:
    test::TestDatabase m_db;
    std::optional<MainWindow> m_window;

private Q_SLOTS:
    void initTestCase()
    {
        // Dates are shown in the program's own locale.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        m_window.emplace(m_db.connection());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*m_window));
        // Each page shown once, as a user would, so its controls are laid out at their sizes.
        for (int i = m_window->tabSheet()->count() - 1; i >= 0; --i) {
            m_window->tabSheet()->setCurrentIndex(i);
            QApplication::processEvents();
        }
    }

    void theWindowShowsTheIcon() { QVERIFY(!m_window->windowIcon().isNull()); }

    void theMainWindowFitsA1024By768Screen()
    {
        // Room is left for the window manager's title bar.
        QVERIFY2(m_window->width() <= 1024 && m_window->height() <= 728,
                 qPrintable(QStringLiteral("%1 x %2").arg(m_window->width()).arg(m_window->height())));
        for (int i = 0; i < m_window->tabSheet()->count(); ++i) {
            QWidget *page = m_window->tabSheet()->widget(i);
            QVERIFY(m_window->tabSheet()->geometry().contains(page->mapTo(&*m_window, page->rect().bottomRight())));
        }
    }

    // Every button, the about box's too, shows its text whole.
    void buttonTextsFit()
    {
        QStringList cut;
        AboutDialog about(&*m_window);
        for (QPushButton *button : m_window->findChildren<QPushButton *>() + about.findChildren<QPushButton *>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
            int needed = 0;
            for (const QString &line : button->text().split(QLatin1Char('\n')))
                needed = qMax(needed, button->fontMetrics().horizontalAdvance(QString(line).remove(QLatin1Char('&'))));
            if (needed > room)
                cut.append(QStringLiteral("%1 needs %2, has %3").arg(button->text()).arg(needed).arg(room));
        }
        QCOMPARE(cut, QStringList());
    }

    // The widest date of the format (two-digit month and day) fits the edit, less its side margins.
    void datesFitTheirPickers()
    {
        for (QDateEdit *picker : m_window->findChildren<QDateEdit *>()) {
            const QString date = picker->locale().toString(QDate(2026, 12, 28), picker->displayFormat());
            const int room = picker->findChild<QLineEdit *>()->contentsRect().width() - 4;
            QVERIFY2(picker->fontMetrics().horizontalAdvance(date) <= room, qPrintable(picker->objectName()));
        }
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
