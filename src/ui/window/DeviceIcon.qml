import QtQuick
import Skiff.Common

// A device's picture: its symbol in white on a rounded square with a soft vertical gradient.
// Phones and tablets by their kind; "mac" is this computer.
Rectangle {
    id: root
    property string kind
    property real side: 54

    readonly property string symbol: root.kind === "mac" || root.kind === "windows" ? "laptopcomputer"
                                     : root.kind === "ipad" || root.kind === "tablet" ? "ipad"
                                     : "iphone"
    readonly property color tone: root.kind === "mac" ? Theme.blue
                                  : root.kind === "android" ? "#34a853"
                                  : root.kind === "windows" ? "#5b5fc7"
                                  : root.kind === "ipad" || root.kind === "tablet" ? "#e2771b"
                                  : "#8e5bd6"

    width: side
    height: side
    radius: side * 0.24
    gradient: Gradient {
        GradientStop { position: 0; color: Qt.lighter(root.tone, 1.25) }
        GradientStop { position: 1; color: root.tone }
    }
    Icon {
        anchors.centerIn: parent
        symbol: root.symbol
        size: root.side * 0.52
        color: "white"
    }
}
