#include "kit/messagebox.h"
#include "support/testsupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

using namespace orv;

class TestFeedback final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void realBoxesShowExactlyTheMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("success") << u"成功迁出！"_s << MessageButtons::Ok << true << QMessageBox::Information;
        QTest::newRow("refusal, line break")
            << u"第一行\n第二行"_s << MessageButtons::Ok << false << QMessageBox::Warning;
        QTest::newRow("question, prices") << u"你设置的水费为：1.50元/吨  电费为：0.60元/度  房租费为：120元/人吗？"_s
                                          << MessageButtons::OkCancel << false << QMessageBox::Question;
    }
    // What the box shows, what a screen reader reads from it and what a copy takes are the message
    // itself, under the program's name, with the sign of its kind; the box is wide enough for the
    // window manager to draw "Orvane" beside the caption buttons.
    void realBoxesShowExactlyTheMessage()
    {
        QFETCH(QString, message);
        QFETCH(MessageButtons, buttons);
        QFETCH(bool, success);
        QFETCH(QMessageBox::Icon, icon);
        const bool ask = buttons == MessageButtons::OkCancel;
        QStringList shown;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        int width = 0;
        QTimer::singleShot(50, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            shown = QStringList{box->windowTitle(), label->text(),
                                QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name)};
            shownIcon = box->icon();
            width = box->width();
            box->button(ask ? QMessageBox::Cancel : QMessageBox::Ok)->click();
        });
        if (success)
            showSuccess(nullptr, message);
        else
            QCOMPARE(showMessage(nullptr, message, buttons), ask ? MessageAnswer::Cancel : MessageAnswer::Ok);
        QCOMPARE(shown, (QStringList{u"Orvane"_s, message, message}));
        QCOMPARE(shownIcon, icon);
        QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        titleFont.setBold(true);
        // Three caption buttons and the window icon take at least this much beside the title.
        QVERIFY2(width >= QFontMetrics(titleFont).horizontalAdvance(u"Orvane"_s) + 120,
                 qPrintable(QString::number(width)));
    }
};

QTEST_MAIN(TestFeedback)
#include "test_feedback.moc"
