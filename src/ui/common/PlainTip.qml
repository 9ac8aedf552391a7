import QtQuick
import QtQuick.Controls

// A tooltip that shows its text as written: a file name may hold markup, which must not render.
ToolTip {
    id: tip
    objectName: "plainTip"
    contentItem: Text {
        text: tip.text
        textFormat: Text.PlainText
        font: tip.font
        color: Theme.text
        wrapMode: Text.Wrap
    }
    background: Rectangle {
        radius: Theme.radius
        color: Theme.raised
        border.color: Theme.divider
    }
}
