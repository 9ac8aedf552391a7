import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Sheets

// Asks whether a new phone may connect, one request at a time, oldest first; it stays until
// the request is answered.
Popup {
    id: root

    // Fades are skipped while the window is hidden or reduced motion is asked for.
    property bool animate: true
    // The request on the card; kept while the card fades out after the last answer.
    property var request: null

    readonly property var first: App.pending.length > 0 ? App.pending[0] : null

    function allow() { answer(true) }
    function deny() { answer(false) }
    function answer(allowed) {
        if (root.first) App.answer(root.first.id, allowed)
    }

    onFirstChanged: {
        if (!root.first) return
        root.request = root.first
        armKeys.restart()
    }
    visible: root.first !== null

    objectName: "approveSheet"
    parent: Overlay.overlay
    anchors.centerIn: parent
    z: 1000
    modal: true
    focus: true
    closePolicy: Popup.NoAutoClose
    padding: 28
    background: SheetBackground {}
    Overlay.modal: SheetDim {}

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: root.animate ? 200 : 0 }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: root.animate ? 150 : 0 }
    }

    // Return answers the card whatever had the keyboard before it came up.
    onOpened: keys.forceActiveFocus()

    contentItem: FocusScope {
        id: keys
        implicitWidth: content.implicitWidth
        implicitHeight: content.implicitHeight
        focus: true
        Keys.onReturnPressed: event => keys.press(event)
        Keys.onEnterPressed: event => keys.press(event)

        // A held or doubled Return must not let in the next phone before its code was seen:
        // repeats are ignored, and a new card takes the key only after a moment.
        function press(event) {
            if (!event.isAutoRepeat && !armKeys.running) root.allow()
        }

        Timer {
            id: armKeys
            interval: 400
        }

        Column {
            id: content
            spacing: Theme.spacingRelaxed
            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 54
                height: 54
                radius: Theme.radiusLarge
                gradient: Gradient {
                    GradientStop { position: 0; color: "#4f9dff" }
                    GradientStop { position: 1; color: "#2456d6" }
                }
                Icon {
                    objectName: "approveSymbol"
                    anchors.centerIn: parent
                    symbol: SheetTexts.requestSymbol(root.request ? root.request.label : "")
                    size: 28
                    color: "white"
                }
            }

            Label {
                objectName: "approveTitle"
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.min(implicitWidth, 380)
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                font.pixelSize: Theme.fontTitle3
                font.weight: Font.DemiBold
                text: "“" + (root.request ? root.request.label : "") + "” muốn kết nối"
            }

            Label {
                anchors.horizontalCenter: parent.horizontalCenter
                color: Theme.secondary
                text: "Kiểm tra số này giống số trên điện thoại"
            }

            Row {
                objectName: "approveCode"
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: Theme.spacingCompact
                readonly property string code: root.request ? root.request.code : ""
                Repeater {
                    model: parent.code.split("")
                    Rectangle {
                        required property string modelData
                        width: 36
                        height: 44
                        radius: Theme.radius
                        color: "transparent"
                        border.width: 1
                        border.color: Theme.tertiary
                        Label {
                            anchors.centerIn: parent
                            textFormat: Text.PlainText
                            font.pixelSize: Theme.fontDigits
                            font.weight: Font.DemiBold
                            text: parent.modelData
                        }
                    }
                }
            }

            Label {
                objectName: "approveHost"
                anchors.horizontalCenter: parent.horizontalCenter
                color: Theme.secondary
                font.pixelSize: Theme.fontCaption
                textFormat: Text.PlainText
                text: "Địa chỉ " + (root.request ? root.request.host : "") + " · đã nhập đúng mã phiên"
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: Theme.spacingRelaxed
                topPadding: Theme.spacingCompact
                PushButton {
                    objectName: "denyButton"
                    text: "Từ chối"
                    onClicked: root.deny()
                }
                PushButton {
                    objectName: "allowButton"
                    text: "Cho phép"
                    highlighted: true
                    onClicked: root.allow()
                }
            }

            // The way out of a flood of requests stays on the card itself, which covers the rest.
            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: Theme.spacingRelaxed
                PushButton {
                    objectName: "denyAllButton"
                    text: "Từ chối tất cả"
                    flat: true
                    visible: App.pending.length > 1
                    onClicked: App.denyAll()
                }
                PushButton {
                    objectName: "cardNewCodeButton"
                    text: "Đổi mã mới"
                    flat: true
                    onClicked: App.newCode()
                }
            }
        }
    }
}
