import QtQuick
import QtQuick.Dialogs
import Skiff.Model
import Skiff.Services

// The choosers for sharing: the desktop's own through the portal, Qt's where there is none.
// Confirmed choices go to the model in one call; cancelling changes nothing.
Item {
    id: root
    visible: false

    // Files were shared through one of the dialogs (the sharing strip then shows the send tab).
    signal shared()

    function share(urls) {
        App.shareUrls(urls)
        root.shared()
    }
    // Several files.
    function open() {
        if (!portalFiles.open(root.Window.window))
            files.open()
    }
    // A folder: every visible file of its tree.
    function openFolder() {
        if (!portalFolder.open(root.Window.window))
            folder.open()
    }

    FileChooser {
        id: portalFiles
        objectName: "portalFiles"
        title: "Chia sẻ"
        acceptLabel: "Chia sẻ"
        multiple: true
        onAccepted: urls => root.share(urls)
        onFailed: files.open()
    }
    FileChooser {
        id: portalFolder
        objectName: "portalFolder"
        title: "Chia sẻ thư mục"
        acceptLabel: "Chia sẻ thư mục"
        folders: true
        onAccepted: urls => root.share(urls)
        onFailed: folder.open()
    }

    FileDialog {
        id: files
        title: "Chia sẻ"
        acceptLabel: "Chia sẻ"
        fileMode: FileDialog.OpenFiles
        onAccepted: root.share(selectedFiles)
    }
    FolderDialog {
        id: folder
        title: "Chia sẻ thư mục"
        acceptLabel: "Chia sẻ thư mục"
        onAccepted: root.share([selectedFolder])
    }
}
