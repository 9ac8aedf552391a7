import QtQuick
import Skiff.Send

// The computer and a phone joined by the beam, drawn at scale `s`.
Item {
    id: root
    property real s: 1
    property bool active: false
    property real mbps: 0
    property bool animate: true
    property string trackLabel: ""
    implicitWidth: 300 * s
    implicitHeight: 120 * s

    // The computer: a screen over a flat base.
    Item {
        id: computer
        x: 0
        anchors.verticalCenter: parent.verticalCenter
        width: 104 * root.s
        height: 74 * root.s
        Rectangle {
            width: parent.width * 0.84
            height: parent.height * 0.84
            anchors.horizontalCenter: parent.horizontalCenter
            radius: 6 * root.s
            color: "#2c2c30"
            Rectangle {
                anchors.fill: parent
                anchors.margins: 4 * root.s
                radius: 3 * root.s
                gradient: Gradient {
                    GradientStop { position: 0; color: "#5aa7ff" }
                    GradientStop { position: 1; color: "#2f6fdf" }
                }
            }
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: parent.height * 0.12
            radius: height / 2
            color: "#9a9aa2"
        }
    }
    SendBeam {
        anchors.left: computer.right
        anchors.right: phone.left
        anchors.leftMargin: 10 * root.s
        anchors.rightMargin: 10 * root.s
        anchors.verticalCenter: parent.verticalCenter
        active: root.active
        mbps: root.mbps
        animate: root.animate
        label: root.trackLabel
    }
    // The phone: a tall rounded slab.
    Rectangle {
        id: phone
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: 44 * root.s
        height: 84 * root.s
        radius: 9 * root.s
        color: "#2c2c30"
        Rectangle {
            anchors.fill: parent
            anchors.margins: 3.5 * root.s
            radius: 6 * root.s
            color: root.active ? "#34c759" : "#e9e9ee"
            Behavior on color { ColorAnimation { duration: 300 } }
        }
    }
}
