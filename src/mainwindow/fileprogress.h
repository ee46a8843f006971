#pragma once

#include "data/filecopy.h"
#include "data/filejob.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QString>

class QWidget;

namespace orv {

// Runs the job while the window goes on painting, and returns how it ended. A short job ends as a
// short pause would; a longer one shows a progress dialog with 取消, which stops it. Nothing typed
// or clicked reaches the window meanwhile. `measured`: the job reports a copy's pages, else the
// dialog only shows that it is busy.
FileJob::End runWithProgress(QWidget *parent, const QString &label, FileJob &job, bool measured);

// For work that must stay on the window's thread (a restore through the program's connection):
// its steps keep the window painted and show a progress dialog, without 取消, once the work takes
// a while. Nothing typed or clicked reaches the window meanwhile.
class PaintedWait final {
public:
    PaintedWait(QWidget *parent, const QString &label);
    PaintedWait(const PaintedWait &) = delete;
    PaintedWait &operator=(const PaintedWait &) = delete;

    const filecopy::Steps *steps() const { return &m_steps; }

private:
    void paint();

    QProgressDialog m_dialog;
    QElapsedTimer m_since;
    QElapsedTimer m_painted;
    filecopy::Steps m_steps;
};

} // namespace orv
