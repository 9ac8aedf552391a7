import QtQuick
import QtQuick.Controls
import Skiff.Common
import Skiff.Browser

// Grid or list: two icon segments, 70 wide, without a label.
Rectangle {
    id: root
    property bool grid: true
    // The person chose `grid` (true) or the list (false).
    signal toggled(bool grid)
    width: 70
    height: 26
    radius: Theme.radius
    color: Qt.rgba(0.5, 0.5, 0.55, 0.14)

    Row {
        anchors.fill: parent
        anchors.margins: Theme.spacingTiny
        Repeater {
            model: [{ grid: true, symbol: "square.grid.2x2", tip: "Dạng lưới" },
                    { grid: false, symbol: "list.bullet", tip: "Dạng danh sách" }]
            delegate: AbstractButton {
                id: segment
                required property var modelData
                objectName: modelData.grid ? "gridSegment" : "listSegment"
                width: 33
                height: 22
                checked: root.grid === modelData.grid
                hoverEnabled: true
                focusPolicy: Qt.NoFocus
                PlainTip {
                    visible: parent.hovered
                    delay: 500
                    text: modelData.tip
                }
                onClicked: if (!checked) root.toggled(modelData.grid)
                background: Rectangle {
                    radius: 5
                    color: segment.checked ? Qt.rgba(1, 1, 1, 0.9) : "transparent"
                    border.width: segment.checked ? 1 : 0
                    border.color: Qt.rgba(0, 0, 0, 0.08)
                }
                contentItem: Item {
                    TileGlyph {
                        anchors.centerIn: parent
                        name: segment.modelData.symbol
                        size: 14
                    }
                }
            }
        }
    }
}
