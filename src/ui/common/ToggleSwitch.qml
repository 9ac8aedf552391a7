import QtQuick
import QtQuick.Controls
import Skiff.Common

// An on/off switch: the track fills with the accent colour when on, the knob slides; Space and
// Return flip it, and a ring shows when the keyboard is on it.
Switch {
    id: root
    spacing: Theme.spacing
    Keys.onReturnPressed: { toggle(); toggled() }
    Keys.onEnterPressed: { toggle(); toggled() }

    indicator: Rectangle {
        readonly property int knob: Math.round(Theme.fontBody * 1.3)
        implicitWidth: knob * 2 + 4
        implicitHeight: knob + 4
        x: root.leftPadding
        y: root.topPadding + (root.availableHeight - height) / 2
        radius: height / 2
        // Off, the track keeps 3:1 against the window so the control can be seen.
        color: root.checked ? Theme.accent : Qt.rgba(Theme.text.r, Theme.text.g, Theme.text.b, 0.45)
        opacity: root.enabled ? 1 : 0.5
        border.width: root.visualFocus ? 2 : 0
        border.color: Theme.focus
        Rectangle {
            x: root.checked ? parent.width - width - 2 : 2
            y: 2
            width: parent.knob
            height: width
            radius: width / 2
            color: "white"
            Behavior on x { NumberAnimation { duration: Motion.reduced ? 0 : 120 } }
        }
    }
    contentItem: Text {
        leftPadding: root.indicator.width + root.spacing
        text: root.text
        font: root.font
        color: Theme.text
        wrapMode: Text.Wrap
        verticalAlignment: Text.AlignVCenter
    }
}
