#include "mainwindow/helpdialog.h"
#include "pagedriver.h"

#include <QTextBrowser>
#include <QTimer>

using namespace orv;

class TestHelp final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // F1 opens the guide shipped inside the program, not the about box.
    void f1OpensTheGuide()
    {
        test::Window w(QString(), true);
        QString title;
        QString guide;
        QTimer::singleShot(50, this, [&] {
            auto *help = qobject_cast<HelpDialog *>(QApplication::activeModalWidget());
            QVERIFY(help);
            title = help->windowTitle();
            guide = help->browser()->toPlainText();
            help->reject();
        });
        QTest::keyClick(w.window.get(), Qt::Key_F1);
        QCOMPARE(title, u"使用说明"_s);
        for (const QString &topic : {u"每月的工作顺序"_s, u"费用标准"_s, u"备份"_s, u"批量导入"_s, u"导出"_s})
            QVERIFY2(guide.contains(topic), qPrintable(topic));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
