import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Sheets

// Why a phone may not open the page: other network, isolated Wi-Fi, the firewall, typing the
// address by hand. Reads the model each time it shows.
Popover {
    id: root

    objectName: "helpPopover"
    title: "Điện thoại không mở được trang?"
    // A comfortable line length for its paragraphs at the desktop's text size.
    width: 29 * Theme.fontBody
    padding: Theme.spacingLarge
    FirewallTool { id: firewallTool }

    contentItem: Column {
        spacing: Theme.spacingRelaxed
        Label {
            font.pixelSize: Theme.fontCallout
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
            body: "Wi-Fi khách, quán cà phê, công ty hay bật “cách ly thiết bị”. Cách chắc ăn: bật Điểm truy cập cá nhân trên điện thoại, cho máy tính vào mạng đó, rồi quét lại mã. File đi thẳng, không tốn 4G."
        }

        HelpRow {
            objectName: "helpFirewall"
            width: parent.width
            number: 3
            title: SheetTexts.firewallTitle(App.firewallName)
            body: App.firewallOn === true
                  ? SheetTexts.firewallOnBody(App.port, App.firewallCommand !== "")
                  : ""

            Row {
                visible: App.firewallOn !== true
                spacing: 0
                Label {
                    objectName: "firewallLead"
                    font.pixelSize: Theme.fontFootnote
                    color: Theme.secondary
                    text: "Tường lửa đang "
                }
                Label {
                    objectName: "firewallState"
                    font.pixelSize: Theme.fontFootnote
                    font.weight: Font.DemiBold
                    text: App.firewallOn === false ? "tắt — không phải nguyên nhân"
                                                   : "không rõ trạng thái"
                }
            }

            Column {
                visible: App.firewallOn === true && App.firewallCommand !== ""
                width: parent.width
                spacing: Theme.spacingSmall
                TextEdit {
                    objectName: "firewallCommand"
                    width: parent.width
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    font.family: "monospace"
                    font.pixelSize: Theme.fontCaption
                    color: Theme.text
                    selectionColor: Theme.accent
                    text: App.firewallCommand
                }
                PushButton {
                    objectName: "firewallCopyButton"
                    font.pixelSize: Theme.fontCaption
                    text: "Sao chép"
                    onClicked: firewallTool.copy(App.firewallCommand)
                }
            }

            Label {
                objectName: "portMovedNote"
                visible: App.firewallOn === true && App.portMovedFrom > 0
                width: parent.width
                wrapMode: Text.Wrap
                font.pixelSize: Theme.fontFootnote
                color: Theme.orange
                text: SheetTexts.portMovedNote(App.portMovedFrom, App.port)
            }

            PushButton {
                objectName: "firewallSettingsButton"
                visible: App.firewallOn === true && firewallTool.available
                font.pixelSize: Theme.fontCaption
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
            font.pixelSize: Theme.fontCaption
            color: Theme.secondary
            text: "Mẹo: chọn một ô rồi bấm Space để xem thử · nhấp đúp để mở Quick Look"
        }
    }
}
