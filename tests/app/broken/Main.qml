import QtQuick

// Deliberately not valid QML: the start-up tests check that a window that fails to compile
// ends the program with -1.
Window {
    visible: true
    width: 200
