import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common
import Skiff.Browser
import Skiff.Send

ApplicationWindow {
    id: window
    title: "Skiff"
    minimumWidth: 900
    minimumHeight: 640
    width: 900
    height: 640
    visible: true

    Column {
        anchors.centerIn: parent
        spacing: 16
        Label { text: App.running ? "Đang mở" : "Đang khởi động…" }
        Label { objectName: "address"; text: App.address; textFormat: Text.PlainText }
    }
}
