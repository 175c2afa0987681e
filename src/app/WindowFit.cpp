#include "app/WindowFit.h"

#include "core/GlobalLogger.h"

#include <QScreen>
#include <QWindow>

#include <algorithm>

bool FitWindowToScreen(QWindow* window)
{
    QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        return false;
    const QRect available = screen->availableGeometry();
    if (available.isEmpty())
        return false;
    const QSize minimum = window->minimumSize();
    const QSize size = window->size();
    const QSize fittedMinimum = minimum.boundedTo(available.size());
    const QSize fittedSize = size.boundedTo(available.size());
    if (fittedMinimum == minimum && fittedSize == size)
        return false;
    GlobalLogger::Instance()->message(
        QtInfoMsg, "The window (%dx%d, at least %dx%d) does not fit the screen's %dx%d; it is made to fit.",
        size.width(), size.height(), minimum.width(), minimum.height(), available.width(), available.height());
    window->setMinimumSize(fittedMinimum);
    window->resize(fittedSize);
    // Kept on the screen, title bar first.
    const QRect frame(window->position(), fittedSize);
    if (!available.contains(frame)) {
        window->setPosition(
            std::max(available.left(), std::min(frame.left(), available.right() - fittedSize.width() + 1)),
            std::max(available.top(), std::min(frame.top(), available.bottom() - fittedSize.height() + 1)));
    }
    return true;
}
