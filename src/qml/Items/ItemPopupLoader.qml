import QtQuick

// Creates a popup on demand and keeps it: loading the same component again returns the same
// instance, loading another one destroys the previous instance, and closing destroys nothing.
Loader {
    // The popup of the given component, created when it is not held yet.
    function load(dlg) {
        sourceComponent = dlg
        return item
    }

    function open(dlg) {
        load(dlg)?.open()
    }
}
