import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Model
import Skiff.Common
import Skiff.Browser

// What was received this session: a summary header, the texts as cards, and the file browser.
Item {
    id: root
    required property var main
    readonly property Item mainAction: previewAllButton

    readonly property var entries: App.receivedEntries
    readonly property var texts: App.receivedTexts
    readonly property real totalSize: {
        let sum = 0
        for (const entry of root.entries) sum += entry.size
        return sum
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.spacingHuge
        spacing: Theme.spacingLarge
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.spacingLarge
            Column {
                spacing: Theme.spacingTiny
                Label {
                    objectName: "receivedFrom"
                    text: "Vừa nhận · " + (root.entries.length > 0 ? root.entries[0].detail
                                           : root.texts.length > 0 ? root.texts[0].device : "")
                    textFormat: Text.PlainText
                    color: Theme.secondary
                }
                Label {
                    objectName: "receivedTitle"
                    text: root.entries.length === 0 ? root.texts.length + " đoạn chữ"
                          : root.entries.length + " file · " + Format.bytes(root.totalSize)
                            + (root.texts.length > 0 ? " · " + root.texts.length + " đoạn chữ" : "")
                    font.pixelSize: Theme.fontTitle1
                    font.weight: Font.DemiBold
                    color: Theme.text
                }
            }

            Label {
                id: checkedLine
                visible: root.entries.length > 0
                text: "✓ Đã kiểm tra đủ, không lỗi"
                font.weight: Font.DemiBold
                color: Theme.green
                HoverHandler { id: checkedHover }
                PlainTip {
                    visible: checkedHover.hovered
                    delay: 600
                    text: "Mọi file đã được kiểm tra SHA-256 khớp với điện thoại"
                }
            }

            IconButton {
                id: noteButton
                objectName: "noteButton"
                visible: App.convertedNote !== ""
                symbol: "info.circle"
                tip: ""
                Accessible.name: "Thông tin giữ bản gốc"
                onClicked: root.main.showNote = !root.main.showNote
                Popup {
                    objectName: "notePopover"
                    x: parent.width / 2 - width / 2
                    y: parent.height + 6
                    width: 280 + leftPadding + rightPadding
                    padding: Theme.spacingLarge
                    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
                    visible: root.main.showNote && noteButton.visible
                    onClosed: root.main.showNote = false
                    contentItem: Label {
                        text: App.convertedNote
                        textFormat: Text.PlainText
                        wrapMode: Text.WordWrap
                        font.pixelSize: Theme.fontBody
                        color: Theme.text
                    }
                }
            }

            Item { Layout.fillWidth: true }

            PushButton {
                id: previewAllButton
                objectName: "previewAllButton"
                text: "Xem thử tất cả"
                visible: root.entries.length > 0
                PlainTip {
                    visible: previewAllButton.hovered
                    delay: 600
                    text: "Quick Look — phím mũi tên để chuyển file"
                }
                onClicked: App.previewAll()
            }

            ViewModeToggle {
                visible: root.entries.length > 0
                grid: root.main.grid
                onToggled: grid => root.main.setGrid(grid)
            }
        }

        ListView {
            id: textList
            objectName: "receivedTexts"
            Layout.fillWidth: true
            // Beside files the texts take at most half the view; alone, all of it.
            Layout.fillHeight: root.entries.length === 0
            Layout.preferredHeight: Math.min(contentHeight, root.height / 2)
            visible: root.texts.length > 0
            clip: true
            spacing: Theme.spacing
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            model: root.texts
            delegate: TextCard {
                width: textList.width - Theme.spacingRelaxed
            }
        }

        FileBrowser {
            objectName: "receivedBrowser"
            visible: root.entries.length > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            entries: root.entries
            grid: root.main.grid
            tileSize: 168
            onMissing: name => App.missing = name
        }
    }
}
