#include "filejob.h"

#include "connection.h"

#include <QThread>

#include <utility>

namespace orv {

FileJob::FileJob(QString databasePath, const SecureKey &key, Work work, QObject *parent)
    : QObject(parent), m_path(std::move(databasePath)), m_key(key.copy()), m_work(std::move(work))
{
}

FileJob::~FileJob()
{
    stop();
    if (m_thread)
        m_thread->wait();
}

void FileJob::start()
{
    if (m_thread)
        return;
    m_thread.reset(QThread::create([this] { run(); }));
    // Sent from the ending thread, received on this object's.
    connect(m_thread.get(), &QThread::finished, this, &FileJob::settle);
    m_thread->start();
}

void FileJob::stop() noexcept
{
    m_stop.store(true);
}

void FileJob::wait()
{
    if (!m_thread)
        return;
    m_thread->wait();
    settle();
}

void FileJob::rethrow() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void FileJob::run()
{
    filecopy::Steps steps;
    steps.goOn = [this] { return !m_stop.load(); };
    qint64 reported = -1;
    steps.report = [this, &reported](qint64 done, qint64 total) {
        const qint64 share = total > 0 ? done * 1000 / total : 0;
        if (share == reported)
            return;
        reported = share;
        Q_EMIT progressed(done, total);
    };
    try {
        filecopy::goOnOrStop(&steps);
        Connection own;
        if (!m_path.isEmpty() && m_key.isNull())
            own.openFile(m_path, programPassword());
        else if (!m_path.isEmpty())
            own.openFile(m_path, m_key);
        const filecopy::EngineSteps asked(own.handle(), &steps);
        m_work(own, m_key, steps);
    } catch (...) {
        m_failure = std::current_exception();
    }
}

void FileJob::settle()
{
    if (m_end != End::Running)
        return;
    // The thread has returned from the work, so what it wrote is seen here.
    m_thread->wait();
    m_end = m_stop.load() ? End::Stopped : m_failure ? End::Failed : End::Done;
    Q_EMIT finished();
}

} // namespace orv
