import QtQuick
import Skiff.Common
import Skiff.Send

// Dots running from the computer to the phone; faster with the rate, still without a transfer
// or when animations are off.
Item {
    id: root
    property bool active: false
    property real mbps: 0
    property bool animate: true
    property string label: ""
    // Where the first dot is, as a fraction of the beam's length.
    property real phase: 0
    property int dots: 6
    implicitWidth: 160
    implicitHeight: 24

    Rectangle {
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width
        height: 2
        radius: 1
        color: Qt.rgba(0.04, 0.52, 1, 0.22)
    }
    Repeater {
        model: root.dots
        delegate: Rectangle {
            required property int index
            readonly property real at: (root.phase + index / root.dots) % 1
            width: 6
            height: 6
            radius: 3
            x: at * (root.width - width)
            anchors.verticalCenter: parent.verticalCenter
            color: "#0a84ff"
            opacity: root.active ? 0.35 + 0.65 * Math.sin(at * Math.PI) : 0.35
        }
    }
    Rectangle {
        visible: root.label !== ""
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.verticalCenter
        anchors.bottomMargin: Theme.spacing
        width: badge.implicitWidth + 14
        height: 20
        radius: 10
        color: "#0a84ff"
        Text {
            id: badge
            anchors.centerIn: parent
            text: root.label
            color: "white"
            font.pixelSize: Theme.fontCaption
            font.weight: Font.DemiBold
        }
    }
    FrameAnimation {
        running: root.animate && root.active && root.visible
        onTriggered: root.phase = (root.phase + frameTime * SendTexts.beamSpeed(root.mbps, root.active)) % 1
    }
}
