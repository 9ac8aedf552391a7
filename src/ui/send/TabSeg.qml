import QtQuick
import QtQuick.Controls
import Skiff.Common
import Skiff.Model
import Skiff.Browser

// Switches between the receive and the send tab; each segment counts its files.
Rectangle {
    id: root
    property string tab: "recv"
    property int nRecv: App.receivedCount
    property int nSend: App.sharedEntries.length
    // The person picked tab "recv" or "send".
    signal tabChosen(string tab)
    implicitWidth: segments.implicitWidth + 6
    implicitHeight: 30
    radius: 8
    color: Qt.rgba(0.5, 0.5, 0.55, 0.14)


    Row {
        id: segments
        anchors.centerIn: parent
        spacing: 2
        Repeater {
            model: [{ key: "recv", title: "Nhận", symbol: "arrow.down" },
                    { key: "send", title: "Gửi sang điện thoại", symbol: "arrow.up" }]
            delegate: AbstractButton {
                id: segment
                required property var modelData
                readonly property int count: modelData.key === "recv" ? root.nRecv : root.nSend
                objectName: modelData.key + "Segment"
                checked: root.tab === modelData.key
                hoverEnabled: true
                focusPolicy: Qt.TabFocus
                implicitHeight: 24
                implicitWidth: content.implicitWidth + 20
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData.title
                Accessible.selected: checked
                onClicked: root.tabChosen(modelData.key)
                background: Item {
                    Rectangle {
                        anchors.fill: parent
                        anchors.topMargin: 1
                        radius: 6
                        visible: segment.checked
                        color: Qt.rgba(0, 0, 0, 0.12)
                    }
                    Rectangle {
                        anchors.fill: parent
                        anchors.bottomMargin: 1
                        radius: 6
                        visible: segment.checked
                        color: Theme.raised
                    }
                    Rectangle {
                        anchors.fill: parent
                        radius: 6
                        visible: segment.visualFocus
                        color: "transparent"
                        border.width: 2
                        border.color: Theme.focus
                    }
                }
                contentItem: Item {
                    Row {
                        id: content
                        anchors.centerIn: parent
                        spacing: 5
                        TileGlyph {
                            anchors.verticalCenter: parent.verticalCenter
                            name: segment.modelData.symbol
                            size: 13
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: segment.modelData.title
                            font.pixelSize: 13
                            font.weight: segment.checked ? Font.DemiBold : Font.Normal
                            color: Theme.text
                        }
                        Rectangle {
                            objectName: segment.modelData.key + "Badge"
                            property string text: badgeText.text
                            anchors.verticalCenter: parent.verticalCenter
                            visible: segment.count > 0
                            width: Math.max(17, badgeText.implicitWidth + 10)
                            height: 17
                            radius: height / 2
                            color: segment.modelData.key === "send" ? "#0a84ff" : "#8e8e93"
                            Text {
                                id: badgeText
                                anchors.centerIn: parent
                                text: String(segment.count)
                                color: "white"
                                font.pixelSize: 11
                                font.weight: Font.DemiBold
                            }
                        }
                    }
                }
            }
        }
    }
}
