#include "data/storeerror.h"
#include "kit/messagebox.h"
#include "kit/page.h"
#include "support/testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

using namespace orv;
using orv::test::Answers;
using orv::test::TestDatabase;

namespace {
// A page whose handler announces and reports, then fails when told to.
class AnnouncingPage final : public Page {
public:
    explicit AnnouncingPage(Connection &connection) : Page(connection, nullptr) {}
    bool run(bool fail)
    {
        return runHandler([this, fail] {
            announce(QStringLiteral("已添加房间 101"));
            reportSuccess(QStringLiteral("成功！"));
            if (fail)
                throw StoreError(StoreCode::NoCurrentRecord, QStringLiteral("磁盘已满"));
        });
    }
};
} // namespace

class TestFeedback final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void boxesWearTheirIcon_data()
    {
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("success") << true << u"成功迁出！"_s << QMessageBox::Information;
        QTest::newRow("refusal") << false << u"请输入房间号！"_s << QMessageBox::Warning;
    }
    // The real box: its icon, its text untouched, and wide enough for the window manager to draw
    // "Orvane" beside the caption buttons.
    void boxesWearTheirIcon()
    {
        QFETCH(bool, success);
        QFETCH(QString, message);
        QFETCH(QMessageBox::Icon, icon);
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        QString shown;
        int width = 0;
        QTimer::singleShot(50, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownIcon = box->icon();
            shown = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
            width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
        if (success)
            showSuccess(nullptr, message);
        else
            showMessage(nullptr, message);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shown, message);
        QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        titleFont.setBold(true);
        // Three caption buttons and the window icon take at least this much beside the title.
        QVERIFY2(width >= QFontMetrics(titleFont).horizontalAdvance(u"Orvane"_s) + 120,
                 qPrintable(QString::number(width)));
    }

    // Tests read each answered box's icon beside its text.
    void answeredBoxesRecordTheirIcon()
    {
        Answers answers;
        showMessage(nullptr, u"请输入房间号！"_s);
        showMessage(nullptr, u"确定吗？"_s, MessageButtons::OkCancel);
        showSuccess(nullptr, u"成功迁出！"_s);
        QCOMPARE(answers->icons(),
                 (QList<MessageIcon>{MessageIcon::Warning, MessageIcon::Question, MessageIcon::Information}));
    }

    // What a handler announces reaches the status line only once its writes are committed.
    void announcementsWaitForTheCommit()
    {
        TestDatabase db;
        Answers answers;
        AnnouncingPage page(db.connection());
        QSignalSpy spy(&page, &Page::announced);
        QVERIFY(!page.run(true));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(answers->icons(), QList<MessageIcon>{MessageIcon::Warning});
        answers->clear();
        QVERIFY(page.run(false));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), u"已添加房间 101"_s);
        QCOMPARE(answers->icons(), QList<MessageIcon>{MessageIcon::Information});
    }
};

QTEST_MAIN(TestFeedback)
#include "test_feedback.moc"
