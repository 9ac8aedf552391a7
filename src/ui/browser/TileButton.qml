import QtQuick
import QtQuick.Controls
import Skiff.Common

// A small icon-only button with a hover text.
AbstractButton {
    id: root
    property string symbol
    property string tip
    property bool onDark: false
    implicitWidth: 26
    implicitHeight: 26
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    PlainTip {
        visible: parent.hovered && tip !== ""
        delay: 500
        text: tip
    }
    background: Rectangle {
        radius: Theme.radius
        color: root.onDark ? Qt.rgba(1, 1, 1, root.hovered ? 0.28 : 0.16)
                           : Qt.rgba(0.5, 0.5, 0.5, root.hovered ? 0.22 : 0)
    }
    contentItem: Item {
        TileGlyph {
            anchors.centerIn: parent
            name: root.symbol
            size: 15
        }
    }
}
