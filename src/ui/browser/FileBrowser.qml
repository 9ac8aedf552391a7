import QtQuick

// The received or shared files in a grid or a list.
Item {
    property bool grid: true
}
