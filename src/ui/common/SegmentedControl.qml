import QtQuick
import QtQuick.Controls

// A row of segments of which one is chosen: the chosen one raised on a sunken track. Each
// segment is {key, title, symbol, count, countColor}; a count above zero shows as a badge.
Rectangle {
    id: root
    property var segments: []
    property string current
    // The person chose the segment `key`.
    signal chosen(string key)

    implicitWidth: row.implicitWidth + 6
    implicitHeight: Math.max(30, row.implicitHeight + 6)
    radius: Theme.radius + 2
    color: Theme.dark ? Qt.rgba(1, 1, 1, 0.08) : Qt.rgba(0, 0, 0, 0.07)

    Row {
        id: row
        anchors.centerIn: parent
        spacing: Theme.spacingTiny
        Repeater {
            model: root.segments
            delegate: AbstractButton {
                id: segment
                required property var modelData
                objectName: modelData.key + "Segment"
                checked: root.current === modelData.key
                hoverEnabled: true
                focusPolicy: Qt.TabFocus
                implicitHeight: Math.max(24, content.implicitHeight + 6)
                implicitWidth: content.implicitWidth + 20
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData.title
                Accessible.selected: checked
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: root.chosen(modelData.key)
                background: Rectangle {
                    radius: Theme.radius
                    color: segment.checked ? Theme.raised
                                           : segment.hovered ? Theme.divider : "transparent"
                    border.width: segment.visualFocus ? 2 : segment.checked ? 1 : 0
                    border.color: segment.visualFocus ? Theme.focus : Theme.divider
                }
                contentItem: Item {
                    implicitWidth: content.implicitWidth
                    implicitHeight: content.implicitHeight
                    Row {
                        id: content
                        anchors.centerIn: parent
                        spacing: Theme.spacingSmall
                        Icon {
                            anchors.verticalCenter: parent.verticalCenter
                            visible: !!segment.modelData.symbol
                            symbol: segment.modelData.symbol || ""
                            size: Theme.fontBody
                            color: Theme.text
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: segment.modelData.title
                            font.pixelSize: Theme.fontBody
                            font.weight: segment.checked ? Font.DemiBold : Font.Normal
                            color: Theme.text
                        }
                        Rectangle {
                            objectName: segment.modelData.key + "Badge"
                            property string text: badgeText.text
                            anchors.verticalCenter: parent.verticalCenter
                            visible: (segment.modelData.count || 0) > 0
                            width: Math.max(height, badgeText.implicitWidth + 10)
                            height: badgeText.implicitHeight + 3
                            radius: height / 2
                            color: segment.modelData.countColor || Theme.secondary
                            Text {
                                id: badgeText
                                anchors.centerIn: parent
                                text: String(segment.modelData.count || 0)
                                color: "white"
                                font.pixelSize: Theme.fontCaption
                                font.weight: Font.DemiBold
                            }
                        }
                    }
                }
            }
        }
    }
}
