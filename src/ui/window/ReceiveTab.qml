import QtQuick
import Skiff.Common
import Skiff.Model

// The receive tab: the waiting card, the live transfers or the received files, and under them
// the strip that shares files with the phones.
Item {
    id: root
    required property var main
    readonly property Item mainAction: root.main.receiveMode === "waiting" ? waiting.mainAction
                                       : root.main.receiveMode === "received" ? received.mainAction
                                       : null

    Item {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: strip.top
        anchors.bottomMargin: Theme.spacingRelaxed
        WaitingView {
            id: waiting
            anchors.fill: parent
            visible: root.main.receiveMode === "waiting"
            animate: root.main.animate && visible && root.visible
        }
        TransferView {
            anchors.fill: parent
            visible: root.main.receiveMode === "transfer"
            animate: root.main.animate && visible && root.visible
            grid: root.main.grid
        }
        ReceivedView {
            id: received
            anchors.fill: parent
            visible: root.main.receiveMode === "received"
            main: root.main
        }
    }

    SharingStrip {
        id: strip
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: Theme.spacingLarge
        main: root.main
    }
}
