// The devkit's MFnMesh::getFaceVertexColors is not a const member: a source that reads colours through a const
// function set compiles against no real devkit.
#include <maya/MColorArray.h>
#include <maya/MFnMesh.h>
#include <maya/MString.h>

#ifdef KY_BREAK_RULE
MStatus coloursOf(const MFnMesh& meshFn, MColorArray& colours)
#else
MStatus coloursOf(MFnMesh& meshFn, MColorArray& colours)
#endif
{
    const MString set("colorSet1");
    return meshFn.getFaceVertexColors(colours, &set);
}
