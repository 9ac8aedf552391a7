import QtQuick
import QtQuick.Controls

// A popover under the button that opened it: a raised card with a soft shadow and an arrow
// pointing at the button. It takes the keyboard while open; Escape or a click outside closes it.
Popup {
    id: root
    // What a screen reader calls the popover.
    property string title
    Accessible.name: title
    // Where the arrow points, in the popover's own coordinates: the opening button's middle.
    property real arrowX: parent ? parent.width / 2 - x : width / 2
    readonly property int arrowSize: 8

    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
    topPadding: padding + arrowSize
    y: parent ? parent.height + 2 : 0

    background: Item {
        // A shadow of a few faint outlines around the card, darker in the dark.
        Repeater {
            model: 4
            Rectangle {
                required property int index
                x: -index - 1
                y: root.arrowSize - index + 1
                width: parent.width + 2 * (index + 1)
                height: parent.height - root.arrowSize + 2 * (index + 1)
                radius: Theme.radiusLarge + index + 1
                color: "transparent"
                border.width: 1
                border.color: Qt.rgba(0, 0, 0, (Theme.dark ? 0.32 : 0.08) / (index + 1))
            }
        }
        Rectangle {
            id: card
            y: root.arrowSize
            width: parent.width
            height: parent.height - root.arrowSize
            radius: Theme.radiusLarge
            color: Theme.raised
            border.color: Theme.divider
        }
        // The arrow: a turned square whose lower half the card covers.
        Rectangle {
            width: root.arrowSize * 2
            height: width
            rotation: 45
            x: Math.max(Theme.radiusLarge, Math.min(parent.width - width - Theme.radiusLarge,
                                                    root.arrowX - width / 2))
            y: root.arrowSize / 2 + 1
            color: Theme.raised
            border.color: Theme.divider
        }
        Rectangle {
            x: 1
            y: root.arrowSize + 1
            width: parent.width - 2
            height: root.arrowSize + 2
            radius: Theme.radiusLarge
            color: Theme.raised
        }
    }
}
