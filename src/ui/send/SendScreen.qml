import QtQuick
import QtQuick.Controls
import Skiff.Common
import QtQuick.Layouts
import QtQuick.Window
import Skiff.Model
import Skiff.Browser
import Skiff.Send

// The send tab: what the computer shares with the phones. Files or folders dropped anywhere
// on it are shared in one call.
Item {
    id: root
    property bool animate: true
    property string hover: ""
    readonly property var entries: App.sharedEntries
    readonly property bool dragging: drop.containsDrag
    readonly property bool downloading: App.sendSummary.active === true
    readonly property var status: SendTexts.status(App.sendSummary, entries.length, App.sendDevice,
                                                   App.devices, App.sendSpeed)
    // Moves every couple of seconds while shown, so tiles pick up late facts (video lengths).
    property int epoch: 0

    // A shared entry's file could not be shown because it is gone; the window's notice shows.
    signal missing(string name)
    onMissing: name => App.missing = name

    // Shares what a drop or a dialog handed over; folders add every visible file inside.
    function shareUrls(urls) {
        if (urls.length > 0)
            App.shareUrls(urls)
    }

    readonly property color secondary: Theme.secondary
    // The view's main action: it takes the focus when the tab shows, and Return presses it.
    readonly property Item mainAction: root.entries.length === 0 ? pickFilesButton : addFilesButton

    SharePicker { id: picker }

    Timer {
        interval: 2000
        repeat: true
        running: root.visible && root.entries.length > 0 && root.Window.window !== null
                 && root.Window.window.visible && root.Window.window.visibility !== Window.Minimized
        onTriggered: root.epoch++
    }

    // The empty state: one large drop area.
    Item {
        id: emptyState
        objectName: "sendEmpty"
        anchors.fill: parent
        anchors.margins: Theme.spacingHuge
        visible: root.entries.length === 0

        DropOutline {
            anchors.fill: parent
            radius: 22
            highlighted: root.dragging
        }
        ColumnLayout {
            anchors.centerIn: parent
            spacing: Theme.spacingRelaxed
            SendIllustration {
                Layout.alignment: Qt.AlignHCenter
                s: 1
                animate: root.animate
                active: root.dragging
            }
            Text {
                objectName: "emptyTitle"
                Layout.alignment: Qt.AlignHCenter
                text: root.dragging ? "Thả để chia sẻ sang điện thoại"
                                    : "Kéo file vào đây để gửi sang điện thoại"
                font.pixelSize: Theme.fontTitle2
                font.weight: Font.DemiBold
                color: Theme.text
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                Layout.maximumWidth: 470
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: root.dragging
                      ? "Nhả chuột — điện thoại thấy file ngay trong tab “Nhận từ máy tính”."
                      : "Thả bất kỳ file nào: ảnh, video, PDF, Word, Excel. Điện thoại đang mở Skiff sẽ thấy ngay và bấm Tải về."
                font.pixelSize: Theme.fontBody
                color: root.secondary
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Máy tính → điện thoại"
                font.pixelSize: Theme.fontFootnote
                color: root.secondary
            }
            Row {
                Layout.alignment: Qt.AlignHCenter
                spacing: Theme.spacingRelaxed
                PushButton {
                    id: pickFilesButton
                    objectName: "sendPickFiles"
                    text: "Chọn file…"
                    highlighted: true
                    onClicked: picker.open()
                }
                PushButton {
                    objectName: "sendPickFolder"
                    text: "Chọn thư mục…"
                    onClicked: picker.openFolder()
                }
            }
            TextShare {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 520
                Layout.topMargin: Theme.spacingRelaxed
            }
            Row {
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: Theme.spacingCompact
                spacing: Theme.spacingCompact
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 7
                    height: 7
                    radius: 3.5
                    color: App.devices.length === 0 ? "#ff9f0a" : "#34c759"
                }
                Text {
                    objectName: "deviceLine"
                    text: App.devices.length === 0
                          ? "Chưa có điện thoại kết nối — quét mã QR ở tab Nhận"
                          : App.devices[0].label + " đang kết nối · cùng Wi‑Fi"
                    textFormat: Text.PlainText
                    font.pixelSize: Theme.fontFootnote
                    color: root.secondary
                }
            }
        }
    }

    // The sharing state: the header card over the tiles.
    ColumnLayout {
        id: sharingState
        objectName: "sendSharing"
        anchors.fill: parent
        anchors.margins: Theme.spacingHuge
        spacing: Theme.spacingLarge
        visible: root.entries.length > 0

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 96
            radius: Theme.radiusLarge
            color: Qt.rgba(0.5, 0.5, 0.55, 0.09)
            border.color: root.dragging ? "#0a84ff" : "transparent"
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: Theme.spacingLarge
                anchors.rightMargin: Theme.spacingLarge
                spacing: Theme.spacingLarge
                SendIllustration {
                    s: 0.48
                    animate: root.animate
                    active: root.downloading
                    mbps: App.sendSpeed / 1000000
                    trackLabel: App.sendSpeed > 0 ? SendTexts.speedText(App.sendSpeed) + " ➜" : ""
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: Theme.spacingTiny
                    Row {
                        spacing: Theme.spacingSmall
                        TileGlyph {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "arrow.up"
                            size: 11
                        }
                        Text {
                            text: "ĐANG CHIA SẺ"
                            font.pixelSize: Theme.fontCaption2
                            font.weight: Font.DemiBold
                            font.letterSpacing: 0.8
                            color: root.secondary
                        }
                    }
                    Text {
                        objectName: "sharedTotal"
                        text: SendTexts.sharedTotal(root.entries)
                        font.pixelSize: Theme.fontTitle3
                        font.weight: Font.DemiBold
                        color: Theme.text
                    }
                    Row {
                        id: statusLine
                        objectName: "statusLine"
                        // The whole line as one text, for tests and screen readers.
                        readonly property string text: root.status.lead + root.status.percent
                                                       + root.status.speed
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                        Text {
                            objectName: "statusLead"
                            text: root.status.lead
                            textFormat: Text.PlainText
                            font.pixelSize: Theme.fontFootnote
                            color: root.status.percent === "" ? Theme.text : root.secondary
                        }
                        Text {
                            objectName: "statusPercent"
                            text: root.status.percent
                            font.pixelSize: Theme.fontFootnote
                            font.weight: Font.DemiBold
                            color: Theme.text
                        }
                        Text {
                            text: root.status.speed
                            font.pixelSize: Theme.fontFootnote
                            color: root.secondary
                        }
                    }
                }
                PushButton {
                    id: addFilesButton
                    objectName: "sendAddFiles"
                    text: "Thêm file…"
                    icon.source: "image://icon/plus"
                    highlighted: true
                    onClicked: picker.open()
                }
                PushButton {
                    objectName: "stopAll"
                    text: "Ngừng tất cả"
                    onClicked: App.unshareAll()
                }
            }
        }

        TextShare {
            Layout.fillWidth: true
            listHeight: 100
        }

        GridView {
            id: tiles
            objectName: "shareGrid"
            readonly property int tileSide: 150
            readonly property int columns: Math.max(1, Math.floor((width + 18) / (tileSide + 18)))
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            cellWidth: Math.floor(width / columns)
            cellHeight: tileSide + 44 + 18
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            // The shared files, then one more cell for the add tile.
            model: root.entries.length + 1
            delegate: Item {
                id: cell
                required property int index
                width: tiles.cellWidth
                height: tiles.cellHeight
                Loader {
                    active: cell.index < root.entries.length
                    sourceComponent: ShareTile {
                        modelData: root.entries[cell.index]
                        index: cell.index
                        side: tiles.tileSide
                        epoch: root.epoch
                        onMissing: name => root.missing(name)
                    }
                }
                AddTile {
                    visible: cell.index === root.entries.length
                    side: tiles.tileSide
                    onClicked: picker.open()
                }
            }
        }
    }

    DropArea {
        id: drop
        objectName: "sendDrop"
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: event => {
            root.shareUrls(event.urls)
            event.acceptProposedAction()
        }
    }
}
