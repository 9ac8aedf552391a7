import QtQuick

// A symbol by its symbol name, drawn from the window's icon images.
Image {
    id: root
    property string name
    property int size: 16
    width: size
    height: size
    sourceSize: Qt.size(size * 2, size * 2)
    source: name ? "image://icon/" + name : ""
    fillMode: Image.PreserveAspectFit
    smooth: true
}
