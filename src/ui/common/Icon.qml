import QtQuick

// A symbol drawn at `size` in `color`: the desktop theme's icon where it has one, else ours.
Image {
    id: root
    property string symbol
    property int size: 16
    property color color: Theme.secondary
    width: size
    height: size
    sourceSize: Qt.size(size * 2, size * 2)
    source: symbol ? "image://icon/" + symbol + "?c=" + String(color).replace("#", "") : ""
    fillMode: Image.PreserveAspectFit
    smooth: true
}
