import QtQuick

// A thin bar along a share tile's bottom edge: how much of the file the phones have.
Item {
    id: root
    property real fraction: 0
    property bool done: false
    property bool active: false
    implicitHeight: 5

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.35)
    }
    Rectangle {
        width: parent.width * Math.max(0, Math.min(1, root.done ? 1 : root.fraction))
        height: parent.height
        color: root.done ? "#34c759" : "#0a84ff"
        Behavior on width { NumberAnimation { duration: 200 } }
    }
}
