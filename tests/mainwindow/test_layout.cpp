// The main window as a user sees it at the font in use: the icon, whole texts in the controls,
// a name for every control, and a size that fits a 1024 x 768 screen. ctest runs it at 100% and
// at 150% scaling.
#include "mainwindow/caboutdlg.h"
#include "mainwindow/cdormdlg.h"
#include "mainwindow/ctabsheet.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionButton>

using namespace orv;
using orv::test::TestDatabase;

namespace {

QString describe(const QWidget *widget, const QString &text)
{
    return QStringLiteral("%1 \"%2\"").arg(widget->objectName(), text);
}

// Width the text needs in the widget's font.
int textWidth(const QWidget *widget, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, widget->fontMetrics().horizontalAdvance(QString(line).remove(QLatin1Char('&'))));
    return widest;
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
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
        for (int size : {16, 32, 48, 256})
            QVERIFY2(m_window->windowIcon().availableSizes().contains(QSize(size, size)),
                     qPrintable(QString::number(size)));
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

    void buttonTextsFitTheirButtons()
    {
        QStringList cut;
        QList<QPushButton *> buttons;
        for (QWidget *page : pages())
            buttons += page->findChildren<QPushButton *>();
        CAboutDlg about(m_window);
        buttons += about.findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
            if (textWidth(button, button->text()) > room)
                cut.append(describe(button, button->text()));
        }
        QCOMPARE(cut, QStringList());
    }

    void datePickersShowTheWholeDate()
    {
        int pickers = 0;
        for (QWidget *page : pages()) {
            for (QDateEdit *picker : page->findChildren<QDateEdit *>()) {
                ++pickers;
                const auto *edit = picker->findChild<QLineEdit *>();
                QVERIFY(edit);
                // The widest date of the format: two-digit month and day.
                const QString text = picker->locale().toString(QDate(2026, 12, 28), picker->displayFormat());
                const int room = edit->contentsRect().width() - 4; // the edit's own side margins
                QVERIFY2(textWidth(edit, text) <= room,
                         qPrintable(describe(picker, text) +
                                    QStringLiteral(" needs %1, has %2").arg(textWidth(edit, text)).arg(room)));
            }
        }
        QCOMPARE(pickers, 3);
    }

    void listBoxesShowTheirEntriesWhole()
    {
        int boxes = 0;
        for (QWidget *page : pages()) {
            for (QListWidget *box : page->findChildren<QListWidget *>()) {
                ++boxes;
                QVERIFY(box->count() > 0);
                const QRect first = box->visualItemRect(box->item(0));
                QVERIFY2(first.top() >= 0 && first.bottom() < box->viewport()->height(),
                         qPrintable(describe(box, box->item(0)->text())));
                for (int i = 0; i < box->count(); ++i) {
                    const QString text = box->item(i)->text();
                    QVERIFY2(textWidth(box, text) <= box->viewport()->width() - 4, qPrintable(describe(box, text)));
                }
            }
        }
        QCOMPARE(boxes, 1);
    }

    void everyControlHasAnAccessibleName()
    {
        QStringList unnamed;
        int controls = 0;
        for (QWidget *page : pages()) {
            for (QWidget *widget : page->findChildren<QWidget *>()) {
                const bool control = qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget) ||
                                     qobject_cast<QAbstractSpinBox *>(widget) ||
                                     qobject_cast<QAbstractButton *>(widget) ||
                                     qobject_cast<QAbstractItemView *>(widget);
                // Item views' own inner widgets (cell editors, header buttons) are theirs to name.
                // Pop-ups (a combo's drop-down list) are windows of their own, named by their owner.
                if (!control || widget->window() != m_window ||
                    qobject_cast<QAbstractItemView *>(widget->parentWidget()) || widget->inherits("QHeaderView"))
                    continue;
                // A spin box's inner edit is part of the spin box, which carries the name.
                if (qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
                    continue;
                ++controls;
                if (accessibleName(widget).trimmed().isEmpty())
                    unnamed.append(widget->objectName().isEmpty()
                                       ? QString::fromLatin1(widget->metaObject()->className())
                                       : widget->objectName());
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
        QVERIFY(controls >= 50);
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
