import QtQuick
import QtQuick.Controls

// Switches between the receive and the send tab.
Row {
    property string tab: "recv"
    spacing: 4
    Button { text: "Nhận"; checked: tab === "recv"; onClicked: tab = "recv" }
    Button { text: "Gửi"; checked: tab === "send"; onClicked: tab = "send" }
}
