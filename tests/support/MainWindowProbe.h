#pragma once

// Looking into the real main window from a test: items by object name in what the user sees,
// clicks at the visible centre of an item, an incubation controller with the smallest slices,
// and the layout invariants that a built screen and title bar must keep (buttons with a size
// and a place of their own). Header-only; needs Qt Quick and QtTest.

#include <QQmlIncubationController>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimerEvent>
#include <QtTest>

#include <cmath>

namespace TestSupport {

inline bool IsA(const QObject* object, const char* qmlType)
{
    return object && QByteArray(object->metaObject()->className()).startsWith(qmlType);
}

// The item of that name in the visual tree below `from`, or null.
inline QQuickItem* FindVisual(QQuickItem* from, const QString& name)
{
    if (!from)
        return nullptr;
    if (from->objectName() == name)
        return from;
    const auto children = from->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = FindVisual(child, name))
            return found;
    }
    return nullptr;
}

// Every item of that QML type below `from` that the user can see.
inline void FindVisibleOfType(QQuickItem* from, const char* qmlType, QList<QQuickItem*>& found)
{
    if (!from || !from->isVisible())
        return;
    if (IsA(from, qmlType))
        found << from;
    const auto children = from->childItems();
    for (QQuickItem* child : children)
        FindVisibleOfType(child, qmlType, found);
}

// The parts below `from`, on view, that are still loading (a loader or a picture), by class and
// object name: what keeps the window from showing its content, for a failure's message.
inline QStringList StillLoading(QQuickItem* from)
{
    QStringList loading;
    if (!from || !from->isVisible())
        return loading;
    // Loader.Loading and Image.Loading.
    constexpr int LoadingStatus = 2;
    if ((from->inherits("QQuickLoader") || from->inherits("QQuickImageBase")) &&
        from->property("status").toInt() == LoadingStatus) {
        loading << QStringLiteral("%1 \"%2\"").arg(QLatin1String(from->metaObject()->className()), from->objectName());
    }
    const auto children = from->childItems();
    for (QQuickItem* child : children)
        loading << StillLoading(child);
    return loading;
}

// What a loader of the window (by object name) holds, or null.
inline QQuickItem* Loaded(QQuickWindow* window, const char* loaderName)
{
    QObject* loader = window ? window->findChild<QObject*>(QLatin1String(loaderName)) : nullptr;
    return loader ? loader->property("item").value<QQuickItem*>() : nullptr;
}

// The first item below `from` that the user can see whose text reads `text`, or null.
inline QQuickItem* FindVisibleText(QQuickItem* from, const QString& text)
{
    if (!from || !from->isVisible())
        return nullptr;
    if (from->property("text").toString() == text)
        return from;
    const auto children = from->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = FindVisibleText(child, text))
            return found;
    }
    return nullptr;
}

// The popup of that QML or C++ type (a drawer, a dialog, Qt's own file dialog) that is open over
// the window now, whichever loader made it; null when none is.
inline QObject* OpenPopup(QQuickWindow* window, const char* type)
{
    const auto objects = window ? window->findChildren<QObject*>() : QList<QObject*>();
    for (QObject* object : objects) {
        if ((IsA(object, type) || object->inherits(type)) && object->property("opened").toBool())
            return object;
    }
    return nullptr;
}

// What a popup shows: its content with its header and footer, or null.
inline QQuickItem* PopupFace(QObject* popup)
{
    QQuickItem* content = popup ? popup->property("contentItem").value<QQuickItem*>() : nullptr;
    return content ? content->parentItem() : nullptr;
}

// A left click at `at` in the item (its centre by default), as a user makes it, when the item
// is shown, enabled and inside the window; false when there was nothing to click.
inline bool ClickItem(QQuickWindow* window, QQuickItem* item, QPointF at = QPointF(-1, -1))
{
    if (!item || !item->isVisible() || !item->isEnabled() || item->width() <= 0 || item->height() <= 0)
        return false;
    if (at.x() < 0)
        at = QPointF(item->width() / 2, item->height() / 2);
    const QPoint scene = item->mapToScene(at).toPoint();
    if (!QRect(QPoint(0, 0), window->size()).contains(scene))
        return false;
    QTest::mouseClick(window, Qt::LeftButton, {}, scene);
    return true;
}

// The gains that the Equalizer page's band sliders show, band by band.
inline QList<int> BandGains(QQuickItem* eqPage)
{
    QList<int> gains;
    for (int band = 0;; ++band) {
        QQuickItem* slider = FindVisual(eqPage, QStringLiteral("bandSlider%1").arg(band));
        if (!slider)
            return gains;
        gains << qRound(slider->property("value").toDouble());
    }
}

