import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common

// The address as a QR code for one more phone, with the address and the session code.
Popover {
    id: root
    title: "Mã QR để thêm thiết bị"
    padding: Theme.spacingLarge
    contentItem: Column {
        spacing: Theme.spacing
        QrCode {
            objectName: "popoverQr"
            Accessible.role: Accessible.Graphic
            Accessible.name: "Mã QR: " + App.address
            anchors.horizontalCenter: parent.horizontalCenter
            width: 160
            height: 160
            text: App.address
        }
        Label {
            objectName: "popoverAddress"
            anchors.horizontalCenter: parent.horizontalCenter
            text: App.currentIface.ip !== undefined ? App.currentIface.ip + ":" + App.port : ""
            textFormat: Text.PlainText
            font.weight: Font.DemiBold
            color: Theme.text
        }
        Label {
            objectName: "popoverCode"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Mã phiên " + Format.code(App.pin)
            textFormat: Text.PlainText
            color: Theme.secondary
        }
    }
}
