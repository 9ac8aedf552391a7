import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common

// The upload in flight when no transfer card stands for it: how far, from whom, how fast.
Card {
    id: root
    readonly property var incoming: App.incoming

    objectName: "incomingCard"
    implicitHeight: content.implicitHeight + 40

    Row {
        id: content
        anchors.centerIn: parent
        spacing: Theme.spacingHuge
        ProgressRing {
            anchors.verticalCenter: parent.verticalCenter
            fraction: root.incoming.size > 0 ? root.incoming.received / root.incoming.size : 0
            upperText: Format.percent(root.incoming.received, root.incoming.size) + "%"
            lowerText: Format.progress(root.incoming.received, root.incoming.size)
        }

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.spacing
            width: 300
            Label {
                objectName: "incomingFrom"
                width: parent.width
                text: "Đang nhận từ " + (root.incoming.device || "")
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.weight: Font.DemiBold
                font.pixelSize: Theme.fontHeadline
                color: Theme.text
            }
            Row {
                spacing: Theme.spacingRelaxed
                Label {
                    objectName: "incomingSpeed"
                    text: App.speed > 0 ? Format.speed(App.speed) : "…"
                    font.weight: Font.DemiBold
                    color: Theme.text
                }
                Label {
                    objectName: "incomingRemaining"
                    text: Format.remaining(root.incoming.received, root.incoming.size, App.speed)
                    color: Theme.secondary
                }
            }
            Label {
                text: "Lưu nguyên bản · kiểm tra SHA-256 khi xong"
                font.pixelSize: Theme.fontCaption
                color: Theme.secondary
            }
        }
    }
}
