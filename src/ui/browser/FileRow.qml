import QtQuick
import QtQuick.Controls
import Skiff.Browser
import Skiff.Common

// One file in the list: small picture, name over size, and the same actions as a tile.
Item {
    id: root
    required property var modelData
    required property int index
    required property Item browser
    readonly property bool selected: browser.selection === modelData.id
    readonly property bool hovered: hoverArea.containsMouse || actions.hovered
    readonly property bool gone: !FileFacts.exists(modelData.path, browser.epoch)
    objectName: "row:" + modelData.name
    implicitHeight: 46

    onHoveredChanged: browser.setHover(modelData.id, hovered)

    Rectangle {
        anchors.fill: parent
        anchors.bottomMargin: 1
        radius: Theme.radius
        color: root.selected ? Qt.rgba(0.2, 0.45, 0.95, 0.16)
                             : root.hovered ? Qt.rgba(0.5, 0.5, 0.55, 0.08) : "transparent"
    }
    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Qt.rgba(0.5, 0.5, 0.55, 0.2)
    }
    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.browser.select(root.modelData)
        onDoubleClicked: root.browser.open(root.modelData)
        PlainTip {
            visible: parent.containsMouse
            delay: 900
            text: root.modelData.name + (root.modelData.files > 0 ? "\nnhấp đúp: mở thư mục"
                                                                   : "\nSpace: xem thử · nhấp đúp: Quick Look")
        }
    }
    ThumbView {
        id: thumb
        objectName: "thumb"
        anchors.left: parent.left
        anchors.leftMargin: Theme.spacing
        anchors.verticalCenter: parent.verticalCenter
        path: root.modelData.path
        side: 30
    }
    Column {
        anchors.left: thumb.right
        anchors.leftMargin: Theme.spacingRelaxed
        anchors.right: buttons.left
        anchors.rightMargin: Theme.spacingRelaxed
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1
        Text {
            width: parent.width
            text: root.modelData.name
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font.pixelSize: Theme.fontBody
            color: root.browser.textColor
        }
        Text {
            objectName: "detail"
            text: root.modelData.files > 0
                  ? (root.gone ? "Thư mục không còn ở đây"
                               : root.modelData.files + " file · " + Format.bytes(root.modelData.size))
                  : (root.gone ? "File không còn ở đây" : Format.bytes(root.modelData.size))
            textFormat: Text.PlainText
            font.pixelSize: Theme.fontCaption
            color: root.gone ? "#e8820c" : root.browser.secondaryColor
        }
    }
    Row {
        id: buttons
        anchors.right: parent.right
        anchors.rightMargin: Theme.spacing
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacingSmall
        HoverHandler { id: actions }
        TileButton {
            objectName: "previewButton"
            symbol: "eye"
            tip: "Xem thử (Quick Look) — phím Space"
            onClicked: root.browser.open(root.modelData)
        }
        TileButton {
            symbol: "folder"
            tip: "Mở trình quản lý file và chọn đúng file này"
            onClicked: FileFacts.reveal(root.modelData.path)
        }
        UnshareBadge {
            objectName: "removeButton"
            anchors.verticalCenter: parent.verticalCenter
            visible: root.modelData.removable
            onDark: false
            onClicked: root.browser.remove(root.modelData)
        }
    }
}
