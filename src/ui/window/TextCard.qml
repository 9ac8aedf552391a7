import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Common

// A text a phone sent: shown as plain letters whatever it holds, with a copy button and, when
// it is one web link, a button that opens it.
Card {
    id: root
    required property var modelData
    property bool copied: false

    implicitHeight: column.implicitHeight + 2 * Theme.spacingRelaxed

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.spacingRelaxed
        spacing: Theme.spacing
        Label {
            Layout.fillWidth: true
            text: "Chữ từ " + root.modelData.device + " · "
                  + Qt.formatTime(root.modelData.at, "HH:mm")
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: Theme.fontFootnote
            color: Theme.secondary
        }
        Label {
            objectName: "textCardBody"
            Layout.fillWidth: true
            // Shown without the blank lines it may end on; copied as it came.
            text: root.modelData.text.replace(/\s+$/, "")
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            maximumLineCount: 6
            elide: Text.ElideRight
            font.pixelSize: Theme.fontBody
            color: Theme.text
        }
        RowLayout {
            spacing: Theme.spacing
            PushButton {
                objectName: "copyText"
                text: root.copied ? "Đã sao chép" : "Sao chép"
                highlighted: root.modelData.link === ""
                onClicked: {
                    Clipboard.setText(root.modelData.text)
                    root.copied = true
                    copiedTimer.restart()
                }
            }
            PushButton {
                objectName: "openLink"
                visible: root.modelData.link !== ""
                text: "Mở liên kết"
                highlighted: true
                onClicked: Qt.openUrlExternally(root.modelData.link)
            }
        }
    }

    Timer {
        id: copiedTimer
        interval: 1600
        onTriggered: root.copied = false
    }
}
