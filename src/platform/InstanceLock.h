#pragma once

#include <QString>

namespace corvane {

// One running Corvane per Lodgebook folder. The lock is an exclusive advisory lock (flock) on a
// small file in the program folder, held for the life of the process; the system releases it
// when the process ends in any way, so a crashed copy never leaves it stuck.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Acquired, HeldByAnother, Failed };
    // Tries to take the lock of `folder` without waiting.
    Result acquire(const QString& folder);
    void release();

    static QString lockFileName() { return QStringLiteral("Corvane.lock"); }

private:
    int fd_ = -1;
};

}  // namespace corvane