// Types `text` into what has the window's keyboard focus, a key per character.
inline void TypeText(QQuickWindow* window, const QString& text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

// The first fault of the title bar's layout, or an empty string: the drag area has a width,
// and every shown button has a size and a place of its own inside the bar.
inline QString TitleBarFault(QQuickItem* bar)
{
    if (!bar)
        return QStringLiteral("no title bar");
    QQuickItem* dragArea = FindVisual(bar, QStringLiteral("dragArea"));
    if (!dragArea || dragArea->width() <= 0)
        return QStringLiteral("the drag area has no width");
    const QRectF barRect = bar->mapRectToScene(QRectF(0, 0, bar->width(), bar->height()));
    QList<QPair<QString, QRectF>> shown;
    for (int event : {1, 2, 4, 8, 16}) {
        const QString name = QStringLiteral("button%1").arg(event);
        QQuickItem* button = FindVisual(bar, name);
        if (!button || !button->isVisible())
            continue;
        const QRectF rect = button->mapRectToScene(QRectF(0, 0, button->width(), button->height()));
        if (rect.width() <= 0 || rect.height() <= 0)
            return name + QStringLiteral(" has no size");
        if (!barRect.contains(rect))
            return name + QStringLiteral(" lies outside the bar");
        if (rect.intersects(dragArea->mapRectToScene(QRectF(0, 0, dragArea->width(), dragArea->height()))))
            return name + QStringLiteral(" lies on the drag area");
        for (const auto& [other, otherRect] : std::as_const(shown)) {
            if (rect.intersects(otherRect))
                return name + QStringLiteral(" lies on ") + other;
        }
        shown.append({name, rect});
    }
    if (shown.isEmpty())
        return QStringLiteral("no button is shown");
    return {};
}

// The first fault of a shown button group below `screen`, or an empty string: the group has a
// width, and its buttons, one per label, each span the group's width less its margins and
// together fill its height.
inline QString ButtonGroupFault(QQuickItem* screen)
{
    QList<QQuickItem*> groups;
    FindVisibleOfType(screen, "ItemButtonGroup", groups);
    for (QQuickItem* group : std::as_const(groups)) {
        const QString name = group->objectName();
        const qreal margins = group->property("margins").toReal();
        const qreal spacing = group->property("spacing").toReal();
        const int labels = group->property("model").toList().size();
        if (group->width() <= 2 * margins || group->height() <= 2 * margins)
            return name + QStringLiteral(" has no size");
        QList<QQuickItem*> buttons;
        FindVisibleOfType(group, "ZelGroupRadioButton", buttons);
        if (buttons.size() != labels)
            return name + QStringLiteral(" shows %1 buttons for %2 labels").arg(buttons.size()).arg(labels);
        qreal filled = 0;
        for (QQuickItem* button : std::as_const(buttons)) {
            const QPointF place = button->mapToItem(group, QPointF(0, 0));
            if (button->width() <= 0 || button->height() <= 0)
                return name + QStringLiteral(": a button has no size");
            if (std::abs(place.x() - margins) > 0.5 || std::abs(button->width() - (group->width() - 2 * margins)) > 0.5)
                return name + QStringLiteral(": a button does not span the group (x %1, width %2 of %3)")
                                  .arg(place.x())
                                  .arg(button->width())
                                  .arg(group->width());
            filled += button->height();
        }
        filled += spacing * (buttons.size() - 1);
        if (std::abs(filled - (group->height() - 2 * margins)) > 0.5)
            return name + QStringLiteral(": the buttons fill %1 of %2").arg(filled).arg(group->height() - 2 * margins);
    }
    return {};
}

// Builds asynchronously created objects in the smallest slices there are: one step of the
// engine's building per event-loop turn, so that the window lays out and draws between any
// two objects of a screen.
class SmallestSliceIncubation final : public QObject, public QQmlIncubationController {
protected:
    void incubatingObjectCountChanged(int count) override
    {
        if (count > 0 && m_timerId == 0)
            m_timerId = startTimer(0);
    }
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != m_timerId)
            return;
        if (incubatingObjectCount() == 0) {
            killTimer(m_timerId);
            m_timerId = 0;
            return;
        }
        incubateFor(0);
    }

private:
    int m_timerId = 0;
};

} // namespace TestSupport
