import QtQuick
import QtQuick.Controls
import QtQuick.Window
import Skiff.Common

// Shows the previewer's files one at a time: arrows move, Space or Escape closes.
Window {
    id: root
    required property QtObject look  // the program's QuickLook

    title: root.look.currentName || "Skiff"
    width: 960
    height: 720
    minimumWidth: 480
    minimumHeight: 360
    color: palette.window

    FocusScope {
        id: keys
        objectName: "previewKeys"
        anchors.fill: parent
        focus: true

        Keys.onPressed: event => {
            switch (event.key) {
            case Qt.Key_Left:
            case Qt.Key_Up:
                root.look.previous();
                break;
            case Qt.Key_Right:
            case Qt.Key_Down:
                root.look.next();
                break;
            case Qt.Key_Space:
            case Qt.Key_Escape:
                root.look.close();
                break;
            default:
                return;
            }
            event.accepted = true;
        }

        Item {
            id: stage
            anchors { left: parent.left; right: parent.right; top: parent.top; bottom: bar.top }

            Image {
                objectName: "previewImage"
                anchors.fill: parent
                anchors.margins: Theme.spacing
                visible: root.look.currentKind === "image"
                asynchronous: true
                fillMode: Image.PreserveAspectFit
                sourceSize: Qt.size(Screen.width * Screen.devicePixelRatio,
                                    Screen.height * Screen.devicePixelRatio)
                source: visible ? "image://preview/" + encodeURIComponent(root.look.currentPath) : ""
            }

            Loader {
                objectName: "previewVideo"
                anchors.fill: parent
                active: root.look.currentKind === "video"
                source: "VideoView.qml"
                onLoaded: item.source = Qt.binding(() => root.look.currentUrl)
            }

            Loader {
                objectName: "previewPdf"
                anchors.fill: parent
                active: root.look.currentKind === "pdf"
                source: "PdfView.qml"
                onLoaded: item.source = Qt.binding(() => root.look.currentUrl)
            }

            ScrollView {
                anchors.fill: parent
                anchors.margins: Theme.spacing
                visible: root.look.currentKind === "text"
                TextArea {
                    objectName: "previewText"
                    readOnly: true
                    activeFocusOnPress: false
                    activeFocusOnTab: false
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    font.family: "monospace"
                    text: parent.visible ? root.look.currentText : ""
                }
            }

            Column {
                anchors.centerIn: parent
                spacing: Theme.spacingRelaxed
                visible: root.look.currentKind === "other"
                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: "doc.text.fill"
                    size: 128
                }
                Label {
                    objectName: "previewName"
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: Math.min(implicitWidth, stage.width - 32)
                    elide: Text.ElideMiddle
                    textFormat: Text.PlainText
                    font.pixelSize: Theme.fontTitle2
                    text: root.look.currentName
                }
                Label {
                    anchors.horizontalCenter: parent.horizontalCenter
                    textFormat: Text.PlainText
                    opacity: 0.7
                    text: Format.bytes(root.look.currentSize)
                }
            }
        }

        ToolBar {
            id: bar
            anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
            focusPolicy: Qt.NoFocus
            ToolButton {
                id: back
                anchors { left: parent.left; verticalCenter: parent.verticalCenter }
                focusPolicy: Qt.NoFocus
                enabled: root.look.currentIndex > 0
                text: "‹"
                onClicked: root.look.previous()
            }
            ToolButton {
                id: forward
                anchors { left: back.right; verticalCenter: parent.verticalCenter }
                focusPolicy: Qt.NoFocus
                enabled: root.look.currentIndex + 1 < root.look.count
                text: "›"
                onClicked: root.look.next()
            }
            Label {
                objectName: "previewCaption"
                anchors { left: forward.right; right: shut.left; leftMargin: 8; rightMargin: 8
                          verticalCenter: parent.verticalCenter }
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideMiddle
                textFormat: Text.PlainText
                text: root.look.count > 1
                      ? root.look.currentName + "  ·  " + (root.look.currentIndex + 1) + "/" + root.look.count
                      : root.look.currentName
            }
            ToolButton {
                id: shut
                anchors { right: parent.right; verticalCenter: parent.verticalCenter }
                focusPolicy: Qt.NoFocus
                icon.source: "image://icon/xmark.circle.fill"
                onClicked: root.look.close()
            }
        }
    }
}
