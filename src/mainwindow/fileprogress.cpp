#include "fileprogress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace orv {

namespace {

// A job shorter than this shows no dialog.
constexpr int kShowAfterMilliseconds = 400;
constexpr int kPaintMilliseconds = 40;
// The dialog's bar counts thousandths of the copy.
constexpr int kScale = 1000;

void prepare(QProgressDialog &dialog)
{
    dialog.setWindowTitle(QStringLiteral("Orvane"));
    dialog.setWindowModality(Qt::WindowModal);
    // Shown and closed here, not by the value reaching the end.
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(kShowAfterMilliseconds);
}

} // namespace

FileJob::End runWithProgress(QWidget *parent, const QString &label, FileJob &job, bool measured)
{
    QProgressDialog dialog(label, QStringLiteral("取消"), 0, measured ? kScale : 0, parent);
    prepare(dialog);
    QEventLoop loop;
    QObject::connect(&job, &FileJob::finished, &loop, &QEventLoop::quit);
    QObject::connect(&job, &FileJob::progressed, &dialog, [&dialog](qint64 done, qint64 total) {
        if (total > 0 && done <= total)
            dialog.setValue(static_cast<int>(done * kScale / total));
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&job, &loop] {
        job.stop();
        loop.quit();
    });
    QTimer showing;
    showing.setSingleShot(true);
    QObject::connect(&showing, &QTimer::timeout, &loop, &QEventLoop::quit);

    job.start();
    // Until the dialog shows, the window is kept from input as it would be by the dialog.
    showing.start(kShowAfterMilliseconds);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (job.end() == FileJob::End::Running && !job.stopRequested()) {
        dialog.show();
        loop.exec();
    }
    // After 取消 the dialog is gone; the work ends at its next step.
    dialog.hide();
    if (job.end() == FileJob::End::Running)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.end();
}

PaintedWait::PaintedWait(QWidget *parent, const QString &label) : m_dialog(label, QString(), 0, 0, parent)
{
    prepare(m_dialog);
    m_since.start();
    m_painted.start();
    m_steps.report = [this](qint64, qint64) { paint(); };
    m_steps.goOn = [this] {
        paint();
        return true;
    };
}

void PaintedWait::paint()
{
    if (m_painted.elapsed() < kPaintMilliseconds)
        return;
    m_painted.restart();
    if (!m_dialog.isVisible() && m_since.elapsed() >= kShowAfterMilliseconds)
        m_dialog.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace orv
