import QtQuick

// A symbol drawn at `size`, from the desktop's icon theme.
Image {
    property string symbol
    property int size: 16
    width: size
    height: size
    sourceSize: Qt.size(size, size)
    source: symbol ? "image://icon/" + symbol : ""
    fillMode: Image.PreserveAspectFit
}
