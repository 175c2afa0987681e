#pragma once

#include <QObject>
#include <QString>

class QCoreApplication;
class QSharedMemory;
class QTimer;

namespace Platform {

// The operating-system services of the application object, and the channel through which a second
// start asks the running instance to show its window.
//
// The channel is a shared memory segment holding one 32-bit flag: a second start writes 1 and
// exits once the running instance, while listening, has checked it (every 100 ms), cleared it and
// emitted sigOpenWindow(). An instance that is ending no longer listens. Every access goes
// through the segment's lock.
class AppExtensions : public QObject {
    Q_OBJECT

public:
    // The key of the application's show-window segment, for the user running the program: every
    // user has a channel of their own (the key becomes a file in the shared temporary folder).
    static const QString& ExtensionsKey();
    // The same for any user (its numeric id).
    static QString ExtensionsKeyFor(uint userId);
    static constexpr int PollIntervalMs = 100;

    // Attaches to the segment of `key`, or creates it with no request pending.
    explicit AppExtensions(const QString& key = ExtensionsKey(), QObject* parent = nullptr);
    ~AppExtensions() override;

    // Whether the user interface should animate; read once when the object is made.
    virtual bool areAnimationsEnabled() const = 0;
    // A long activity (a firmware update) keeps the system awake; calls nest and count.
    virtual void beginActivity() = 0;
    virtual void endActivity() = 0;
    // Installs the platform's hooks on the application's native windows, once.
    virtual void decorateNativeWindow(QCoreApplication* app) = 0;

    // Asks the running instance to show its window; false when no segment could be reached.
    bool showRunningApp();
    // After showRunningApp: waits up to `timeoutMs` for the running instance to take the request.
    // False when it did not (it is ending and no longer listens); the request is then withdrawn,
    // so that it is not left for whichever instance listens next.
    bool waitForRequestTaken(int timeoutMs);
    // Starts or stops checking for requests.
    void listen(bool on);
    bool isListening() const;
    // One check: a pending request is cleared and announced once.
    void readMemory();
    // The flag itself, or null without a usable segment; callers hold the segment's lock.
    qint32* accessMemoryData();

signals:
    void sigOpenWindow();

private:
    QSharedMemory* m_memory; // child
    QTimer* m_timer;         // child
};

} // namespace Platform
