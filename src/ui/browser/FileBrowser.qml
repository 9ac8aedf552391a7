import QtQuick
import QtQuick.Controls
import Skiff.Common
import QtQuick.Window
import Skiff.Model
import Skiff.Browser

// Files as a grid of pictures or a list of rows. The selection lives in the model, so the
// Space key and redraws see the same one; the browser itself keeps only the hovered entry.
Item {
    id: root
    // [{id, path, url, name, size, detail, warning, removable, files}] as the model lists them;
    // `files` counts the files of a received folder, 0 for a file.
    property var entries: []
    property bool grid: true
    property int tileSize: 168
    readonly property string selection: App.selection
    property string hover: ""
    // Moves every couple of seconds while shown, so tiles notice files deleted meanwhile.
    property int epoch: 0
    readonly property color textColor: Theme.text
    readonly property color secondaryColor: Theme.secondary
    // The view in use, for scrolling from outside.
    readonly property Flickable view: grid ? gridView : listView

    // An entry's file could not be shown because it is gone.
    signal missing(string name)
    // The remove button of a removable entry.
    signal remove(var entry)

    function select(entry) {
        App.selection = entry.id
    }

    function open(entry) {
        App.selection = entry.id
        // A received folder is one entry: it opens in the desktop's file manager.
        if (entry.files > 0) {
            if (FileFacts.exists(entry.path))
                Qt.openUrlExternally(entry.url)
            else
                root.missing(entry.name)
            return
        }
        if (!App.previewEntry(entry.id) && !FileFacts.exists(entry.path))
            root.missing(entry.name)
    }

    function setHover(id, on) {
        if (on)
            hover = id
        else if (hover === id)
            hover = ""
    }

    Timer {
        interval: 2000
        repeat: true
        // Not while the window is hidden or minimised: nothing would show the answer.
        running: root.visible && root.Window.window !== null && root.Window.window.visible
                 && root.Window.window.visibility !== Window.Minimized
        onTriggered: root.epoch++
    }

    GridView {
        id: gridView
        objectName: "fileGrid"
        readonly property int columns: Math.max(1, Math.floor(width / (root.tileSize + 22)))
        anchors.fill: parent
        anchors.margins: Theme.spacingCompact
        visible: root.grid
        model: root.grid ? root.entries : []
        cellWidth: Math.floor(width / columns)
        cellHeight: root.tileSize + 60
        reuseItems: true
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        delegate: Item {
            id: cell
            required property var modelData
            required property int index
            width: gridView.cellWidth
            height: gridView.cellHeight
            FileTile {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 5
                browser: root
                tileSize: root.tileSize
                modelData: cell.modelData
                index: cell.index
            }
        }
    }

    ListView {
        id: listView
        objectName: "fileList"
        anchors.fill: parent
        anchors.margins: Theme.spacingCompact
        visible: !root.grid
        model: root.grid ? [] : root.entries
        reuseItems: true
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}
        delegate: FileRow {
            width: listView.width
            browser: root
        }
    }
}
