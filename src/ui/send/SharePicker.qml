import QtQuick
import QtQuick.Dialogs
import Skiff.Model

// The open dialogs for sharing, through the desktop portal where there is one. Confirmed
// choices go to the model in one call; cancelling changes nothing.
Item {
    id: root
    visible: false

    // Files were shared through one of the dialogs (the sharing strip then shows the send tab).
    signal shared()

    // Several files.
    function open() {
        files.open()
    }
    // A folder: every visible file of its tree.
    function openFolder() {
        folder.open()
    }

    FileDialog {
        id: files
        title: "Chia sẻ"
        acceptLabel: "Chia sẻ"
        fileMode: FileDialog.OpenFiles
        onAccepted: {
            App.shareUrls(selectedFiles)
            root.shared()
        }
    }
    FolderDialog {
        id: folder
        title: "Chia sẻ thư mục"
        acceptLabel: "Chia sẻ thư mục"
        onAccepted: {
            App.shareUrls([selectedFolder])
            root.shared()
        }
    }
}
