import QtQuick
import QtQuick.Controls
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
    property bool showNote: false
    // The one popover open: "qr", "settings", "help" or none.
    property string popover: ""
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
                                          : App.receivedEntries.length > 0 || App.receivedTexts.length > 0
                                            ? "received" : "waiting"

    // The shown view's main action: it has the focus when the view appears, so a screen reader
    // starts there, and Return presses it while nothing else has the focus.
    readonly property Item mainAction: !root.started ? (introduction.item ? introduction.item.mainAction : null)
                                       : root.tab === "recv" ? receiveTab.mainAction
                                       : sendScreen.item ? sendScreen.item.mainAction : null
    readonly property bool nothingFocused: !activeFocusItem || activeFocusItem === contentItem
    onMainActionChanged: focusMainAction()
    onActiveChanged: if (active && nothingFocused) focusMainAction()
    function focusMainAction() {
        if (root.mainAction && root.popover === "") root.mainAction.forceActiveFocus()
    }

    function togglePopover(name) { popover = popover === name ? "" : name }
    function closePopovers() { popover = "" }
    // A popover that closes itself (Escape, a click outside) gives up its place.
    function popoverClosed(name) { if (popover === name) popover = "" }
    function chooseTab(tab) { stored.tab = tab }
    function setGrid(grid) { stored.grid = grid }
    function setSkipIntro(skip) { stored.skipIntro = skip }
    function openSaveDir() { Qt.openUrlExternally(Format.fileUrl(App.saveDir)) }
    function chooseSaveFolder() {
        root.closePopovers()
        saveFolderChooser.open()
    }

    objectName: "mainWindow"
    title: "Skiff"
    minimumWidth: 900
    minimumHeight: 640
    width: 980
    height: 700
    visible: true
    color: Theme.window
    // The controls draw from the window's palette, not the application's: give them Theme's,
    // so buttons, fields and popovers turn dark with the rest.
    palette {
        window: Theme.window
        windowText: Theme.text
        base: Theme.palette.base
        alternateBase: Theme.palette.alternateBase
        text: Theme.text
        button: Theme.palette.button
        buttonText: Theme.text
        brightText: "white"
        light: Theme.palette.light
        midlight: Theme.palette.midlight
        mid: Theme.palette.mid
        dark: Theme.palette.dark
        shadow: Theme.palette.shadow
        highlight: Theme.accent
        highlightedText: "white"
        link: Theme.accentText
        placeholderText: Theme.secondary
        toolTipBase: Theme.raised
        toolTipText: Theme.text
    }

    StoredSettings { id: stored }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: root.nothingFocused
        onActivated: if (root.mainAction && root.mainAction.clicked) root.mainAction.clicked()
    }
    Shortcut {
        sequences: ["Ctrl+1"]
        enabled: root.started
        onActivated: root.chooseTab("recv")
    }
    Shortcut {
        sequences: ["Ctrl+2"]
        enabled: root.started
        onActivated: root.chooseTab("send")
    }
    Shortcut {
        sequences: ["Ctrl+Tab"]
        enabled: root.started
        onActivated: root.chooseTab(root.tab === "recv" ? "send" : "recv")
    }
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

            // Made the first time its tab is chosen, then kept with what was typed in it.
            Loader {
                id: sendScreen
                width: working.width
                height: working.height
                x: root.tab === "send" ? 0 : working.width
                visible: x < working.width
                active: root.tab === "send" || status === Loader.Ready
                Behavior on x {
                    enabled: root.animate
                    SpringAnimation { spring: 4; damping: 0.4; epsilon: 0.5 }
                }
                sourceComponent: SendScreen {
                    objectName: "sendScreen"
                    animate: root.animate && sendScreen.visible
                }
            }
        }

        // Made only while it shows or fades: most starts skip it, and it is the window's
        // largest view.
        Loader {
            id: introduction
            anchors.fill: parent
            opacity: root.started ? 0 : 1
            active: opacity > 0
            visible: opacity > 0
            enabled: !root.started
            Behavior on opacity {
                enabled: root.animate
                NumberAnimation { duration: 280; easing.type: Easing.InOutQuad }
            }
            sourceComponent: Introduction {
                animate: root.animate && introduction.visible
                skipIntro: stored.skipIntro
                onStart: root.started = true
                onSkipIntroToggled: skip => stored.skipIntro = skip
            }
        }
    }

    // The card comes above everything: whatever popover was open gives way to it.
    ApproveSheet {
        animate: root.animate
        onVisibleChanged: if (visible) root.closePopovers()
    }

    MissingAlert {
        anchors.centerIn: parent
        onOpenFolder: root.openSaveDir()
    }

    DesktopChooser {
        id: saveFolderChooser
        title: "Chọn thư mục nhận"
        folders: true
        currentFolder: Format.fileUrl(App.saveDir)
        onChosen: urls => App.setSaveDirUrl(urls[0])
    }
}
