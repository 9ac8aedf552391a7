import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Common
import Skiff.Model

// Texts for the phones: a field and the clipboard's text, then the texts on offer, newest
// first, each with a way to stop offering it.
ColumnLayout {
    id: root
    spacing: Theme.spacing
    property string problem: ""
    // The most the list of shared texts takes; it scrolls past that.
    property real listHeight: 150

    // `empty` says why nothing went when there is no text to send.
    function offer(text, empty) {
        if (text.trim() === "") {
            root.problem = empty
            return false
        }
        const shared = App.shareText(text)
        root.problem = shared ? "" : "Chữ dài quá 64 KB — hãy gửi dưới dạng file"
        return shared
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: Theme.spacing
        EntryField {
            id: field
            objectName: "textField"
            Layout.fillWidth: true
            placeholderText: "Gửi chữ cho điện thoại"
            onAccepted: sendButton.clicked()
        }
        PushButton {
            id: sendButton
            objectName: "sendText"
            text: "Gửi"
            // Never disabled: the screen reader bridge would still call it available, and
            // Tab would skip it. Pressed with nothing typed, it says so and goes to the field.
            onClicked: {
                if (root.offer(field.text, "Hãy gõ chữ cần gửi")) field.clear()
                else if (field.text.trim() === "") field.forceActiveFocus()
            }
        }
        PushButton {
            objectName: "sendClipboard"
            text: "Gửi chữ đã sao chép"
            onClicked: root.offer(Clipboard.text(), "Bộ nhớ tạm không có chữ nào")
        }
    }

    Label {
        objectName: "textProblem"
        visible: root.problem !== ""
        text: root.problem
        font.pixelSize: Theme.fontFootnote
        color: Theme.red
    }

    ListView {
        id: list
        objectName: "sharedTexts"
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(contentHeight, root.listHeight)
        visible: count > 0
        clip: true
        spacing: Theme.spacingSmall
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        model: App.sharedTexts
        delegate: Card {
            id: card
            required property var modelData
            width: list.width
            implicitHeight: row.implicitHeight + 2 * Theme.spacingSmall
            RowLayout {
                id: row
                anchors.fill: parent
                anchors.margins: Theme.spacingSmall
                anchors.leftMargin: Theme.spacingRelaxed
                spacing: Theme.spacing
                Label {
                    objectName: "sharedText"
                    Layout.fillWidth: true
                    text: card.modelData.text
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    font.pixelSize: Theme.fontBody
                    color: card.modelData.link !== "" ? Theme.accentText : Theme.text
                }
                PushButton {
                    objectName: "unshareText"
                    text: "Ngừng chia sẻ"
                    flat: true
                    onClicked: App.unshareText(card.modelData.id)
                }
            }
        }
    }
}
