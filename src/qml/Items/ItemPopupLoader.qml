import QtQuick

// Creates a popup on demand and keeps it: loading the same component again returns the same
// instance, loading another one destroys the previous instance, and closing destroys nothing.
// Shown while its popup is.
Loader {
    // The popup held, read through its own members (a Loader declares `item` a plain object).
    readonly property var popup: item

    visible: popup?.visible ?? false

    // The popup of the given component, created when it is not held yet.
    function load(dlg) {
        sourceComponent = dlg
        return popup
    }

    // Opens the popup of `dlg` and gives it the active keyboard focus, so that its own keys
    // apply and no key reaches what lies below it, a drawer under a dialog included. A popup
    // that names the control to focus first (its forceFocus()) has that control focused; any
    // other takes the focus itself and hands it on as its own items ask. A platform file dialog
    // is a window of its own and takes the focus itself. A popup already open stays as it is,
    // its focus included.
    function open(dlg) {
        const held = load(dlg)
        if (!held || held.opened)
            return held
        held.open()
        if (typeof held.forceFocus === "function")
            held.forceFocus()
        else if (typeof held.forceActiveFocus === "function")
            held.forceActiveFocus()
        return held
    }
}
