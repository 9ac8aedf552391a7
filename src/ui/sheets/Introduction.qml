import QtQuick
import QtQuick.Controls
import Skiff.Common

// The launch screen: what the program does and the three steps to send a file. Return or
// "Bắt đầu" leaves it.
FocusScope {
    id: root

    property bool animate: true
    // The stored "do not show at launch" choice, shown in the checkbox.
    property bool skipIntro: false

    readonly property Item mainAction: startButton

    signal start()
    signal skipIntroToggled(bool skip)

    objectName: "introduction"
    focus: true
    Keys.onReturnPressed: root.start()
    Keys.onEnterPressed: root.start()
    Component.onCompleted: if (visible) forceActiveFocus()
    onVisibleChanged: if (visible) forceActiveFocus()

    Column {
        anchors.centerIn: parent
        spacing: Theme.spacingHuge
        Label {
            objectName: "introHeading"
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: Theme.fontLargeTitle
            font.bold: true
            font.letterSpacing: -0.6
            text: "Chuyển file bất kỳ từ mọi thiết bị\nsang máy tính này"
        }

        DeviceOrbit {
            anchors.horizontalCenter: parent.horizontalCenter
            animate: root.animate && root.visible
        }

        IntroSteps {
            anchors.horizontalCenter: parent.horizontalCenter
            animate: root.animate && root.visible
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: Theme.spacingRelaxed
            PushButton {
                id: startButton
                objectName: "startButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 200
                implicitHeight: 28
                highlighted: true
                font.weight: Font.DemiBold
                text: "Bắt đầu"
                onClicked: root.start()
            }

            CheckBox {
                objectName: "skipIntroBox"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Không hiện lại khi mở app"
                checked: root.skipIntro
                onToggled: root.skipIntroToggled(checked)
            }
        }
    }
}
