import QtQuick
import QtQuick.Controls

// The window's button: the default action filled with the accent colour (`highlighted`), a
// destructive one in red, the rest plain (`flat`: no frame until the pointer is on it); a
// focus ring when the keyboard is on it.
Button {
    id: root
    property bool destructive: false
    readonly property bool filled: root.highlighted || root.destructive
    readonly property color fill: root.destructive ? Theme.destructive : Theme.accent

    palette.buttonText: root.filled ? "white" : Theme.text
    // Return presses the button the keyboard is on, as Space does.
    Keys.onReturnPressed: root.clicked()
    Keys.onEnterPressed: root.clicked()
    leftPadding: Theme.spacingLarge
    rightPadding: Theme.spacingLarge
    topPadding: Theme.spacingCompact
    bottomPadding: Theme.spacingCompact
    background: Rectangle {
        implicitWidth: 72
        implicitHeight: 30
        radius: Theme.radius
        opacity: root.enabled ? 1 : 0.5
        color: root.filled ? (root.down ? Qt.darker(root.fill, 1.15)
                                        : root.hovered ? Qt.lighter(root.fill, 1.08) : root.fill)
                           : (root.down ? Theme.pressed : root.hovered ? Theme.hover
                                                             : root.flat ? "transparent" : Theme.control)
        border.width: root.visualFocus ? 2 : root.filled || root.flat ? 0 : 1
        border.color: root.visualFocus ? Theme.focus : Theme.divider
    }
}
