// kyscatter: the scatter plug-in's whole job from a shell.
#include <exception>
#include <iostream>
#include <optional>

#include "builtinSurface.h"
#include "errors.h"
#include "meshIO.h"
#include "options.h"
#include "pointWriter.h"
#include "scatterRun.h"
#include "summary.h"

using namespace kyscatter;

namespace {

// The mesh of --attach: the scattered mesh's vertices moved, or a Failure that says how it differs.
Mesh readDeformed(const Options& options, const Mesh& rest, const Notice& notice)
{
    Mesh deformed = readMesh(options.attachPath, notice);
    const std::string difference = topologyDifference(rest, deformed);
    if (!difference.empty())
        throw Failure("'" + options.attachPath + "' is not " +
                      (options.meshPath.empty() ? "the built-in torus knot" : "'" + options.meshPath + "'") +
                      " with its vertices moved: " + difference);
    return deformed;
}

// What the density map needs of the mesh file: its UVs for a texture, its vertex colours otherwise.
MeshExtras extrasFor(const NodeControls& controls)
{
    if (controls.densityTexture)
        return MeshExtras::textureCoordinates;
    return controls.density ? MeshExtras::vertexColors : MeshExtras::none;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const CommandLine line = parseCommandLine(argc, argv, std::cout);
        if (line.handled)
            return 0;
        const Options& options = line.options;
        auto notice = [&](const std::string& text) {
            if (!options.quiet)
                std::cerr << "kyscatter: " << text << std::endl;
        };

        for (const std::string& path : {options.outPath, options.imagePath})
            if (!path.empty())
                checkWritable(path);

        const Mesh mesh = options.meshPath.empty()
                              ? builtinSurface()
                              : readMesh(options.meshPath, notice, kLargeMeshFileBytes, extrasFor(options.controls));
        std::optional<Mesh> deformed;
        if (!options.attachPath.empty())
            deformed = readDeformed(options, mesh, notice);
        const double area = surfaceArea(mesh);
        const ScatterSettings settings = settingsFor(options, area);

        const ScatterResult result = runScatter(mesh, settings, deformed ? &*deformed : nullptr);
        if (!options.outPath.empty())
            writePoints(options.outPath, result.points, pointFormatFor(options.outPath),
                        options.normals ? &result.normals : nullptr);
        if (result.picture)
            writePng(options.imagePath, *result.picture);

        reportRun(std::cout, options, mesh, area, settings, result, deformed ? &*deformed : nullptr);
        return 0;
    } catch (const UsageError& error) {
        std::cerr << "kyscatter: " << error.what() << " (see kyscatter --help)\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kyscatter: " << error.what() << "\n";
        return 1;
    }
}
