#pragma once

#include "filecopy.h"
#include "securekey.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QThread;

namespace orv {

class Connection;

// Long work on the database file (a copy, a check) on a thread of its own, so the window goes on
// meanwhile. The program's connection belongs to the window's thread: the work gets a connection
// of its own to the same file, opened with the same key, on its thread. It hears a stop through
// its steps and reports through them; what it raised waits for the window's thread to show it.
class FileJob final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileJob)
public:
    using Work = std::function<void(Connection &own, const SecureKey &key, const filecopy::Steps &steps)>;
    enum class End { Running, Done, Stopped, Failed };

    // `key` keys the file (null: the program's password); the job keeps a copy of its own. With
    // no path the work gets a connection that is not open, for work on other files alone.
    FileJob(QString databasePath, const SecureKey &key, Work work, QObject *parent = nullptr);
    // Stops the work and waits for its thread.
    ~FileJob() override;

    void start();
    // Asks the work to stop at its next step. A job stopped before its end was taken counts as
    // stopped even when its work got to the end: what it made is not to be used.
    void stop() noexcept;
    bool stopRequested() const noexcept { return m_stop.load(); }
    // Blocks until the work has ended and `finished` has been sent; at once when it never started.
    void wait();
    End end() const noexcept { return m_end; }
    // Raises what the work raised, on the caller's thread; nothing when it raised nothing.
    void rethrow() const;

Q_SIGNALS:
    // From the work's thread (queued to receivers on the window's): a copy's pages done of its
    // total, sent when the share done has grown by a thousandth.
    void progressed(qint64 done, qint64 total);
    // On the job's own thread, once, when the work has ended.
    void finished();

private:
    void run();
    void settle();

    QString m_path;
    SecureKey m_key;
    Work m_work;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<QThread> m_thread;
    // Written by the work's thread before it ends; read on the job's after it has.
    std::exception_ptr m_failure;
    End m_end = End::Running;
};

} // namespace orv
