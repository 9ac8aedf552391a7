import QtQuick
import QtQuick.Controls
import Skiff.Browser
import Skiff.Common

// One file in the grid: picture, name, and size or the notice that the file is gone.
Item {
    id: root
    required property var modelData
    required property int index
    required property Item browser
    property int tileSize: 168
    readonly property bool selected: browser.selection === modelData.id
    readonly property bool hovered: hoverArea.containsMouse || actions.hovered
    readonly property bool gone: !FileFacts.exists(modelData.path, browser.epoch)
    objectName: "tile:" + modelData.name
    implicitWidth: tileSize + 12
    implicitHeight: tileSize + 50

    onHoveredChanged: browser.setHover(modelData.id, hovered)

    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusLarge
        color: root.selected ? Qt.rgba(0.2, 0.45, 0.95, 0.16) : "transparent"
        border.width: root.hovered && !root.selected ? 1 : 0
        border.color: Qt.rgba(0.5, 0.5, 0.55, 0.45)
    }

    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        onClicked: root.browser.select(root.modelData)
        onDoubleClicked: root.browser.open(root.modelData)
        PlainTip {
            visible: parent.containsMouse
            delay: 900
            text: root.modelData.name + (root.modelData.files > 0 ? "\nnhấp đúp: mở thư mục"
                                                                   : "\nSpace: xem thử · nhấp đúp: Quick Look")
        }
    }

    Item {
        id: square
        x: 6
        y: 6
        width: root.tileSize
        height: root.tileSize

        Rectangle {
            anchors.fill: parent
            radius: 10
            color: Qt.rgba(0.5, 0.5, 0.55, 0.1)
        }
        ThumbView {
            objectName: "thumb"
            anchors.fill: parent
            path: root.modelData.path
            side: root.tileSize
        }
        VideoBadge {
            objectName: "playBadge"
            anchors.centerIn: parent
            visible: FileFacts.isVideo(root.modelData.path)
        }
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 44
            visible: root.hovered
            gradient: Gradient {
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.55) }
            }
        }
        HoverHandler { id: actions }
        Row {
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            anchors.margins: Theme.spacingCompact
            spacing: Theme.spacingSmall
            visible: root.hovered
            TileButton {
                objectName: "previewButton"
                symbol: "eye"
                onDark: true
                tip: "Xem thử (Quick Look) — phím Space"
                onClicked: root.browser.open(root.modelData)
            }
            TileButton {
                symbol: "folder"
                onDark: true
                tip: "Mở trình quản lý file và chọn đúng file này"
                onClicked: FileFacts.reveal(root.modelData.path)
            }
        }
        UnshareBadge {
            objectName: "removeButton"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: Theme.spacingCompact
            visible: root.modelData.removable && root.hovered
            onClicked: root.browser.remove(root.modelData)
        }
    }

    Column {
        anchors.top: square.bottom
        anchors.topMargin: Theme.spacingSmall
        x: 6
        width: root.tileSize
        spacing: Theme.spacingTiny
        Text {
            width: parent.width
            text: root.modelData.name
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font.pixelSize: Theme.fontFootnote
            font.weight: Font.Medium
            color: root.browser.textColor
        }
        Text {
            objectName: "detail"
            width: parent.width
            text: root.modelData.files > 0
                  ? (root.gone ? "Thư mục không còn ở đây"
                               : root.modelData.files + " file · " + Format.bytes(root.modelData.size))
                  : (root.gone ? "File không còn ở đây" : Format.bytes(root.modelData.size))
            textFormat: Text.PlainText
            font.pixelSize: Theme.fontCaption
            color: root.gone ? "#e8820c" : root.browser.secondaryColor
        }
    }
}
