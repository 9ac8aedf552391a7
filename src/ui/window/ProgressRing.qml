import QtQuick
import Skiff.Common

// A ring filled clockwise from the top by `fraction`, with two lines of text inside.
Item {
    id: root
    property real fraction: 0
    property string upperText
    property string lowerText
    property real size: 128
    property real lineWidth: 9

    implicitWidth: size
    implicitHeight: size

    Canvas {
        id: canvas
        anchors.fill: parent
        property real shown: Math.max(0, Math.min(1, root.fraction))
        property color track: Theme.divider
        property color fill: Theme.accent
        onShownChanged: requestPaint()
        onTrackChanged: requestPaint()
        onFillChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            const r = (Math.min(width, height) - root.lineWidth) / 2
            ctx.reset()
            ctx.lineWidth = root.lineWidth
            ctx.lineCap = "round"
            ctx.strokeStyle = track
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, r, 0, 2 * Math.PI)
            ctx.stroke()
            if (shown > 0) {
                ctx.strokeStyle = fill
                ctx.beginPath()
                ctx.arc(width / 2, height / 2, r, -Math.PI / 2, -Math.PI / 2 + 2 * Math.PI * shown)
                ctx.stroke()
            }
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: Theme.spacingTiny
        Text {
            objectName: "ringUpper"
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.upperText
            font.pixelSize: Theme.fontDigits
            font.weight: Font.DemiBold
            color: Theme.text
        }
        Text {
            objectName: "ringLower"
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.lowerText
            font.pixelSize: Theme.fontCaption
            color: Theme.secondary
        }
    }
}
