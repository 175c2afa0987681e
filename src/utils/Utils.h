#pragma once

#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Utils {

namespace Raw {
// Reverses the order of `length` bytes in place.
void ReverseEndianImpl(uint8_t* data, size_t length);
} // namespace Raw

// One shared empty string, returned where a lookup finds nothing.
const QString& GetDummyQString();

// "success" or "fail", for log lines.
const char* GetStrSuccessFail(bool success);

// True when the UTF-8 form has as many bytes as the string has UTF-16 code units.
bool IsAsciiOnly(const QString& text);

// The three-line banner at the top of every log file.
QString GetApplicationInfo();

// `path` with `suffix` (for example ".lvreq") appended unless it already ends in it, compared
// without regard to case; an empty path or a folder path (ending in "/") is returned as it is.
// File dialogs hand back the typed name as it is, and a file without its extension would not be
// listed again by a dialog filtered on that extension.
QString WithFileSuffix(const QString& path, const QString& suffix);

// The local path of what a file dialog accepted, `folder` being the folder the dialog showed.
// Dialogs hand a chosen file over as a file: URL, but Qt's own dialog hands a typed name over as a
// URL without a scheme: an absolute path, or a name relative to its folder. Empty when the result
// names no local file (another scheme, nothing chosen, or a relative name with no local folder).
QString LocalPathFromDialog(const QUrl& selected, const QUrl& folder);

// Marks the calling thread as the main thread; IsMainThread() is false on every other thread.
void SetUpMainThread();
bool IsMainThread();

// Runs the stored function when it goes out of scope.
class ScopeGuard {
public:
    explicit ScopeGuard(std::function<void()> onExit)
        : m_onExit(std::move(onExit))
    {
    }
    ~ScopeGuard()
    {
        if (m_onExit)
            m_onExit();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

protected:
    std::function<void()> m_onExit;
};

// A scope guard whose clean-up can be called off, for example once an operation succeeded.
class ScopeGuardCancelable : public ScopeGuard {
public:
    using ScopeGuard::ScopeGuard;
    void cancel() { m_onExit = nullptr; }
};

} // namespace Utils
