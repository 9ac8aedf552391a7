import QtQuick
import QtQuick.Controls

// A one-line text field: a filled box whose edge turns into the focus ring while typing.
TextField {
    id: root
    color: Theme.text
    placeholderTextColor: Theme.secondary
    selectionColor: Theme.accent
    selectedTextColor: "white"
    leftPadding: Theme.spacingRelaxed
    rightPadding: Theme.spacingRelaxed
    topPadding: Theme.spacingCompact
    bottomPadding: Theme.spacingCompact
    Accessible.name: placeholderText

    background: Rectangle {
        implicitWidth: 16 * Theme.fontBody
        implicitHeight: 30
        radius: Theme.radius
        color: Theme.control
        opacity: root.enabled ? 1 : 0.5
        border.width: root.activeFocus ? 2 : 1
        border.color: root.activeFocus ? Theme.focus : Theme.tertiary
    }
}
