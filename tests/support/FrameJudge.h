#pragma once

// What a frame of the main window shows, judged after the frame's layout pass (on the GUI thread,
// at QQuickWindow::afterAnimating, so that it is what that frame draws): whether the title bar
// has all its buttons, each with a width and a place of its own, and the screen on view is whole
// (a screen, not the empty content area, with no loader or picture on view still loading);
// whether something is on view that is not whole, or a battery level that the headset did not
// give; whether the headset screen shows the headset's own battery level. For the start-up
// benchmark and the tests of whole screens.

#include <QList>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace FrameJudge {

struct FrameState {
    // The title bar with all its buttons, and a whole screen.
    bool complete = false;
    // The title bar or a screen on view, but not whole; or a battery level not given.
    bool partial = false;
    // The headset screen whole, with the headset's battery level.
    bool headsetValues = false;
    // What was not whole, for a message.
    const char* missing = "";
};

inline double EffectiveOpacity(const QQuickItem* item)
{
    double opacity = 1;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

inline bool OnView(const QQuickItem* item)
{
    return item && item->isVisible() && EffectiveOpacity(item) > 0;
}

// No loader and no picture on view in `item` is still loading.
inline bool IsWhole(const QQuickItem* item)
{
    constexpr int Loading = 2; // Loader.Loading, Image.Loading
    if (!item->isVisible())
        return true;
    if ((item->inherits("QQuickLoader") || item->inherits("QQuickImageBase")) &&
        item->property("status").toInt() == Loading)
        return false;
    const auto children = item->childItems();
    return std::all_of(children.begin(), children.end(), IsWhole);
}

// The loaders and pictures on view in `item` still loading, for a message.
inline QStringList StillLoading(const QQuickItem* item)
{
    constexpr int Loading = 2;
    QStringList found;
    if (!item->isVisible())
        return found;
    if ((item->inherits("QQuickLoader") || item->inherits("QQuickImageBase")) &&
        item->property("status").toInt() == Loading) {
        found.append(QStringLiteral("%1 \"%2\" %3")
                         .arg(QLatin1String(item->metaObject()->className()), item->objectName(),
                              item->property("source").toString()));
    }
    for (const QQuickItem* child : item->childItems())
        found.append(StillLoading(child));
    return found;
}

// In the item tree, which holds the delegates of a Repeater (their QObject parent is not the item).
inline QList<QQuickItem*> ItemsNamed(QQuickItem* item, const QRegularExpression& name)
{
    QList<QQuickItem*> found;
    for (QQuickItem* child : item->childItems()) {
        if (name.match(child->objectName()).hasMatch())
            found.append(child);
        found.append(ItemsNamed(child, name));
    }
    return found;
}

inline QQuickItem* LoadedItem(QQuickWindow* window, const char* loaderName)
{
    QObject* loader = window->findChild<QObject*>(QLatin1String(loaderName));
    return loader ? loader->property("item").value<QQuickItem*>() : nullptr;
}

// Every title-bar button on view has a width and a place of its own, and all are there.
inline bool TitleBarWhole(QQuickItem* bar, int expectedButtons)
{
    if (!OnView(bar) || !IsWhole(bar))
        return false;
    static const QRegularExpression buttonName(QStringLiteral("^button\\d+$"));
    QList<qreal> places;
    for (QQuickItem* button : ItemsNamed(bar, buttonName)) {
        if (!OnView(button))
            continue;
        const qreal x = button->mapToScene(QPointF(0, 0)).x();
        if (button->width() <= 0 || places.contains(x))
            return false;
        places.append(x);
    }
    return places.size() == expectedButtons;
}

inline FrameState Judge(QQuickWindow* window, int expectedButtons, const QString& headsetBattery)
{
    FrameState state;
    QQuickItem* bar = LoadedItem(window, "titleBarLoader");
    QQuickItem* screen = LoadedItem(window, "mainLoader");
    const bool drawn = OnView(bar) || OnView(screen);
    const bool barWhole = TitleBarWhole(bar, expectedButtons);
    const QByteArray type = screen ? QByteArray(screen->metaObject()->className()) : QByteArray();
    // The empty content area while the device search runs is no screen, but no partial one.
    const bool realScreen = type.startsWith("Widget");
    const bool screenWhole = realScreen && OnView(screen) && IsWhole(screen);
    bool madeUpValue = false;
    if (screenWhole && type.startsWith("WidgetKesMain")) {
        static const QRegularExpression batteryName(QStringLiteral("^batteryStatus$"));
        const QList<QQuickItem*> batteries = ItemsNamed(screen, batteryName);
        QQuickItem* battery = batteries.value(0);
        const bool shown = OnView(battery);
        const bool right = shown && battery->property("text").toString() == headsetBattery;
        madeUpValue = shown && !right;
        state.headsetValues = barWhole && right;
    }
    state.complete = barWhole && screenWhole;
    state.missing = !barWhole                      ? "title bar"
                    : !screen                      ? "screen"
                    : (realScreen && !screenWhole) ? "screen part"
                    : madeUpValue                  ? "battery"
                                                   : "";
    state.partial = drawn && (!barWhole || !screen || (realScreen && !screenWhole) || madeUpValue);
    return state;
}

} // namespace FrameJudge
