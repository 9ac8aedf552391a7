import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Skiff.Model
import Skiff.Common
import Skiff.Browser
import Skiff.Send

// The dashed drop box under the receive tab: what the computer shares with the phones, and
// the way to share more by dropping or picking files.
Item {
    id: root
    required property var main

    readonly property var shared: App.sharedEntries

    function pickFiles() { picker.open() }

    objectName: "sharingStrip"
    implicitHeight: 48

    Shape {
        anchors.fill: parent
        ShapePath {
            id: edge
            strokeWidth: root.main.hover ? 2 : 1.2
            strokeColor: root.main.hover ? Theme.accent : Theme.tertiary
            strokeStyle: ShapePath.DashLine
            dashPattern: [4, 3]
            fillColor: root.main.hover ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.08)
                                       : "transparent"
            readonly property real r: 12
            readonly property real w: root.width - 1
            readonly property real h: root.height - 1
            startX: 1 + r
            startY: 1
            PathLine { x: edge.w - edge.r; y: 1 }
            PathArc { x: edge.w; y: 1 + edge.r; radiusX: edge.r; radiusY: edge.r }
            PathLine { x: edge.w; y: edge.h - edge.r }
            PathArc { x: edge.w - edge.r; y: edge.h; radiusX: edge.r; radiusY: edge.r }
            PathLine { x: 1 + edge.r; y: edge.h }
            PathArc { x: 1; y: edge.h - edge.r; radiusX: edge.r; radiusY: edge.r }
            PathLine { x: 1; y: 1 + edge.r }
            PathArc { x: 1 + edge.r; y: 1; radiusX: edge.r; radiusY: edge.r }
        }
    }

    HoverHandler { id: boxHover }
    PlainTip {
        visible: boxHover.hovered && !thumbs.hoveredAny
        delay: 900
        text: "Điện thoại thấy các file này ở mục “File máy tính đang chia sẻ”"
    }

    DropArea {
        objectName: "shareDrop"
        anchors.fill: parent
        onEntered: drag => {
            drag.accepted = drag.hasUrls
            root.main.hover = drag.hasUrls
        }
        onExited: root.main.hover = false
        onDropped: drop => {
            root.main.hover = false
            if (!drop.hasUrls) return
            drop.acceptProposedAction()
            App.shareUrls(drop.urls)
            root.main.chooseTab("send")
        }
    }

    Row {
        anchors.left: parent.left
        anchors.leftMargin: Theme.spacingLarge
        anchors.right: pickButton.left
        anchors.rightMargin: Theme.spacingRelaxed
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacingRelaxed
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "square.and.arrow.up"
            size: 18
            color: root.main.hover ? Theme.accent : Theme.secondary
        }

        Label {
            anchors.verticalCenter: parent.verticalCenter
            visible: root.shared.length === 0
            text: "Gửi từ máy tính sang điện thoại — kéo-thả file vào đây"
            color: Theme.secondary
        }

        Label {
            objectName: "sharingCount"
            anchors.verticalCenter: parent.verticalCenter
            visible: root.shared.length > 0
            text: "Đang chia sẻ " + root.shared.length
            font.weight: Font.DemiBold
            color: Theme.text
        }

        ListView {
            id: thumbs
            property bool hoveredAny: false
            anchors.verticalCenter: parent.verticalCenter
            visible: root.shared.length > 0
            width: Math.min(contentWidth, parent.width - 300)
            height: 32
            orientation: ListView.Horizontal
            spacing: Theme.spacingCompact
            clip: true
            model: root.shared
            delegate: Item {
                id: thumb
                required property var modelData
                width: 32
                height: 32
                ThumbView {
                    anchors.fill: parent
                    path: thumb.modelData.path
                    side: 32
                }
                HoverHandler {
                    id: thumbHover
                    onHoveredChanged: thumbs.hoveredAny = hovered
                }
                PlainTip {
                    visible: thumbHover.hovered
                    delay: 400
                    text: thumb.modelData.name + " · " + Format.bytes(thumb.modelData.size)
                                  + "\nNhấp đúp: xem thử · chuột phải: ngừng chia sẻ"
                }
                TapHandler {
                    acceptedButtons: Qt.LeftButton
                    onDoubleTapped: {
                        if (!App.previewEntry(thumb.modelData.id)) App.missing = thumb.modelData.name
                    }
                }
                TapHandler {
                    acceptedButtons: Qt.RightButton
                    onTapped: menu.popup()
                }
                Menu {
                    id: menu
                    MenuItem {
                        text: "Ngừng chia sẻ"
                        onTriggered: App.unshare(thumb.modelData.id.substring(1))
                    }
                }
            }
        }

        PushButton {
            objectName: "unshareAllButton"
            anchors.verticalCenter: parent.verticalCenter
            visible: root.shared.length > 0
            flat: true
            text: "Bỏ hết"
            onClicked: App.unshareAll()
        }
    }

    PushButton {
        id: pickButton
        objectName: "pickButton"
        anchors.right: parent.right
        anchors.rightMargin: Theme.spacingRelaxed
        anchors.verticalCenter: parent.verticalCenter
        text: root.shared.length > 0 ? "Thêm…" : "Chọn file…"
        onClicked: root.pickFiles()
    }

    // The send tab's picker, shared with its own buttons.
    SharePicker {
        id: picker
        onShared: root.main.chooseTab("send")
    }
}
