import QtQuick
import QtQuick.Controls
import Skiff.Common

// One numbered hint of the help popover: the number in a circle, a title over its body. Extra
// content (a status, a button) goes under the body.
Row {
    id: root

    property int number: 1
    property string title
    property string body
    default property alias extra: more.data

    spacing: Theme.spacingRelaxed
    Rectangle {
        width: 18
        height: 18
        radius: 9
        color: Theme.accent
        Label {
            anchors.centerIn: parent
            color: "white"
            font.bold: true
            font.pixelSize: Theme.fontCaption2
            text: root.number
        }
    }

    Column {
        width: root.width - 28
        spacing: Theme.spacingTiny
        Label {
            width: parent.width
            wrapMode: Text.Wrap
            font.pixelSize: Theme.fontFootnote
            font.weight: Font.DemiBold
            text: root.title
        }
        Label {
            objectName: root.objectName ? root.objectName + "Body" : ""
            width: parent.width
            visible: text.length > 0
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            font.pixelSize: Theme.fontFootnote
            color: Theme.secondary
            text: root.body
        }
        Column {
            id: more
            width: parent.width
            spacing: Theme.spacingSmall
        }
    }
}
