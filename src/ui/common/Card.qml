import QtQuick

// A card on the window: a slightly lifted fill with a hairline edge and large corners.
Rectangle {
    radius: Theme.radiusLarge + 2
    color: Theme.card
    border.width: 1
    border.color: Theme.divider
}
