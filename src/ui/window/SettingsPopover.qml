import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Skiff.Model
import Skiff.Common

// Where to receive (network and folder), the session code and the introduction switch.
Popover {
    id: root
    required property var main

    width: 340
    padding: 18

    component Caption: Label {
        color: Theme.secondary
        font.pixelSize: 12
    }

    contentItem: ColumnLayout {
        spacing: 16

        Label {
            text: "Cài đặt"
            font.pixelSize: 15
            font.weight: Font.DemiBold
            color: Theme.text
        }

        ColumnLayout {
            spacing: 6
            Layout.fillWidth: true
            Caption { text: "Mạng dùng để nhận" }
            ComboBox {
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
            spacing: 6
            Layout.fillWidth: true
            Caption { text: "Lưu file nhận vào" }
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Label {
                    objectName: "saveDirText"
                    Layout.fillWidth: true
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
            spacing: 6
            Layout.fillWidth: true
            Caption { text: "Mã phiên" }
            RowLayout {
                spacing: 10
                Label {
                    objectName: "settingsCode"
                    text: Format.code(App.pin)
                    textFormat: Text.PlainText
                    font.pixelSize: 15
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

        Switch {
            objectName: "introSwitch"
            text: "Hiện màn giới thiệu mỗi khi mở app"
            checked: !root.main.skipIntro
            onToggled: root.main.setSkipIntro(!checked)
        }

        Label {
            Layout.fillWidth: true
            text: "Đi thẳng trong mạng nội bộ · không qua internet · không tài khoản · không thu thập dữ liệu"
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: Theme.secondary
        }
    }
}
