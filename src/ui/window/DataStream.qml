import QtQuick
import Skiff.Common

// Packets travelling from the phone to the computer; they move faster as the speed grows and
// stand still once the transfer is done or nothing may move.
Item {
    id: root
    property real speed: 0        // bytes per second
    property bool done: false
    property bool animate: true
    property int packets: 7
    property real travel: 0       // 0 to 1, the packets' common position

    implicitHeight: 16
    implicitWidth: 200

    // About 2.4 s per crossing at a trickle, down to 0.6 s at 50 MB/s and above.
    readonly property int crossing: Math.round(2400 - 1800 * Math.min(1, root.speed / 50000000))

    NumberAnimation on travel {
        from: 0
        to: 1
        duration: root.crossing
        loops: Animation.Infinite
        running: root.animate && !root.done
    }

    Rectangle {
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width
        height: 2
        radius: 1
        color: root.done ? Theme.green : Theme.divider
    }

    Repeater {
        model: root.done ? 0 : root.packets
        Rectangle {
            required property int index
            readonly property real position: (root.travel + index / root.packets) % 1
            x: position * (root.width - width)
            anchors.verticalCenter: parent.verticalCenter
            width: 10
            height: 6
            radius: 3
            color: Theme.accent
            opacity: Math.sin(position * Math.PI)
        }
    }
}
