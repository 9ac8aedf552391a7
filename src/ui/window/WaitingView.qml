import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common

// Before any transfer: how a phone connects (QR code, address, session code), or why it cannot
// yet (starting, start failure, no network), and the phones connected so far.
Item {
    id: root
    property bool animate: true

    readonly property bool online: App.currentIface.ip !== undefined
    readonly property Item mainAction: !App.running ? null : root.online ? radar.focusTarget
                                                                         : retryButton
    readonly property string hostPort: root.online ? App.currentIface.ip + ":" + App.port : ""

    Column {
        anchors.centerIn: parent
        spacing: Theme.spacingHuge
        width: Math.min(parent.width - 48, 560)

        Card {
            id: card
            objectName: "connectionCard"
            width: parent.width
            height: cardContent.implicitHeight + 48

            Column {
                id: cardContent
                anchors.centerIn: parent
                width: parent.width - 48
                spacing: Theme.spacingLarge
                // The computer is on no network a phone could reach.
                Column {
                    objectName: "noNetwork"
                    visible: App.running && !root.online
                    width: parent.width
                    spacing: Theme.spacingLarge
                    Icon {
                        anchors.horizontalCenter: parent.horizontalCenter
                        symbol: "wifi.exclamationmark"
                        size: 40
                        color: Theme.orange
                    }
                    Label {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Máy tính chưa vào mạng Wi-Fi/LAN nào"
                        font.bold: true
                        font.pixelSize: Theme.fontHeadline
                        color: Theme.text
                    }
                    Label {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: Math.min(420, parent.width)
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        text: "Kết nối máy tính vào Wi-Fi, hoặc bật Điểm truy cập cá nhân trên điện thoại rồi cho máy tính vào mạng đó."
                        color: Theme.secondary
                    }
                    PushButton {
                        id: retryButton
                        objectName: "retryButton"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Thử lại"
                        onClicked: App.retryNetwork()
                    }
                }

                // Starting, or the start failed.
                Column {
                    objectName: "starting"
                    visible: !App.running
                    width: parent.width
                    spacing: Theme.spacingRelaxed
                    BusyIndicator {
                        Accessible.name: "Đang khởi động"
                        anchors.horizontalCenter: parent.horizontalCenter
                        visible: App.error === ""
                        running: visible && root.animate
                    }
                    Label {
                        objectName: "startText"
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: Math.min(implicitWidth, parent.width)
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        text: App.error !== "" ? App.error : "Đang khởi động…"
                        textFormat: Text.PlainText
                        color: App.error !== "" ? Theme.red : Theme.secondary
                    }
                }

                // Ready: scan or type the address.
                Column {
                    objectName: "ready"
                    visible: App.running && root.online
                    width: parent.width
                    spacing: Theme.spacingLarge
                    RadarQR {
                        id: radar
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: App.address
                        size: 200
                        animate: root.animate && parent.visible
                    }
                    Label {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Quét mã bằng camera điện thoại"
                        font.weight: Font.DemiBold
                        font.pixelSize: Theme.fontHeadline
                        color: Theme.text
                    }
                    Row {
                        anchors.horizontalCenter: parent.horizontalCenter
                        spacing: Theme.spacing
                        Label {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Hoặc mở"
                            color: Theme.secondary
                        }
                        TextEdit {
                            id: addressText
                            objectName: "cardAddress"
                            anchors.verticalCenter: parent.verticalCenter
                            text: root.hostPort
                            textFormat: TextEdit.PlainText
                            readOnly: true
                            selectByMouse: true
                            font.weight: Font.DemiBold
                            font.pixelSize: Theme.fontCallout
                            color: Theme.text
                            selectionColor: Theme.accent
                            HoverHandler { id: addressHover }
                            PlainTip {
                                visible: addressHover.hovered
                                delay: 600
                                text: "Gõ vào trình duyệt điện thoại (" + App.address + ")"
                            }
                        }
                        Rectangle {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 1
                            height: 14
                            color: Theme.divider
                        }
                        Label {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Mã phiên"
                            color: Theme.secondary
                        }
                        Label {
                            objectName: "cardCode"
                            anchors.verticalCenter: parent.verticalCenter
                            text: Format.code(App.pin)
                            textFormat: Text.PlainText
                            font.weight: Font.DemiBold
                            font.pixelSize: Theme.fontCallout
                            color: Theme.text
                        }
                    }
                }
            }
        }

        DeviceCapsules {
            width: parent.width
            animate: root.animate
        }
    }
}
