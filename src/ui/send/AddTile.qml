import QtQuick
import QtQuick.Controls
import Skiff.Common
import QtQuick.Shapes

// The dashed tile after the shared files: pick more files to share.
AbstractButton {
    id: root
    property int side: 150
    implicitWidth: side
    implicitHeight: side
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    PlainTip {
        visible: parent.hovered
        delay: 500
        text: "Chọn thêm file để chia sẻ"
    }
    background: DropOutline {
        highlighted: root.hovered
    }
    contentItem: Column {
        spacing: Theme.spacing
        topPadding: root.side * 0.28
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "+"
            font.pixelSize: Theme.fontLargeTitle
            color: Theme.secondary
        }
        Text {
            width: root.side - 16
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: "Kéo thêm file vào đây"
            font.pixelSize: Theme.fontFootnote
            color: Theme.secondary
        }
    }
}
