import QtQuick

// The round play mark over a video's picture.
Rectangle {
    id: root
    property int diameter: 38
    width: diameter
    height: diameter
    radius: diameter / 2
    color: Qt.rgba(0, 0, 0, 0.5)
    Text {
        anchors.centerIn: parent
        anchors.horizontalCenterOffset: root.diameter * 0.05
        text: "▶"
        color: "white"
        font.pixelSize: root.diameter * 0.42
    }
}
