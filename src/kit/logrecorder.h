#pragma once

#include "data/oplog.h"

namespace orv {

// What a window that writes to the operation log offers the kit's list actions, which log the
// files they write without knowing the window.
class LogRecorder {
public:
    virtual ~LogRecorder() = default;
    // Logs under the window's operator; an entry without an action is not logged.
    virtual void record(const oplog::Entry &entry) = 0;

protected:
    LogRecorder() = default;
    LogRecorder(const LogRecorder &) = default;
    LogRecorder &operator=(const LogRecorder &) = default;
};

} // namespace orv
