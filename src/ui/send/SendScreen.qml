import QtQuick

// The send tab: what the computer shares with the phones.
Item {
    property bool animate: true
}
