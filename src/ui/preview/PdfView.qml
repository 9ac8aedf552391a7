import QtQuick
import QtQuick.Pdf

// A PDF document, every page, scrolled.
Item {
    id: root
    property url source

    PdfMultiPageView {
        anchors.fill: parent
        document: PdfDocument { source: root.source }
    }
}
