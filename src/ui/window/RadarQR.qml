import QtQuick
import Skiff.Common

// The address's QR code on a white tile, with radar rings sweeping outwards around it while
// `animate` holds. The rings stay outside the tile so a camera always sees a clean code.
Item {
    id: root
    property string text
    property bool animate: true
    property real size: 200
    // One sweep of the rings, 0 to 1; the three rings run a third of a sweep apart.
    property real sweep: 0
    // What takes the focus when the view shows.
    readonly property Item focusTarget: qrCode

    implicitWidth: size + 80
    implicitHeight: size + 80

    NumberAnimation on sweep {
        from: 0
        to: 1
        duration: 2600
        loops: Animation.Infinite
        running: root.animate
    }

    Repeater {
        model: 3
        Rectangle {
            required property int index
            readonly property real phase: (root.sweep + index / 3) % 1
            anchors.centerIn: parent
            width: (root.size + 16) * (1 + 0.32 * phase)
            height: width
            radius: width / 2
            color: "transparent"
            border.width: 1.5
            border.color: Theme.accent
            opacity: root.animate ? 0.5 * (1 - phase) : 0
        }
    }

    Rectangle {
        anchors.centerIn: parent
        width: root.size + 16
        height: root.size + 16
        radius: Theme.radiusLarge
        color: "white"
        border.width: qrCode.activeFocus ? 2 : 1
        border.color: qrCode.activeFocus ? Theme.focus : Theme.divider
        QrCode {
            id: qrCode
            objectName: "waitingQr"
            // Focus starts here, so a screen reader begins with the address.
            activeFocusOnTab: true
            Accessible.role: Accessible.Graphic
            Accessible.name: "Mã QR: " + root.text
            Accessible.focusable: true
            anchors.centerIn: parent
            width: root.size
            height: root.size
            text: root.text
        }
    }
}
