import QtQuick
import QtQuick.Controls
import Skiff.Common

// A borderless button showing one secondary-coloured symbol in a 28-point square, with its
// hover text.
ToolButton {
    id: root
    property string symbol
    property string tip
    property color tint: Theme.secondary

    implicitWidth: 28
    implicitHeight: 28
    padding: 0
    flat: true
    focusPolicy: Qt.TabFocus
    Accessible.name: root.tip
    // Return presses the button the keyboard is on, as Space does.
    Keys.onReturnPressed: root.clicked()
    Keys.onEnterPressed: root.clicked()
    PlainTip {
        visible: root.hovered && root.tip !== ""
        delay: 600
        text: root.tip
    }

    background: Rectangle {
        radius: Theme.radius
        color: root.down ? Theme.pressed : root.hovered ? Theme.hover : "transparent"
        border.width: root.visualFocus ? 2 : 0
        border.color: Theme.focus
    }
    contentItem: Item {
        Icon {
            anchors.centerIn: parent
            symbol: root.symbol
            size: 17
            color: root.tint
        }
    }
}
