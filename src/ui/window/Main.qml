import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import Skiff.Model
import Skiff.Common
import Skiff.Browser
import Skiff.Send
import Skiff.Services
import Skiff.Sheets

// The one window: the introduction or the working view (header, receive or send tab), with the
// approval card over everything.
ApplicationWindow {
    id: root

    // The sharing strip is under a drag.
    property bool hover: false
    property bool showHelp: false
    property bool showNote: false
    property bool showQR: false
    property bool showSettings: false
    // The working view is shown (false: the introduction).
    property bool started: stored.skipIntroAtLaunch
    readonly property bool grid: stored.grid
    readonly property bool skipIntro: stored.skipIntro
    readonly property string tab: stored.tab

    // Whether the window can be seen at all; everything that moves stops while it cannot.
    readonly property bool onScreen: seen.visible
    readonly property bool animate: root.onScreen && !Motion.reduced

    // What the receive tab shows: live transfers, the received files, or the waiting card.
    readonly property string receiveMode: App.flows.length > 0 || App.incoming.uid !== undefined
                                          ? "transfer"
                                          : App.receivedEntries.length > 0 ? "received" : "waiting"

    function chooseTab(tab) { stored.tab = tab }
    function setGrid(grid) { stored.grid = grid }
    function setSkipIntro(skip) { stored.skipIntro = skip }
    function openSaveDir() { Qt.openUrlExternally(Format.fileUrl(App.saveDir)) }
    function chooseSaveFolder() {
        root.showSettings = false
        folderDialog.currentFolder = Format.fileUrl(App.saveDir)
        folderDialog.open()
    }

    objectName: "mainWindow"
    title: "Skiff"
    minimumWidth: 900
    minimumHeight: 640
    width: 980
    height: 700
    visible: true
    color: Theme.window

    StoredSettings { id: stored }
    Visibility { id: seen; window: root }
    SpaceKey { window: root; model: App }

    header: HeaderBar {
        id: headerBar
        main: root
    }

    Item {
        id: body
        anchors.fill: parent

        Item {
            id: working
            objectName: "workingView"
            anchors.fill: parent
            clip: true
            opacity: root.started ? 1 : 0
            visible: opacity > 0
            Behavior on opacity {
                enabled: root.animate
                NumberAnimation { duration: 280; easing.type: Easing.InOutQuad }
            }

            ReceiveTab {
                id: receiveTab
                width: working.width
                height: working.height
                x: root.tab === "recv" ? 0 : -working.width
                visible: x > -working.width
                main: root
                Behavior on x {
                    enabled: root.animate
                    SpringAnimation { spring: 4; damping: 0.4; epsilon: 0.5 }
                }
            }

            SendScreen {
                id: sendScreen
                objectName: "sendScreen"
                width: working.width
                height: working.height
                x: root.tab === "send" ? 0 : working.width
                visible: x < working.width
                animate: root.animate && visible
                Behavior on x {
                    enabled: root.animate
                    SpringAnimation { spring: 4; damping: 0.4; epsilon: 0.5 }
                }
            }
        }

        Introduction {
            id: introduction
            anchors.fill: parent
            opacity: root.started ? 0 : 1
            visible: opacity > 0
            enabled: !root.started
            animate: root.animate && visible
            skipIntro: stored.skipIntro
            onStart: root.started = true
            onSkipIntroToggled: skip => stored.skipIntro = skip
            Behavior on opacity {
                enabled: root.animate
                NumberAnimation { duration: 280; easing.type: Easing.InOutQuad }
            }
        }
    }

    ApproveSheet { animate: root.animate }

    MissingAlert {
        anchors.centerIn: parent
        onOpenFolder: root.openSaveDir()
    }

    FolderDialog {
        id: folderDialog
        title: "Chọn thư mục nhận"
        acceptLabel: "Chọn thư mục nhận"
        onAccepted: App.setSaveDirUrl(selectedFolder)
    }
}
