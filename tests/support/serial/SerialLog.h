#pragma once

#include "core/GlobalLogger.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

// Sends the process-wide log to a file of its own for one test and reads it back.
class SerialLog {
public:
    SerialLog() { restart(); }

    // Starts a new, empty log file.
    void restart()
    {
        m_path = m_dir.filePath(QStringLiteral("serial-%1.log").arg(++m_count));
        GlobalLogger::Instance()->initFile(m_path);
    }

    // What was logged since the last restart (the file is flushed by moving on to the next one).
    QByteArray text()
    {
        const QString path = m_path;
        restart();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_count = 0;
};
