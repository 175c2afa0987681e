#include "app/IncubationPacer.h"

#include <QQmlEngine>
#include <QTimerEvent>

IncubationPacer::IncubationPacer(QObject* parent)
    : QObject(parent)
{
}

void IncubationPacer::install(QQmlEngine& engine)
{
    engine.setIncubationController(this);
    // The engine tells a new controller nothing of the objects that are already being built.
    if (incubatingObjectCount() > 0)
        schedule();
}

void IncubationPacer::hold()
{
    m_held = true;
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void IncubationPacer::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (incubatingObjectCount() > 0)
        schedule();
}

void IncubationPacer::setContentShown()
{
    m_contentShown = true;
}

void IncubationPacer::incubatingObjectCountChanged(int count)
{
    if (count > 0)
        schedule();
}

void IncubationPacer::schedule()
{
    // A zero timer: the next slice follows once the events that are waiting have been handled.
    if (m_timerId == 0 && !m_held)
        m_timerId = startTimer(0);
}

void IncubationPacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId) {
        QObject::timerEvent(event);
        return;
    }
    if (incubatingObjectCount() == 0) {
        killTimer(m_timerId);
        m_timerId = 0;
        return;
    }
    incubateFor(sliceMs());
}
