import QtQuick
import QtQuick.Controls
import Skiff.Common

// Five kinds of device around this computer, with file chips travelling to it while animated.
Item {
    id: root

    property bool animate: true
    // Where each chip is on its way, 0 at the device and 1 at the computer.
    property real phase: 0

    readonly property var devices: [
        { kind: "iphone", symbol: "iphone", label: "iPhone", file: "photo.fill", tint: "#f59e0b" },
        { kind: "android", symbol: "iphone", label: "Điện thoại Android", file: "play.rectangle.fill", tint: "#22c55e" },
        { kind: "tablet", symbol: "ipad", label: "iPad · máy tính bảng", file: "doc.richtext.fill", tint: "#ec4899" },
        { kind: "windows", symbol: "laptopcomputer", label: "Laptop Windows", file: "doc.zipper", tint: "#0ea5e9" },
        { kind: "other", symbol: "desktopcomputer", label: "Máy tính khác", file: "doc.text.fill", tint: "#8b5cf6" }
    ]
    readonly property real radiusX: width / 2 - 70
    readonly property real radiusY: height / 2 - 40

    function spot(index) {
        const angle = -Math.PI / 2 + index * 2 * Math.PI / devices.length
        return Qt.point(width / 2 + radiusX * Math.cos(angle), height / 2 + radiusY * Math.sin(angle))
    }

    objectName: "deviceOrbit"
    implicitWidth: 460
    implicitHeight: 290

    Accessible.role: Accessible.Graphic
    Accessible.name: "iPhone, điện thoại Android, iPad, laptop Windows và máy tính khác đều gửi file được sang máy tính này"

    NumberAnimation on phase {
        from: 0
        to: 1
        duration: 3200
        loops: Animation.Infinite
        running: root.animate
    }

    // The orbit itself.
    Rectangle {
        x: root.width / 2 - root.radiusX
        y: root.height / 2 - root.radiusY
        width: root.radiusX * 2
        height: root.radiusY * 2
        radius: height / 2
        color: "transparent"
        border.width: 1
        border.color: Theme.divider
        Accessible.ignored: true
    }

    Column {
        anchors.centerIn: parent
        spacing: Theme.spacingSmall
        Accessible.ignored: true
        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 72
            height: 72
            radius: 18
            color: Theme.card
            Icon {
                anchors.centerIn: parent
                symbol: "laptopcomputer"
                size: 44
                color: Theme.text
            }
        }
        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            font.weight: Font.DemiBold
            text: "Máy tính này"
        }
    }

    Repeater {
        model: root.devices

        Column {
            id: device
            required property var modelData
            required property int index
            readonly property point at: root.spot(index)

            x: at.x - width / 2
            y: at.y - 22
            spacing: Theme.spacingTiny
            Accessible.ignored: true

            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 44
                height: 44
                radius: 22
                color: device.modelData.tint
                Icon {
                    anchors.centerIn: parent
                    symbol: device.modelData.symbol
                    size: 24
                    color: "white"
                }
            }
            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                font.pixelSize: Theme.fontCaption
                text: device.modelData.label
            }
        }
    }

    // One chip per device on its way in; staggered so they do not arrive together.
    Repeater {
        model: root.devices

        Rectangle {
            id: chip
            required property var modelData
            required property int index
            readonly property real travel: (root.phase + index / root.devices.length) % 1
            readonly property point from: root.spot(index)

            visible: root.animate
            width: 22
            height: 22
            radius: Theme.radius
            color: modelData.tint
            x: from.x + (root.width / 2 - from.x) * travel - width / 2
            y: from.y + (root.height / 2 - from.y) * travel - height / 2
            // In at the device, out before it reaches the computer.
            opacity: Math.min(1, travel * 6, (1 - travel) * 3)
            Accessible.ignored: true

            Icon {
                anchors.centerIn: parent
                symbol: chip.modelData.file
                size: 13
                color: "white"
            }
        }
    }
}
