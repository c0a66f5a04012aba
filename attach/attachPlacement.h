// Placing a record's points on the deformed mesh. A point's normal and rotation depend on its triangle alone, so each
// distinct triangle of the record is stood on once a frame; the points are placed in fixed chunks on a few threads.
// Every value is computed by the same calls on the same corners as one point at a time on one thread would be.
#pragma once

#include <maya/MVectorArray.h>

#include <functional>
#include <mutex>
#include <vector>

// The distinct triangles a record's points lie on, and which one each point lies on. Kept across frames, since a
// deformation moves the vertices and not the points; every frame checks each point against it, so a changed record
// is noticed however it was changed.
class TriangleTable {
public:
    // One cache line a triangle: the points of a long record reach them in no particular order.
    struct alignas(64) Triangle {
        int corners[3];  // vertex numbers, in the order the points name them
        double normal[3], rotation[3];  // on the mesh of the frame being placed
    };
    // Guards the table where Maya computes the node in more than one context at once.
    std::mutex lock;
    std::vector<unsigned int> triangleOfPoint;
    std::vector<Triangle> triangles;
};

struct PlacedChannels {
    MVectorArray position, normal, rotation, aimDirection;
};

// What placing the points reads and writes.
struct Placement {
    const MVectorArray& vertices;
    const MVectorArray& weights;
    const std::vector<float>& points;  // the deformed mesh's vertices, x, y, z after one another
    PlacedChannels& placed;            // sized to one value per point
};

// Places every point at its weights of its triangle's corners, standing on that triangle. Returns the number of the
// first point whose three vertices are not vertex numbers of the mesh, having placed nothing; the point count when
// every point is placed.
unsigned int placePoints(const Placement& job, TriangleTable& table);

// Runs task(item) for every item below `count`, on up to as many threads as the machine has cores; the calling thread
// takes part, and does the work alone where no thread can be started. The first exception a task throws stops the
// items not yet begun and is thrown again here, once every thread has ended.
void forEachItem(unsigned int count, const std::function<void(unsigned int)>& task);
