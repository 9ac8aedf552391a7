pragma Singleton
import QtQuick

// The window's colours, taken from the desktop palette so light and dark both follow the system.
QtObject {
    id: root
    readonly property SystemPalette palette: SystemPalette { colorGroup: SystemPalette.Active }
    readonly property bool dark: palette.window.hslLightness < 0.5

    readonly property color text: palette.windowText
    // Secondary text keeps 4.5:1 on the window and on cards in both schemes.
    readonly property color secondary: Qt.rgba(text.r, text.g, text.b, 0.72)
    readonly property color tertiary: Qt.rgba(text.r, text.g, text.b, 0.35)
    readonly property color accent: palette.highlight
    // The accent as text or a symbol on the window: lighter in the dark, for contrast.
    readonly property color accentText: dark ? Qt.lighter(palette.highlight, 1.6) : palette.highlight
    readonly property color window: palette.window
    readonly property color card: dark ? Qt.lighter(palette.window, 1.35) : Qt.darker(palette.window, 1.04)
    readonly property color raised: dark ? Qt.lighter(palette.window, 1.6) : palette.base
    readonly property color divider: Qt.rgba(text.r, text.g, text.b, 0.14)
    // Plain controls: their fill at rest, under the pointer and pressed; the focus ring.
    readonly property color control: dark ? Qt.lighter(palette.window, 1.45) : palette.base
    readonly property color hover: dark ? Qt.lighter(palette.window, 1.7) : Qt.darker(palette.base, 1.04)
    readonly property color pressed: dark ? Qt.lighter(palette.window, 2.0) : Qt.darker(palette.base, 1.1)
    readonly property color focus: dark ? Qt.lighter(palette.highlight, 1.5) : palette.highlight

    // Text sizes follow the desktop's font: the views were drawn for a 13 px body, and every
    // size keeps its ratio to it when the desktop's text is larger or smaller.
    readonly property Text systemText: Text { font: Qt.application.font }
    readonly property real textScale: systemText.fontInfo.pixelSize > 0 ? systemText.fontInfo.pixelSize / 13 : 1
    readonly property int fontCaption2: Math.round(10 * textScale)
    readonly property int fontCaption: Math.round(11 * textScale)
    readonly property int fontFootnote: Math.round(12 * textScale)
    readonly property int fontBody: Math.round(13 * textScale)
    readonly property int fontCallout: Math.round(14 * textScale)
    readonly property int fontHeadline: Math.round(15 * textScale)
    readonly property int fontTitle3: Math.round(17 * textScale)
    readonly property int fontTitle2: Math.round(20 * textScale)
    readonly property int fontTitle1: Math.round(22 * textScale)
    readonly property int fontDigits: Math.round(26 * textScale)
    readonly property int fontLargeTitle: Math.round(28 * textScale)

    // One scale of corners and spaces for every view.
    readonly property int radius: 6
    readonly property int radiusLarge: 12
    readonly property int spacingTiny: 2
    readonly property int spacingSmall: 4
    readonly property int spacingCompact: 6
    readonly property int spacing: 8
    readonly property int spacingRelaxed: 12
    readonly property int spacingLarge: 16
    readonly property int spacingHuge: 24
    readonly property color green: dark ? "#32d74b" : "#1f9d3a"
    readonly property color orange: dark ? "#ff9f0a" : "#e07a00"
    readonly property color red: dark ? "#ff6961" : "#d12f1f"
    // Behind white text: the same deep red in both schemes.
    readonly property color destructive: "#c01c28"
    readonly property color blue: dark ? "#409cff" : "#0a6fe0"
}
