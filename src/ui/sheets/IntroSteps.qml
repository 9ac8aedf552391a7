import QtQuick
import QtQuick.Controls
import Skiff.Common

// The three steps side by side; the highlight moves on every 1.4 s while animated.
Row {
    id: root

    property bool animate: true
    // The highlighted step, from 0.
    property int current: 0

    readonly property var steps: [
        { symbol: "laptopcomputer", title: "Mở Skiff trên máy tính", tint: "#3b82f6" },
        { symbol: "qrcode.viewfinder", title: "Quét QR bằng camera điện thoại", tint: "#8b5cf6" },
        { symbol: "paperplane.fill", title: "Chọn file & gửi", tint: "#10b981" }
    ]

    objectName: "introSteps"
    spacing: Theme.spacing
    Timer {
        interval: 1400
        repeat: true
        running: root.animate
        onTriggered: root.current = (root.current + 1) % root.steps.length
    }

    Repeater {
        model: root.steps

        Row {
            id: step
            required property var modelData
            required property int index
            readonly property bool highlighted: index === root.current

            objectName: "introStep" + index
            spacing: Theme.spacing
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                visible: step.index > 0
                symbol: "chevron.right"
                size: 12
                color: Theme.tertiary
            }

            Rectangle {
                width: stepContent.implicitWidth + 20
                height: stepContent.implicitHeight + 14
                radius: 10
                color: step.highlighted ? Theme.divider : "transparent"
                scale: step.highlighted ? 1.08 : 1.0
                Behavior on scale {
                    enabled: root.animate
                    NumberAnimation { duration: 250; easing.type: Easing.InOutQuad }
                }

                Row {
                    id: stepContent
                    anchors.centerIn: parent
                    spacing: Theme.spacing
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 32
                        height: 32
                        radius: Theme.radiusLarge
                        color: step.modelData.tint
                        Icon {
                            anchors.centerIn: parent
                            symbol: step.modelData.symbol
                            size: 16
                            color: "white"
                        }
                    }

                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        Label {
                            color: Theme.secondary
                            font.pixelSize: Theme.fontCaption
                            text: "Bước " + (step.index + 1)
                        }
                        Label {
                            font.weight: Font.DemiBold
                            text: step.modelData.title
                        }
                    }
                }
            }
        }
    }
}
