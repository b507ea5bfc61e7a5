#pragma once

// A program a test kills cannot remove its single-instance System V segment and semaphore: they
// would stay until the machine restarts, and since their keys come from the inode of a key file, a
// later run's fresh key file can land on a leftover object. Tests that kill the program remove
// them, given the temporary directory (TMPDIR) the program ran with.

#include <QDir>
#include <QFile>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

inline void removeSystemVObjectsOfKilledProgram(const QString& programTempDir)
{
    const QDir dir(programTempDir);
    for (const QString& name : dir.entryList({QStringLiteral("qipc_*")}, QDir::Files)) {
        // The keys Qt derives for QSharedMemory and QSystemSemaphore from their key files.
        const key_t key = ::ftok(QFile::encodeName(dir.filePath(name)).constData(), 'Q');
        if (key == -1)
            continue;
        const int segment = ::shmget(key, 0, 0);
        if (segment != -1)
            ::shmctl(segment, IPC_RMID, nullptr);
        const int semaphore = ::semget(key, 0, 0);
        if (semaphore != -1)
            ::semctl(semaphore, 0, IPC_RMID);
    }
}
