import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Browser
import Skiff.Common
import Skiff.Send

// One shared file: picture, the phones' progress on it, and the way to stop sharing it.
Item {
    id: root
    required property var modelData
    required property int index
    property int side: 150
    property int epoch: 0
    readonly property string fileId: modelData.id.substring(1)
    // Read again whenever the send state changes.
    readonly property var progress: { App.sendSummary; return App.shareProgressOf(fileId) }
    readonly property bool started: progress.fraction !== undefined
    readonly property bool done: started && progress.done
    readonly property bool hovered: hoverArea.containsMouse || stop.hovered
    objectName: "share:" + modelData.name
    implicitWidth: side
    implicitHeight: side + 44

    signal missing(string name)

    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        onDoubleClicked: {
            App.selection = root.modelData.id
            if (!App.previewEntry(root.modelData.id) && !FileFacts.exists(root.modelData.path))
                root.missing(root.modelData.name)
        }
        onClicked: App.selection = root.modelData.id
        PlainTip {
            visible: parent.containsMouse
            delay: 900
            text: root.modelData.name + " · " + Format.bytes(root.modelData.size)
                          + "\nNhấp đúp: xem thử · rê chuột: Ngừng chia sẻ"
        }
    }

    Item {
        id: square
        width: root.side
        height: root.side
        clip: true
        ShareThumb {
            anchors.fill: parent
            path: root.modelData.path
            side: root.side
            epoch: root.epoch
        }
        ShareProgress {
            objectName: "progress"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            visible: root.started
            fraction: root.started ? root.progress.fraction : 0
            done: root.done
        }
        Rectangle {
            objectName: "checkBadge"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: Theme.spacing
            width: 24
            height: 24
            radius: Theme.radiusLarge
            visible: root.done
            color: Qt.rgba(0, 0, 0, 0.5)
            Text {
                anchors.centerIn: parent
                text: "✓"
                color: "white"
                font.pixelSize: Theme.fontCallout
                font.bold: true
            }
        }
        AbstractButton {
            id: stop
            objectName: "stopButton"
            anchors.centerIn: parent
            visible: root.hovered
            hoverEnabled: true
            focusPolicy: Qt.NoFocus
            implicitWidth: stopText.implicitWidth + 22
            implicitHeight: 28
            PlainTip {
                visible: parent.hovered
                delay: 500
                text: "Điện thoại sẽ không thấy file này nữa"
            }
            onClicked: App.unshare(root.fileId)
            background: Rectangle {
                radius: height / 2
                color: Qt.rgba(0, 0, 0, stop.hovered ? 0.78 : 0.62)
            }
            contentItem: Text {
                id: stopText
                text: "✕ Ngừng chia sẻ"
                color: "white"
                font.pixelSize: Theme.fontFootnote
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    Column {
        anchors.top: square.bottom
        anchors.topMargin: Theme.spacingCompact
        width: root.side
        spacing: Theme.spacingTiny
        Text {
            width: parent.width
            text: root.modelData.name
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font.pixelSize: Theme.fontFootnote
            font.weight: Font.DemiBold
            color: Theme.text
        }
        Row {
            spacing: Theme.spacingSmall
            Text {
                text: Format.bytes(root.modelData.size)
                font.pixelSize: Theme.fontCaption
                color: Theme.secondary
            }
            Text {
                objectName: "shareState"
                text: root.done ? "✓ Đã tải" : root.started ? SendTexts.percent(root.progress.fraction)
                                                           : "Đang chia sẻ"
                font.pixelSize: Theme.fontCaption
                font.weight: root.done ? Font.DemiBold : Font.Normal
                color: root.done ? Theme.accentText : root.started ? Theme.text : Theme.secondary
            }
        }
    }
}
