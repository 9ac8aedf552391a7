import QtQuick
import QtQuick.Controls
import Skiff.Common

// The round "stop sharing" button in a tile's corner.
AbstractButton {
    id: root
    property bool onDark: true
    implicitWidth: 22
    implicitHeight: 22
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    PlainTip {
        visible: parent.hovered
        delay: 500
        text: "Ngừng chia sẻ"
    }
    background: Rectangle {
        radius: width / 2
        color: root.onDark ? Qt.rgba(0, 0, 0, root.hovered ? 0.7 : 0.5)
                           : Qt.rgba(0.5, 0.5, 0.55, root.hovered ? 0.5 : 0.3)
    }
    contentItem: Text {
        text: "✕"
        color: "white"
        font.pixelSize: Theme.fontCaption
        font.bold: true
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
}
