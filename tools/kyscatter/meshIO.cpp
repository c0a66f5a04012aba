#include "meshIO.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "errors.h"
#include "plyFile.h"

namespace kyscatter {
namespace {

void checkReadable(const std::string& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        throw Failure("cannot read '" + path + "': no such file");
    if (std::filesystem::is_directory(status))
        throw Failure("cannot read '" + path + "': it is a directory");
    std::ifstream probe(path, std::ios::binary);
    if (!probe)
        throw Failure("cannot read '" + path + "': " + std::strerror(errno));
}

// The colour of each corner of a face, from its vertex.
void appendCornerColors(const aiMesh& source, const aiFace& face, Mesh& mesh)
{
    for (unsigned k = 0; k < face.mNumIndices; ++k) {
        const aiColor4D& c = source.mColors[0][face.mIndices[k]];
        mesh.cornerColors.push_back({c.r, c.g, c.b, c.a});
    }
}

void appendCornerUVs(const aiMesh& source, const aiFace& face, Mesh& mesh)
{
    for (unsigned k = 0; k < face.mNumIndices; ++k) {
        const aiVector3D& uv = source.mTextureCoords[0][face.mIndices[k]];
        mesh.cornerUVs.push_back({uv.x, uv.y});
    }
}

void appendMesh(const aiMesh& source, const aiMatrix4x4& transform, MeshExtras extras, Mesh& mesh)
{
    const std::size_t base = mesh.vertexCount();
    if (base + source.mNumVertices > static_cast<std::size_t>(INT_MAX))
        throw Failure("the mesh has more vertices than the host's mesh can take");
    for (unsigned i = 0; i < source.mNumVertices; ++i) {
        const aiVector3D p = transform * source.mVertices[i];
        mesh.points.insert(mesh.points.end(), {p.x, p.y, p.z});
    }
    for (unsigned f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        // Points and lines carry no area to scatter on.
        if (face.mNumIndices < 3)
            continue;
        mesh.counts.push_back(static_cast<int>(face.mNumIndices));
        for (unsigned k = 0; k < face.mNumIndices; ++k)
            mesh.connects.push_back(static_cast<int>(base + face.mIndices[k]));
        if (extras == MeshExtras::vertexColors)
            appendCornerColors(source, face, mesh);
        if (extras == MeshExtras::textureCoordinates)
            appendCornerUVs(source, face, mesh);
    }
}

void appendNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent, MeshExtras extras, Mesh& mesh)
{
    const aiMatrix4x4 transform = parent * node.mTransformation;
    for (unsigned m = 0; m < node.mNumMeshes; ++m)
        appendMesh(*scene.mMeshes[node.mMeshes[m]], transform, extras, mesh);
    for (unsigned c = 0; c < node.mNumChildren; ++c)
        appendNode(scene, *node.mChildren[c], transform, extras, mesh);
}

// Every mesh has the colours or UVs asked for.
void checkExtras(const aiScene& scene, const std::string& path, MeshExtras extras)
{
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        if (extras == MeshExtras::vertexColors && !scene.mMeshes[m]->HasVertexColors(0))
            throw Failure("'" + path + "' has no vertex colours");
        if (extras == MeshExtras::textureCoordinates && !scene.mMeshes[m]->HasTextureCoords(0))
            throw Failure("'" + path + "' has no UVs (texture coordinates) to read a density texture at");
    }
}

std::string megabytes(std::uintmax_t bytes)
{
    std::ostringstream text;
    text.precision(1);
    text << std::fixed << static_cast<double>(bytes) / (1024.0 * 1024.0) << " MB";
    return text.str();
}

// A PLY header says what its file holds: what the importer read must be that, whole.
void checkAgainstPlyHeader(const std::string& path, const PlyHeader& header, const aiScene& scene)
{
    std::uint64_t vertices = 0, faces = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        vertices += scene.mMeshes[m]->mNumVertices;
        faces += scene.mMeshes[m]->mNumFaces;
    }
    const std::uint64_t declaredVertices = header.count("vertex"), declaredFaces = header.count("face");
    if (vertices != declaredVertices || faces != declaredFaces)
        throw Failure("'" + path + "' declares " + plyCountText("vertex", declaredVertices) + " and " +
                      plyCountText("face", declaredFaces) + ", but the importer read " +
                      plyCountText("vertex", vertices) + " and " + plyCountText("face", faces));
}

Mesh readWithImporter(const std::string& path, const std::optional<PlyHeader>& ply, MeshExtras extras)
{
    if (ply && ply->count("face") == 0)
        throw Failure("'" + path + "' has no faces");
    if (ply)
        checkPlyRecords(path, *ply);
    Assimp::Importer importer;
    // Only positions (and colours or UVs, when asked for) matter; dropping the rest lets vertices that differ in
    // normals or UVs merge.
    const bool colors = extras == MeshExtras::vertexColors, uvs = extras == MeshExtras::textureCoordinates;
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS,
                                aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS |
                                    (colors ? 0 : aiComponent_COLORS) | (uvs ? 0 : aiComponent_TEXCOORDS) |
                                    aiComponent_BONEWEIGHTS | aiComponent_ANIMATIONS |
                                    aiComponent_TEXTURES | aiComponent_LIGHTS |
                                    aiComponent_CAMERAS | aiComponent_MATERIALS);
    // The counts are compared before the vertices are joined.
    const aiScene* scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (scene && ply)
        checkAgainstPlyHeader(path, *ply, *scene);
    if (scene)
        scene = importer.ApplyPostProcessing(aiProcess_RemoveComponent | aiProcess_JoinIdenticalVertices);
    if (!scene || !scene->mRootNode)
        throw Failure("cannot read '" + path + "': " + importer.GetErrorString());

    checkExtras(*scene, path, extras);
    Mesh mesh;
    appendNode(*scene, *scene->mRootNode, aiMatrix4x4(), extras, mesh);
    return mesh;
}

}  // namespace

Mesh readMesh(const std::string& path, const Notice& notice, std::uintmax_t largeFileBytes, MeshExtras extras)
{
    checkReadable(path);
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
    if (!ec && bytes >= largeFileBytes && notice)
        notice("reading '" + path + "' (" + megabytes(bytes) + ")...");

    const bool colors = extras == MeshExtras::vertexColors;
    // The importer passes over triangle strips without a word; they are read here instead.
    const std::optional<PlyHeader> ply = readPlyHeader(path);
    const bool strips = ply && ply->element("tristrips");
    if (strips && extras == MeshExtras::textureCoordinates)
        throw Failure("'" + path + "' stores triangle strips, whose UVs (texture coordinates) the tool does not read");
    const Mesh mesh = strips ? readPlyMesh(path, *ply, colors) : readWithImporter(path, ply, extras);
    if (mesh.counts.empty())
        throw Failure("'" + path + "' has no faces");
    for (float c : mesh.points) {
        if (!std::isfinite(c))
            throw Failure("'" + path + "' has a vertex with a coordinate that is not a finite number");
    }
    return mesh;
}

}  // namespace kyscatter
