import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Model
import Skiff.Common

// Where to receive (network and folder), the session code and the introduction switch.
Popover {
    id: root
    required property var main
    title: "Cài đặt"

    // As wide as its controls; the folder's path and the closing line wrap or elide within.
    padding: Theme.spacingLarge
    component Caption: Label {
        color: Theme.secondary
        font.pixelSize: Theme.fontFootnote
    }

    contentItem: ColumnLayout {
        spacing: Theme.spacingLarge
        Label {
            text: "Cài đặt"
            font.pixelSize: Theme.fontHeadline
            font.weight: Font.DemiBold
            color: Theme.text
        }

        ColumnLayout {
            spacing: Theme.spacingCompact
            Layout.fillWidth: true
            Caption { text: "Mạng dùng để nhận" }
            ChoiceBox {
                objectName: "ifacePicker"
                Accessible.name: "Mạng dùng để nhận"
                Layout.fillWidth: true
                model: App.ifaces
                textRole: "label"
                valueRole: "id"
                currentIndex: {
                    const id = App.currentIface.id
                    for (let i = 0; i < App.ifaces.length; ++i)
                        if (App.ifaces[i].id === id) return i
                    return -1
                }
                onActivated: index => App.selected = App.ifaces[index].id
            }
        }

        ColumnLayout {
            spacing: Theme.spacingCompact
            Layout.fillWidth: true
            Caption { text: "Lưu file nhận vào" }
            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.spacing
                Label {
                    objectName: "saveDirText"
                    Layout.fillWidth: true
                    Layout.maximumWidth: 20 * Theme.fontBody
                    text: Format.homePath(App.saveDir)
                    textFormat: Text.PlainText
                    elide: Text.ElideMiddle
                    color: Theme.text
                }
                PushButton {
                    objectName: "chooseFolderButton"
                    text: "Đổi…"
                    onClicked: root.main.chooseSaveFolder()
                }
            }
        }

        ColumnLayout {
            spacing: Theme.spacingCompact
            Layout.fillWidth: true
            Caption { text: "Mã phiên" }
            RowLayout {
                spacing: Theme.spacingRelaxed
                Label {
                    objectName: "settingsCode"
                    text: Format.code(App.pin)
                    textFormat: Text.PlainText
                    font.pixelSize: Theme.fontHeadline
                    font.weight: Font.DemiBold
                    color: Theme.text
                }
                PushButton {
                    id: newCodeButton
                    objectName: "newCodeButton"
                    text: "Đổi mã mới"
                    PlainTip {
                        visible: newCodeButton.hovered
                        delay: 600
                        text: "Thiết bị cũ phải quét lại"
                    }
                    onClicked: App.newCode()
                }
            }
        }

        ToggleSwitch {
            objectName: "introSwitch"
            text: "Hiện màn giới thiệu mỗi khi mở app"
            checked: !root.main.skipIntro
            onToggled: root.main.setSkipIntro(!checked)
        }

        Label {
            Layout.fillWidth: true
            Layout.preferredWidth: 0
            text: "Đi thẳng trong mạng nội bộ · không qua internet · không tài khoản · không thu thập dữ liệu"
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.fontCaption
            color: Theme.secondary
        }
    }
}
