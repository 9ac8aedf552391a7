import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Browser

// Live transfers: one card per sending phone (compact when several), or the incoming card;
// under them the files already received.
Item {
    id: root
    property bool animate: true
    property bool grid: true

    Column {
        anchors.top: parent.top
        anchors.topMargin: Theme.spacingHuge
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width - 48, 600)
        spacing: Theme.spacingRelaxed
        Repeater {
            model: App.flows
            FlowCard {
                required property var modelData
                width: parent.width
                f: modelData
                compact: App.flows.length >= 2
                animate: root.animate
            }
        }

        IncomingCard {
            width: parent.width
            visible: App.flows.length === 0 && App.incoming.uid !== undefined
        }
    }

    Column {
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.spacingHuge
        anchors.rightMargin: Theme.spacingHuge
        spacing: Theme.spacing
        visible: App.receivedEntries.length > 0

        Label {
            text: "Đã nhận · " + App.receivedCount + " file"
            font.weight: Font.DemiBold
            color: Theme.secondary
        }
        FileBrowser {
            width: parent.width
            height: 280
            clip: true
            entries: App.receivedEntries
            grid: root.grid
            tileSize: 112
            onMissing: name => App.missing = name
        }
    }
}
