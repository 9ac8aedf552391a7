import QtQuick
import QtQuick.Dialogs
import Skiff.Services

// A file or folder chooser: the desktop's own through the portal, Qt's where there is none or
// the portal refuses. `title` is also the accept button's label. Cancelling changes nothing.
Item {
    id: root
    property string title
    property bool folders: false
    property bool multiple: false
    property url currentFolder
    signal chosen(var urls)

    visible: false

    function open() {
        if (!portal.open(root.Window.window))
            qtDialog().open()
    }
    function qtDialog() { return root.folders ? folderDialog : fileDialog }

    FileChooser {
        id: portal
        title: root.title
        acceptLabel: root.title
        folders: root.folders
        multiple: root.multiple
        currentFolder: root.currentFolder
        onAccepted: urls => root.chosen(urls)
        onFailed: root.qtDialog().open()
    }
    FileDialog {
        id: fileDialog
        title: root.title
        acceptLabel: root.title
        fileMode: root.multiple ? FileDialog.OpenFiles : FileDialog.OpenFile
        onAccepted: root.chosen(selectedFiles)
    }
    FolderDialog {
        id: folderDialog
        title: root.title
        acceptLabel: root.title
        currentFolder: root.currentFolder
        onAccepted: root.chosen([selectedFolder])
    }
}
