import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Common

// One phone's transfer: the phone, the packets flowing, this computer, and how far the current
// file is. The compact form is one line, used when several phones send at once.
Card {
    id: root
    required property var f
    property bool animate: true
    property bool compact: false

    readonly property int percent: Format.percent(root.f.received, root.f.size)
    readonly property string remaining: Format.duration((root.f.size - root.f.received) / root.f.speed)

    objectName: "flowCard"
    implicitHeight: root.compact ? 44 : 150
    border.color: root.f.done ? Qt.rgba(Theme.green.r, Theme.green.g, Theme.green.b, 0.5) : Theme.divider

    // Compact: "✓ 3 file đã vào máy tính · name" or the name, then the byte counts and percent.
    RowLayout {
        visible: root.compact
        anchors.fill: parent
        anchors.leftMargin: Theme.spacingLarge
        anchors.rightMargin: Theme.spacingLarge
        spacing: Theme.spacing
        DeviceIcon {
            kind: root.f.kind
            side: 24
        }
        Icon {
            visible: root.f.done
            symbol: "checkmark.circle.fill"
            size: 16
            color: Theme.green
        }
        Label {
            objectName: "compactTitle"
            Layout.fillWidth: true
            text: root.f.done ? root.f.count + " file đã vào máy tính · " + root.f.name : root.f.name
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            color: Theme.text
        }
        Label {
            text: Format.progress(root.f.received, root.f.size)
            color: Theme.secondary
        }
        Label {
            text: root.percent + "%"
            font.weight: Font.DemiBold
            color: Theme.text
        }
    }

    // Full: phone on the left, the stream in the middle, this computer on the right.
    RowLayout {
        visible: !root.compact
        anchors.fill: parent
        anchors.margins: Theme.spacingLarge
        spacing: Theme.spacingRelaxed
        Column {
            Layout.preferredWidth: 124
            spacing: Theme.spacing
            DeviceIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                kind: root.f.kind
            }
            Label {
                objectName: "flowDevice"
                width: 124
                horizontalAlignment: Text.AlignHCenter
                text: root.f.device
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.weight: Font.DemiBold
                color: Theme.text
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: Theme.spacing
            Label {
                objectName: "flowSpeed"
                Layout.alignment: Qt.AlignHCenter
                text: root.f.done ? "Đã chuyển xong"
                      : root.f.speed > 0 ? Format.speed(root.f.speed) : "Đang bắt đầu…"
                font.weight: Font.DemiBold
                color: root.f.done ? Theme.green : Theme.text
            }
            DataStream {
                Layout.fillWidth: true
                speed: root.f.speed
                done: root.f.done
                animate: root.animate
            }
            Label {
                objectName: "flowBelow"
                Layout.alignment: Qt.AlignHCenter
                text: root.f.done ? "SHA-256 khớp 100%"
                      : root.remaining !== "" ? "còn " + root.remaining : ""
                color: Theme.secondary
            }
            Row {
                Layout.alignment: Qt.AlignHCenter
                spacing: Theme.spacingSmall
                Label {
                    objectName: "flowPercent"
                    text: root.percent + "%"
                    font.weight: Font.DemiBold
                    color: Theme.text
                }
                Label {
                    text: "của " + Format.bytes(root.f.size)
                    color: Theme.secondary
                }
            }
            Label {
                objectName: "flowName"
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: root.f.name
                textFormat: Text.PlainText
                elide: Text.ElideMiddle
                font.pixelSize: Theme.fontCaption
                color: Theme.secondary
            }
        }

        Column {
            Layout.preferredWidth: 104
            spacing: Theme.spacing
            DeviceIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                kind: "mac"
            }
            Label {
                width: 104
                horizontalAlignment: Text.AlignHCenter
                text: "Máy tính này"
                font.weight: Font.DemiBold
                color: Theme.text
            }
        }
    }
}
