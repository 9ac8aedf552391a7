import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common

// The phones that connected this session, newest first, or a small wait for the first one.
Item {
    id: root
    property bool animate: true
    implicitHeight: App.devices.length === 0 ? waiting.implicitHeight : capsules.implicitHeight

    Row {
        id: waiting
        objectName: "waitingForPhones"
        anchors.horizontalCenter: parent.horizontalCenter
        visible: App.devices.length === 0
        spacing: Theme.spacing
        BusyIndicator {
            Accessible.name: "Đang chờ điện thoại"
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: 18
            implicitHeight: 18
            running: parent.visible && root.animate
        }
        Label {
            anchors.verticalCenter: parent.verticalCenter
            text: "Đang chờ điện thoại quét…"
            color: Theme.secondary
        }
    }

    Flow {
        id: capsules
        width: parent.width
        visible: App.devices.length > 0
        spacing: Theme.spacing
        Repeater {
            model: App.devices
            Rectangle {
                id: capsule
                required property var modelData
                objectName: "deviceCapsule"
                width: capsuleRow.implicitWidth + 24
                height: 30
                radius: 15
                color: Theme.card
                border.width: 1
                border.color: Theme.divider
                Row {
                    id: capsuleRow
                    anchors.centerIn: parent
                    spacing: Theme.spacingCompact
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: Format.deviceSymbol(capsule.modelData.kind)
                        size: 15
                        color: Theme.green
                    }
                    Label {
                        anchors.verticalCenter: parent.verticalCenter
                        text: capsule.modelData.label + " đã kết nối"
                        textFormat: Text.PlainText
                        color: Theme.text
                    }
                }
            }
        }
    }
}
