import QtQuick
import QtQuick.Controls
import QtMultimedia

// A video with play/pause and a position bar; starts playing when shown.
Item {
    id: root
    property url source

    function clock(ms) {
        const seconds = Math.floor(ms / 1000);
        return Math.floor(seconds / 60) + ":" + String(seconds % 60).padStart(2, "0");
    }

    MediaPlayer {
        id: player
        source: root.source
        videoOutput: output
        audioOutput: AudioOutput {}
        onSourceChanged: play()
    }

    VideoOutput {
        id: output
        anchors { left: parent.left; right: parent.right; top: parent.top; bottom: controls.top }
    }

    Item {
        id: controls
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 44

        ToolButton {
            id: playPause
            anchors { left: parent.left; verticalCenter: parent.verticalCenter }
            focusPolicy: Qt.NoFocus
            text: player.playbackState === MediaPlayer.PlayingState ? "⏸" : "▶"
            onClicked: player.playbackState === MediaPlayer.PlayingState ? player.pause() : player.play()
        }
        Slider {
            anchors { left: playPause.right; right: time.left; verticalCenter: parent.verticalCenter }
            focusPolicy: Qt.NoFocus
            from: 0
            to: Math.max(player.duration, 1)
            value: player.position
            enabled: player.seekable
            onMoved: player.position = value
        }
        Label {
            id: time
            anchors { right: parent.right; rightMargin: 8; verticalCenter: parent.verticalCenter }
            text: root.clock(player.position) + " / " + root.clock(player.duration)
        }
    }
}
