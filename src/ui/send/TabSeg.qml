import QtQuick
import Skiff.Common
import Skiff.Model

// Switches between the receive and the send tab; each segment counts its files.
SegmentedControl {
    id: root
    property string tab: "recv"
    property int nRecv: App.receivedCount
    property int nSend: App.sharedEntries.length
    // The person picked tab "recv" or "send".
    signal tabChosen(string tab)

    current: tab
    segments: [{ key: "recv", title: "Nhận", symbol: "arrow.down", count: nRecv,
                 countColor: Theme.secondary },
               { key: "send", title: "Gửi sang điện thoại", symbol: "arrow.up", count: nSend,
                 countColor: Theme.accent }]
    onChosen: key => root.tabChosen(key)
}
