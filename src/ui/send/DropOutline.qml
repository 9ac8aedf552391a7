import QtQuick
import QtQuick.Shapes

// A rounded box with a dashed border that lights up while something is dragged over it.
Shape {
    id: root
    property bool highlighted: false
    property real radius: 14
    ShapePath {
        strokeWidth: root.highlighted ? 2 : 1.5
        strokeColor: root.highlighted ? "#0a84ff" : Qt.rgba(0.5, 0.5, 0.55, 0.55)
        strokeStyle: ShapePath.DashLine
        dashPattern: [4, 3]
        fillColor: root.highlighted ? Qt.rgba(0.04, 0.52, 1, 0.08) : "transparent"
        startX: root.radius; startY: 0
        PathLine { x: root.width - root.radius; y: 0 }
        PathArc { x: root.width; y: root.radius; radiusX: root.radius; radiusY: root.radius }
        PathLine { x: root.width; y: root.height - root.radius }
        PathArc { x: root.width - root.radius; y: root.height; radiusX: root.radius; radiusY: root.radius }
        PathLine { x: root.radius; y: root.height }
        PathArc { x: 0; y: root.height - root.radius; radiusX: root.radius; radiusY: root.radius }
        PathLine { x: 0; y: root.radius }
        PathArc { x: root.radius; y: 0; radiusX: root.radius; radiusY: root.radius }
    }
}
