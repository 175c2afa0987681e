import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "RoundedRectangle"
    width: 300
    height: 300
    visible: true
    when: windowShown

    Rectangle { anchors.fill: parent; color: "#000000" }

    Component {
        id: shapeComponent
        RoundedRectangle { x: 10; y: 10; width: 101; height: 61; color: "#ffffff" }
    }

    function test_eachCornerHasItsOwnRadius() {
        const shape = createTemporaryObject(shapeComponent, testCase,
                                            { topLeftRadius: 0, topRightRadius: 20, bottomLeftRadius: 20, bottomRightRadius: 0 })
        waitForRendering(shape)
        const image = grabImage(testCase)
        // Square corners are filled to the very corner pixel; rounded ones leave it empty.
        compare(image.pixel(10, 10), "#ffffff")
        compare(image.pixel(110, 10), "#000000")
        compare(image.pixel(10, 70), "#000000")
        compare(image.pixel(110, 70), "#ffffff")
        // The middle and the edges between corners are filled; nothing outside is.
        compare(image.pixel(60, 40), "#ffffff")
        compare(image.pixel(60, 10), "#ffffff")
        compare(image.pixel(10, 40), "#ffffff")
        compare(image.pixel(112, 40), "#000000")
    }

    function test_radiusSetsAllCorners() {
        const shape = createTemporaryObject(shapeComponent, testCase, { radius: 12 })
        compare(shape.topLeftRadius, 12)
        compare(shape.topRightRadius, 12)
        compare(shape.bottomLeftRadius, 12)
        compare(shape.bottomRightRadius, 12)
        shape.bottomRightRadius = 3
        compare(shape.topLeftRadius, 12)
    }

    function test_quartersTileTheItemWithoutGapsOrOverlap() {
        const shape = createTemporaryObject(shapeComponent, testCase, { radius: 6 })
        let area = 0
        const quarters = []
        for (let i = 0; i < shape.children.length; ++i) {
            const q = shape.children[i]
            if (q.clip) {
                quarters.push(q)
                area += q.width * q.height
            }
        }
        compare(quarters.length, 4)
        compare(area, shape.width * shape.height)
    }

    function test_tooLargeRadiusIsLimitedToHalfTheShorterSide() {
        const shape = createTemporaryObject(shapeComponent, testCase, { radius: 100 })
        for (let i = 0; i < shape.children.length; ++i) {
            const q = shape.children[i]
            if (q.clip)
                compare(q.children[0].radius, 30.5)
        }
    }

    function test_borderFollowsTheOuterEdgeOnly() {
        const shape = createTemporaryObject(shapeComponent, testCase,
                                            { radius: 0, color: "#000000", borderWidth: 2, borderColor: "#ff0000" })
        waitForRendering(shape)
        const image = grabImage(testCase)
        compare(image.pixel(10, 40), "#ff0000")
        compare(image.pixel(60, 11), "#ff0000")
        // No seam where the quarters meet.
        compare(image.pixel(60, 40), "#000000")
        compare(image.pixel(61, 41), "#000000")
    }
}
