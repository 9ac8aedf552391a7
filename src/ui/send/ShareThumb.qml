import QtQuick
import Skiff.Common
import Skiff.Browser

// A shared file's square: its picture when the thumbnail store can draw the kind, with the
// length over videos; otherwise a coloured card with the extension.
Item {
    id: root
    property string path
    property int side: 150
    // Moves now and then so a video's length appears once it has been read.
    property int epoch: 0
    readonly property bool pictured: FileFacts.canThumb(path)
    readonly property string letters: FileFacts.cardLetters(path)
    readonly property string family: FileFacts.cardFamily(path)
    width: side
    height: side

    ThumbView {
        anchors.fill: parent
        visible: root.pictured
        path: root.pictured ? root.path : ""
        side: root.side
        pixels: 520
    }
    Rectangle {
        objectName: "card"
        anchors.fill: parent
        visible: !root.pictured
        radius: 10
        color: root.family === "text" ? "#2f6fdf" : root.family === "sheet" ? "#1f9352" : "#8a5cd0"
        Text {
            anchors.centerIn: parent
            text: root.letters
            textFormat: Text.PlainText
            color: "white"
            font.pixelSize: Math.round(root.side * 0.16)
            font.weight: Font.Bold
            font.letterSpacing: root.side * 0.03
        }
    }
    Row {
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: Theme.spacing
        spacing: Theme.spacingSmall
        visible: FileFacts.isVideo(root.path)
        Rectangle {
            width: videoLine.implicitWidth + 12
            height: 20
            radius: 10
            color: Qt.rgba(0, 0, 0, 0.55)
            Text {
                id: videoLine
                anchors.centerIn: parent
                text: "▶ " + FileFacts.durationText(root.path, root.epoch)
                color: "white"
                font.pixelSize: Theme.fontCaption
                font.weight: Font.DemiBold
            }
        }
    }
}
