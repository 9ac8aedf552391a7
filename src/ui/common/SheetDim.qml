import QtQuick

// What a modal sheet lays over the window behind it.
Rectangle {
    color: Qt.rgba(0, 0, 0, Theme.dark ? 0.5 : 0.28)
}
