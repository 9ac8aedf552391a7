import QtQuick
import Skiff.Model
import Skiff.Services

// The choosers for sharing. Confirmed choices go to the model in one call.
Item {
    id: root
    visible: false

    // Files were shared through one of the choosers (the sharing strip then shows the send tab).
    signal shared()

    function share(urls) {
        App.shareUrls(urls)
        root.shared()
    }
    // Several files.
    function open() { files.open() }
    // A folder: every visible file of its tree.
    function openFolder() { folder.open() }

    DesktopChooser {
        id: files
        title: "Chia sẻ"
        multiple: true
        onChosen: urls => root.share(urls)
    }
    DesktopChooser {
        id: folder
        title: "Chia sẻ thư mục"
        folders: true
        onChosen: urls => root.share(urls)
    }
}
