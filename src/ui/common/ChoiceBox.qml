import QtQuick
import QtQuick.Controls

// A drop-down of choices, drawn as the window's fields are; its text is a plain label, so a
// screen reader hears the box's name and choice, not an empty text field inside it.
ComboBox {
    id: root
    leftPadding: Theme.spacingRelaxed
    rightPadding: Theme.spacingRelaxed + indicator.width

    contentItem: Text {
        text: root.displayText
        font: root.font
        color: Theme.text
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        Accessible.ignored: true
    }
    indicator: Icon {
        x: root.width - width - Theme.spacingRelaxed
        y: (root.height - height) / 2
        symbol: "chevron.down"
        size: Theme.fontBody
        color: Theme.secondary
    }
    background: Rectangle {
        implicitWidth: 12 * Theme.fontBody
        implicitHeight: 30
        radius: Theme.radius
        color: root.down ? Theme.pressed : root.hovered ? Theme.hover : Theme.control
        border.width: root.visualFocus ? 2 : 1
        border.color: root.visualFocus ? Theme.focus : Theme.tertiary
    }
}
