import QtQuick
import QtQuick.Window

// Shows files one at a time, with next and previous.
Window {
    title: "Skiff"
    width: 800
    height: 600
}
