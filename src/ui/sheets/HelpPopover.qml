import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Sheets

// Why a phone may not open the page: other network, isolated Wi-Fi, the firewall, typing the
// address by hand. Reads the model each time it shows.
Popup {
    id: root

    objectName: "helpPopover"
    width: 380
    padding: 16

    FirewallTool { id: firewallTool }

    contentItem: Column {
        spacing: 10

        Label {
            font.pixelSize: 14
            font.weight: Font.DemiBold
            text: "Điện thoại không mở được trang?"
        }

        HelpRow {
            objectName: "helpNetwork"
            width: parent.width
            number: 1
            title: "Khác mạng"
            body: SheetTexts.otherNetworkBody(App.currentIface.ip || "")
        }

        HelpRow {
            width: parent.width
            number: 2
            title: "Wi-Fi chặn các máy nói chuyện với nhau"
            body: "Wi-Fi khách, quán cà phê, công ty hay bật “cách ly thiết bị”. Cách chắc ăn: bật Điểm truy cập cá nhân trên điện thoại, cho Mac vào mạng đó, rồi quét lại mã. File đi thẳng, không tốn 4G."
        }

        HelpRow {
            objectName: "helpFirewall"
            width: parent.width
            number: 3
            title: "Tường lửa macOS"
            body: App.firewallOn === true
                  ? "Tường lửa đang BẬT. Nếu macOS hỏi “Cho phép kết nối đến?” hãy bấm Cho phép; hoặc thêm app vào danh sách cho phép."
                  : ""

            Row {
                visible: App.firewallOn !== true
                spacing: 0
                Label {
                    objectName: "firewallLead"
                    font.pixelSize: 12
                    color: Theme.secondary
                    text: "Tường lửa đang "
                }
                Label {
                    objectName: "firewallState"
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    text: App.firewallOn === false ? "tắt — không phải nguyên nhân"
                                                   : "không rõ trạng thái"
                }
            }

            Button {
                objectName: "firewallSettingsButton"
                visible: App.firewallOn === true && firewallTool.available
                font.pixelSize: 11
                text: "Mở cài đặt"
                onClicked: firewallTool.open()
            }
        }

        HelpRow {
            objectName: "helpByHand"
            width: parent.width
            number: 4
            title: "Gõ tay"
            body: SheetTexts.typeByHandBody(App.currentIface.ip || "", App.port, App.pin)
        }

        Rectangle {
            width: parent.width
            height: 1
            color: Theme.divider
        }

        Label {
            width: parent.width
            wrapMode: Text.Wrap
            font.pixelSize: 11
            color: Theme.secondary
            text: "Mẹo: chọn một ô rồi bấm Space để xem thử · nhấp đúp để mở Quick Look"
        }
    }
}
