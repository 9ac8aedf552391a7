import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Send
import Skiff.Sheets

// The bar across the top: name, server status, the tab switch and the buttons for the QR code,
// the receive folder, settings, help and the introduction.
Rectangle {
    id: root
    required property var main

    readonly property bool online: App.currentIface.ip !== undefined
    readonly property string statusText: !App.running ? "Đang khởi động…"
                                         : root.online ? "Đang mở · " + App.currentIface.label
                                         : "Chưa có mạng"

    implicitHeight: 40
    color: Theme.dark ? Qt.rgba(1, 1, 1, 0.05) : Qt.rgba(1, 1, 1, 0.55)

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Theme.divider
    }

    Row {
        anchors.left: parent.left
        anchors.leftMargin: Theme.spacingLarge
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacingLarge
        Label {
            anchors.verticalCenter: parent.verticalCenter
            text: "Skiff"
            font.pixelSize: Theme.fontHeadline
            font.weight: Font.DemiBold
            color: Theme.text
        }

        Row {
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.spacingCompact
            Rectangle {
                objectName: "statusDot"
                anchors.verticalCenter: parent.verticalCenter
                width: 7
                height: 7
                radius: 3.5
                color: App.running && root.online ? Theme.green : Theme.orange
            }
            Label {
                objectName: "statusText"
                anchors.verticalCenter: parent.verticalCenter
                text: root.statusText
                textFormat: Text.PlainText
                color: Theme.secondary
            }
        }
    }

    TabSeg {
        id: tabSeg
        objectName: "tabSeg"
        anchors.centerIn: parent
        visible: root.main.started
        tab: root.main.tab
    }
    Connections {
        target: tabSeg
        ignoreUnknownSignals: true
        function onTabChosen(tab) { root.main.chooseTab(tab) }
        function onTabChanged() {
            if (tabSeg.tab !== root.main.tab) root.main.chooseTab(tabSeg.tab)
        }
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: Theme.spacingRelaxed
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.spacingTiny
        IconButton {
            id: qrButton
            objectName: "qrButton"
            symbol: "qrcode"
            tip: "Mã QR để thêm thiết bị"
            onClicked: root.main.togglePopover("qr")
            QrPopover {
                objectName: "qrPopover"
                x: parent.width - width
                y: parent.height + 6
                visible: root.main.popover === "qr"
                onClosed: root.main.popoverClosed("qr")
            }
        }
        IconButton {
            objectName: "folderButton"
            symbol: "folder"
            tip: "Mở thư mục nhận"
            onClicked: root.main.openSaveDir()
        }
        IconButton {
            objectName: "settingsButton"
            symbol: "gearshape"
            tip: "Cài đặt"
            onClicked: root.main.togglePopover("settings")
            SettingsPopover {
                objectName: "settingsPopover"
                x: parent.width - width
                y: parent.height + 6
                main: root.main
                visible: root.main.popover === "settings"
                onClosed: root.main.popoverClosed("settings")
            }
        }
        IconButton {
            objectName: "helpButton"
            symbol: "questionmark.circle"
            tip: "Trợ giúp — điện thoại không mở được trang?"
            onClicked: root.main.togglePopover("help")
            HelpPopover {
                x: parent.width - width
                y: parent.height + 6
                visible: root.main.popover === "help"
                onClosed: root.main.popoverClosed("help")
            }
        }
        IconButton {
            objectName: "introButton"
            symbol: "play.rectangle"
            tip: "Xem lại hướng dẫn"
            onClicked: root.main.started = false
        }
    }
}
