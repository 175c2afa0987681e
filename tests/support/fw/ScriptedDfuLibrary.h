#pragma once

#include "platform/IKestrinDfuLibrary.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace TestSupport {

// One callback of the library: (type, message id, text), after a pause on the library's thread.
struct DfuEvent {
    uint32_t type = 0;
    uint32_t msgId = 0;
    QByteArray msg;
    int delayMs = 0;
};

// The chip library as a script. The test keeps this object and hands library() to the updater;
// the library's callbacks come from a thread of the script's own, which runs from a successful
// initialize() to close(), as the real library's do. After startDataTransfer the transfer script
// plays, after applyNewFirmware the apply script; post() adds a callback at any time while open.
// Every call is recorded, and the image is read at the moment its path is handed over.
class ScriptedDfuLibrary {
public:
    ScriptedDfuLibrary();
    ~ScriptedDfuLibrary();
    ScriptedDfuLibrary(const ScriptedDfuLibrary&) = delete;
    ScriptedDfuLibrary& operator=(const ScriptedDfuLibrary&) = delete;

    // A library handle for one updater; it must not outlive this object.
    std::unique_ptr<Platform::IKestrinDfuLibrary> library();

    void setAvailable(bool available);
    void setInitializeResult(int result);
    void setTransferScript(QList<DfuEvent> events);
    void setApplyScript(QList<DfuEvent> events);
    // Queues a callback on the library's thread; dropped unless the library is open.
    void post(const DfuEvent& event);

    // "initialize 0x1234:0x5678", "setTargetDevice 1", "setDfuAgentFilepath <path>", ...
    QStringList calls() const;
    QString imagePath() const;
    // The image as the library found it when it got the path; "<unreadable>" when it could not.
    QByteArray imageSeen() const;
    bool isOpen() const;
    int callbacksRun() const;
    // False once a callback ran on a thread other than the library's own.
    bool callbacksOnLibraryThread() const;

private:
    class Handle;
    friend class Handle;

    void record(const QString& call);
    void open();
    void close();
    void enqueue(const QList<DfuEvent>& events);
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<DfuEvent> m_queue;
    std::thread m_thread;
    std::thread::id m_threadId;
    bool m_stop = false;
    bool m_open = false;
    bool m_available = true;
    int m_initializeResult = 1;
    QList<DfuEvent> m_transferScript;
    QList<DfuEvent> m_applyScript;
    Platform::IKestrinDfuLibrary::ResultCallback m_callback = nullptr;
    QStringList m_calls;
    QString m_imagePath;
    QByteArray m_imageSeen;
    int m_callbacksRun = 0;
    bool m_onOwnThread = true;
};

} // namespace TestSupport
