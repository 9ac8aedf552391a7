import QtQuick
import Skiff.Browser

// One file's picture: the file type's icon until the thumbnail store's picture arrives, then
// the picture filling the square.
Item {
    id: root
    property string path
    property int side: 168
    // Pixel size asked of the thumbnail store: twice the side, for dense screens.
    property int pixels: side * 2
    // The picture has arrived; until then (and for files without one) the icon shows.
    readonly property bool loaded: picture.status === Image.Ready
    width: side
    height: side
    clip: true

    Image {
        anchors.fill: parent
        anchors.margins: root.side * 0.16
        visible: !root.loaded
        source: root.path ? FileFacts.iconSource(root.path) : ""
        sourceSize: Qt.size(128, 128)
        fillMode: Image.PreserveAspectFit
        smooth: true
    }
    Image {
        id: picture
        anchors.fill: parent
        source: root.path ? FileFacts.thumbSource(root.path, root.pixels) : ""
        asynchronous: true
        fillMode: Image.PreserveAspectCrop
        smooth: true
        opacity: root.loaded ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 120 } }
    }
}
