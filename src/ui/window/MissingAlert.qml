import QtQuick
import QtQuick.Controls
import Skiff.Model
import Skiff.Common

// A file that could not be previewed because it is no longer where it was received.
Dialog {
    id: root
    signal openFolder()

    objectName: "missingAlert"
    title: "File không còn ở đây"
    modal: true
    width: 32 * Theme.fontBody
    closePolicy: Popup.CloseOnEscape
    background: SheetBackground {}
    Overlay.modal: SheetDim {}
    visible: App.missing !== ""
    onClosed: App.missing = ""

    contentItem: Label {
        objectName: "missingMessage"
        text: "“" + App.missing + "” đã bị xoá, đổi tên hoặc chuyển đi chỗ khác nên không xem/mở được."
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.text
    }

    footer: DialogButtonBox {
        PushButton {
            objectName: "missingOpenFolder"
            text: "Mở thư mục nhận"
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            onClicked: root.openFolder()
        }
        PushButton {
            objectName: "missingLater"
            text: "Để sau"
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }
}
