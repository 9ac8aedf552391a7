import QtQuick

// The card of a modal sheet or alert: raised, rounded, with a soft shadow.
Item {
    Repeater {
        model: 6
        Rectangle {
            required property int index
            x: -index - 1
            y: -index + 2
            width: parent.width + 2 * (index + 1)
            height: parent.height + 2 * (index + 1)
            radius: Theme.radiusLarge + index + 1
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(0, 0, 0, (Theme.dark ? 0.4 : 0.12) / (index + 1))
        }
    }
    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusLarge
        color: Theme.raised
        border.color: Theme.divider
    }
}
