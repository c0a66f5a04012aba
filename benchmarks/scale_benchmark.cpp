// The cost of a point as the point count grows, through the host: the unit icosphere (20,480 triangles) at four radii
// with the default controls and with stableLayout and strictRadius, and one frame of the attach node. Every case runs
// in a fresh process of its own, so that its peak memory is its own; every case runs for each plug-in given, one after
// the other, so that two builds are measured side by side in one run. Prints one markdown table.
//
//   scale_benchmark [--plugin PATH]... [--skip-big] [--no-stages] [--stable-candidates needed|default|N]
//                   [--device cpu|gpu|auto] [--only CASE]...
//
// Without --plugin: the one KY_PLUGIN names, else this build's. The stable cases' candidateCount is, by default, what
// the plug-in's layout says it needs at that radius (it warns and thins below it), asked of the plug-in in a probe
// compute of its own. Stage times come from a second compute of the same settings through the CPU road beside the
// plug-in, timed by its observer.
#include <dlfcn.h>
#include <unistd.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/host.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "attachScene.h"
#include "meshes.h"
#include "processMeasures.h"
#include "roads/scatterRoad.h"
#include "scatter/computeRoads.h"
#include "stageClock.h"

namespace {

struct Case {
    const char* id;
    const char* title;
    bool attach;     // one frame of the attach node, else a scatter compute of the icosphere
    bool stable;     // stableLayout and strictRadius on
    float radius;    // scatter: the radius; attach: unused
    int points;      // attach: the record's points
    bool big;        // left out by --skip-big
    bool cellOrder;  // attach: the points in the order of the scatter's cells, not in none
};

const std::vector<Case>& allCases()
{
    static const std::vector<Case> cases = {
        {"default-0.02", "defaults, radius 0.02", false, false, 0.02f, 0, false, false},
        {"default-0.01", "defaults, radius 0.01", false, false, 0.01f, 0, false, false},
        {"default-0.005", "defaults, radius 0.005", false, false, 0.005f, 0, false, false},
        {"default-0.0025", "defaults, radius 0.0025", false, false, 0.0025f, 0, false, false},
        {"stable-0.02", "stable + strict, radius 0.02", false, true, 0.02f, 0, false, false},
        {"stable-0.01", "stable + strict, radius 0.01", false, true, 0.01f, 0, false, false},
        {"stable-0.005", "stable + strict, radius 0.005", false, true, 0.005f, 0, false, false},
        {"stable-0.0025", "stable + strict, radius 0.0025", false, true, 0.0025f, 0, true, false},
        {"attach-100k", "attach, one frame, 100 k points", true, false, 0.0f, 100000, false, false},
        {"attach-1M", "attach, one frame, 1 M points", true, false, 0.0f, 1000000, false, false},
        {"attach-100k-cells", "attach, one frame, 100 k points in cell order", true, false, 0.0f, 100000, false, true},
        {"attach-1M-cells", "attach, one frame, 1 M points in cell order", true, false, 0.0f, 1000000, false, true},
    };
    return cases;
}

const Case* findCase(const std::string& id)
{
    for (const Case& c : allCases())
        if (id == c.id)
            return &c;
    return nullptr;
}

// What one case measured, as the child process prints it and the parent reads it back.
struct Measured {
    double points = 0, candidateCount = 0, wall = 0, cpu = 0, peakBytes = 0;
    StageSeconds stages;
    bool staged = false;
    std::string digest = "-";
};

// FNV-1a over every channel of a record, names and values in the record's order: equal digests, equal bytes.
class Digest {
public:
    void add(const void* data, std::size_t size)
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t k = 0; k < size; ++k)
            hash_ = (hash_ ^ bytes[k]) * 1099511628211ull;
    }
    std::string hex() const
    {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
        return text;
    }

private:
    unsigned long long hash_ = 14695981039346656037ull;
};

template <typename Array>
void addValues(Digest& digest, const Array& values)
{
    for (unsigned int i = 0; i < values.length(); ++i)
        digest.add(&values[i], sizeof values[i]);
}

std::string recordDigest(const MObject& record)
{
    MFnArrayAttrsData fn(record);
    const MStringArray names = fn.list();
    Digest digest;
    for (unsigned int k = 0; k < names.length(); ++k) {
        digest.add(names[k].asChar(), std::strlen(names[k].asChar()));
        MFnArrayAttrsData::Type type;
        fn.checkArrayExist(names[k], type);
        if (type == MFnArrayAttrsData::kVectorArray)
            addValues(digest, fn.getVectorData(names[k]));
        else if (type == MFnArrayAttrsData::kDoubleArray)
            addValues(digest, fn.getDoubleData(names[k]));
        else if (type == MFnArrayAttrsData::kIntArray)
            addValues(digest, fn.getIntData(names[k]));
        else {
            const MStringArray strings = fn.getStringData(names[k]);
            for (unsigned int i = 0; i < strings.length(); ++i)
                digest.add(strings[i].asChar(), std::strlen(strings[i].asChar()) + 1);
        }
    }
    return digest.hex();
}

void loadOrExit(const std::string& plugin)
{
    if (mayaStandin::loadPlugin(plugin) != MS::kSuccess) {
        std::cerr << "scale_benchmark: cannot load " << plugin << std::endl;
        std::exit(2);
    }
}

MObject icosphereData(const ScatterMesh& mesh)
{
    return attachScene::meshData(mesh);
}

// The road every compute of this process takes: --device cpu (the default), gpu or auto.
ComputeDevice computeDevice = ComputeDevice::cpu;

// A scatter node on the icosphere with the case's controls.
MObject scatterNode(const Case& c, const ScatterMesh& mesh, int candidateCount)
{
    MObject node = mayaStandin::createNode("kyScatterPoints");
    MObject data = icosphereData(mesh);
    mayaStandin::findPlug(node, "inMesh").setValue(data);
    mayaStandin::findPlug(node, "computeDevice").setValue(static_cast<int>(computeDevice));
    mayaStandin::findPlug(node, "radius").setValue(c.radius);
    mayaStandin::findPlug(node, "candidateCount").setValue(candidateCount);
    mayaStandin::findPlug(node, "stableLayout").setValue(c.stable ? 1 : 0);
    mayaStandin::findPlug(node, "strictRadius").setValue(c.stable ? 1 : 0);
    return node;
}

// One tiny compute first, so that the road is loaded and its threads started before anything is measured.
void warmUp(const ScatterMesh& mesh)
{
    Case tiny{"warm-up", "", false, false, 0.5f, 0, false, false};
    MObject node = scatterNode(tiny, mesh, kDefaultCandidateCount);
    MObject record;
    mayaStandin::findPlug(node, "outPoints").getValue(record);
    mayaStandin::deleteNode(node);
}

// Runs `work` once, its wall and processor seconds and the growth of the resident memory at its peak.
template <typename Work>
void measure(Work work, Measured& m)
{
    resetPeakMemory();
    const double residentBefore = statusBytes("VmRSS");
    const double cpuBefore = processorSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    work();
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    m.cpu = processorSeconds() - cpuBefore;
    m.peakBytes = statusBytes("VmHWM") - residentBefore;
}

// The CPU road beside the plug-in, when it was built from the same interface as this benchmark.
const ScatterRoad* roadBeside(const std::string& plugin)
{
    const std::string folder = plugin.find('/') == std::string::npos ? "." : plugin.substr(0, plugin.rfind('/'));
    void* library = dlopen((folder + "/" + kCpuRoadFile).c_str(), RTLD_NOW | RTLD_LOCAL);
    using Entry = const ScatterRoad* (*)();
    Entry entry = library != nullptr ? reinterpret_cast<Entry>(dlsym(library, "kyScatterRoad")) : nullptr;
    const ScatterRoad* road = entry != nullptr ? entry() : nullptr;
    if (road == nullptr || road->version != kScatterRoadVersion || road->settingsSize != sizeof(ScatterSettings) ||
        road->resultSize != sizeof(ScatterResult)) {
        std::cerr << "scale_benchmark: no stage times: the road beside " << plugin
                  << " is missing or of another interface" << std::endl;
        return nullptr;
    }
    return road;
}

void timeStages(const std::string& plugin, const Case& c, const ScatterMesh& mesh, int candidateCount, Measured& m)
{
    const ScatterRoad* road = roadBeside(plugin);
    if (road == nullptr)
        return;
    ScatterSettings settings;
    settings.radius = c.radius;
    settings.candidateCount = candidateCount;
    settings.stableLayout = c.stable;
    settings.strictRadius = c.stable;
    ScatterResult result;
    StageClock clock;
    clock.start();
    m.staged = road->scatterPoints(mesh, settings, result, &clock) == ScatterStatus::ok;
    m.stages = clock.seconds();
}

Measured runScatter(const std::string& plugin, const Case& c, int candidateCount, bool stages)
{
    loadOrExit(plugin);
    const ScatterMesh mesh = icosphere(5);
    warmUp(mesh);
    MObject node = scatterNode(c, mesh, candidateCount);
    MPlug out = mayaStandin::findPlug(node, "outPoints");
    MObject record;
    Measured m;
    MStatus status;
    measure([&]() { status = out.getValue(record); }, m);
    if (status != MS::kSuccess) {
        std::cerr << "scale_benchmark: the compute of " << c.id << " failed" << std::endl;
        std::exit(3);
    }
    m.points = MFnArrayAttrsData(record).getVectorData("position").length();
    m.candidateCount = candidateCount;
    m.digest = recordDigest(record);
    record = MObject();
    mayaStandin::deleteNode(node);
    if (stages)
        timeStages(plugin, c, mesh, candidateCount, m);
    return m;
}

// Frames alternate between two poses; two are computed before the measured one, whose record the host holds the
// while, as a viewport or an instancer would.
Measured runAttach(const std::string& plugin, const Case& c)
{
    loadOrExit(plugin);
    const attachScene::Scene scene = attachScene::makeScene(c.points, c.cellOrder);
    MObject node = mayaStandin::createNode("kyAttachPoints");
    MObject record = scene.record;
    mayaStandin::findPlug(node, "inPoints").setValue(record);
    MPlug inMesh = mayaStandin::findPlug(node, "inMesh");
    MPlug out = mayaStandin::findPlug(node, "outPoints");
    MObject attached;
    for (int frame = 0; frame < 3; ++frame) {
        MObject pose = scene.frames[frame % 2];
        inMesh.setValue(pose);
        if (frame < 2)
            out.getValue(attached);
    }
    Measured m;
    MStatus status;
    measure([&]() { status = out.getValue(attached); }, m);
    if (status != MS::kSuccess) {
        std::cerr << "scale_benchmark: the attach frame failed" << std::endl;
        std::exit(3);
    }
    m.points = c.points;
    m.digest = recordDigest(attached);
    return m;
}

// The candidateCount the plug-in's stable layout asks for at the case's radius: its warning names it; none, the
// default holds.
int neededCandidates(const std::string& plugin, const Case& c)
{
    loadOrExit(plugin);
    const ScatterMesh mesh = icosphere(5);
    MObject node = scatterNode(c, mesh, kDefaultCandidateCount);
    std::fflush(stderr);
    std::FILE* captured = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(captured), 2);
    MObject record;
    mayaStandin::findPlug(node, "outPoints").getValue(record);
    std::cerr.flush();
    dup2(saved, 2);
    close(saved);
    std::rewind(captured);
    std::string text;
    for (int ch = std::fgetc(captured); ch != EOF; ch = std::fgetc(captured))
        text.push_back(static_cast<char>(ch));
    std::fclose(captured);
    const std::string marker = "raise candidateCount to at least ";
    const std::size_t at = text.find(marker);
    return at == std::string::npos ? kDefaultCandidateCount : std::atoi(text.c_str() + at + marker.size());
}

std::string resultLine(const Measured& m)
{
    std::ostringstream line;
    line.precision(9);
    const StageSeconds& s = m.stages;
    line << "RESULT " << m.points << ' ' << m.candidateCount << ' ' << m.wall << ' ' << m.cpu << ' ' << m.peakBytes
         << ' ' << (m.staged ? 1 : 0) << ' ' << s.areas << ' ' << s.candidates << ' ' << s.cellTable << ' '
         << s.phases << ' ' << s.selection << ' ' << s.collect << ' ' << m.digest;
    return line.str();
}

bool parseResult(const std::string& text, Measured& m)
{
    const std::size_t at = text.rfind("\nRESULT ");
    if (at == std::string::npos)
        return false;
    std::istringstream line(text.substr(at + 8));
    int staged = 0;
    StageSeconds& s = m.stages;
    line >> m.points >> m.candidateCount >> m.wall >> m.cpu >> m.peakBytes >> staged >> s.areas >> s.candidates >>
        s.cellTable >> s.phases >> s.selection >> s.collect >> m.digest;
    m.staged = staged != 0;
    return !line.fail();
}

// The child's standard output, run as this program with `arguments`; its standard error passes through.
std::string runChild(const std::vector<std::string>& arguments)
{
    std::string command = "exec '/proc/" + std::to_string(getpid()) + "/exe'";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    std::FILE* child = popen(command.c_str(), "r");
    std::string text;
    if (child == nullptr)
        return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, child)) > 0;)
        text.append(buffer, n);
    pclose(child);
    return text;
}

struct Options {
    std::vector<std::string> plugins;
    std::vector<std::string> only;
    std::string stableCandidates = "needed";
    std::string device = "cpu";
    bool skipBig = false, stages = true;
    // Child modes.
    std::string caseId, probeId;
    int candidateCount = kDefaultCandidateCount;
};

int candidateCountFor(const Options& options, const std::string& plugin, const Case& c)
{
    if (!c.stable || options.stableCandidates == "default")
        return kDefaultCandidateCount;
    if (options.stableCandidates != "needed")
        return std::atoi(options.stableCandidates.c_str());
    const std::string text = runChild({"--probe", c.id, "--plugin", plugin, "--device", options.device});
    const std::size_t at = text.rfind("\nNEEDED ");
    return at == std::string::npos ? kDefaultCandidateCount : std::atoi(text.c_str() + at + 8);
}

std::string seconds(double value, int decimals = 3)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string grouped(double value)
{
    std::string digits = std::to_string(static_cast<long long>(value + 0.5));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string row(const Case& c, const std::string& label, const Measured& m)
{
    const double perPoint = m.points > 0 ? 1.0 / m.points : 0.0;
    std::ostringstream line;
    line << "| " << c.title << " | " << label << " | " << grouped(m.points) << " | "
         << (c.attach ? "" : grouped(m.candidateCount)) << " | " << seconds(m.wall) << " | " << seconds(m.cpu)
         << " | " << seconds(1e6 * m.cpu * perPoint, 2) << " | " << seconds(m.peakBytes / 1e6, 1) << " | "
         << grouped(m.peakBytes * perPoint) << " | ";
    const StageSeconds& s = m.stages;
    if (m.staged)
        line << seconds(s.areas) << " | " << seconds(s.candidates) << " | " << seconds(s.cellTable) << " | "
             << seconds(s.phases) << " | " << seconds(s.selection) << " | " << seconds(s.collect) << " | ";
    else
        line << "| | | | | | ";
    line << m.digest << " |";
    return line.str();
}

bool wanted(const Options& options, const Case& c)
{
    if (!options.only.empty())
        return std::find(options.only.begin(), options.only.end(), c.id) != options.only.end();
    return !(c.big && options.skipBig);
}

int drive(const Options& options)
{
    for (std::size_t k = 0; k < options.plugins.size(); ++k)
        std::cout << "- plug-in " << static_cast<char>('A' + k) << ": " << options.plugins[k] << "\n";
    std::cout << "\n| case | plug-in | points | candidateCount | compute s | CPU s | CPU µs/point | peak MB | "
                 "peak B/point | areas s | candidates s | cell table s | phases s | selection s | collect s | "
                 "record digest |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n"
              << std::flush;
    int failures = 0;
    for (const Case& c : allCases()) {
        if (!wanted(options, c))
            continue;
        for (std::size_t k = 0; k < options.plugins.size(); ++k) {
            const std::string& plugin = options.plugins[k];
            std::vector<std::string> arguments = {"--case",       c.id,
                                                  "--plugin",     plugin,
                                                  "--device",     options.device,
                                                  "--candidates", std::to_string(candidateCountFor(options, plugin, c))};
            if (!options.stages)
                arguments.push_back("--no-stages");
            Measured m;
            if (!parseResult(runChild(arguments), m)) {
                std::cerr << "scale_benchmark: " << c.id << " gave no result with " << plugin << std::endl;
                ++failures;
                continue;
            }
            std::cout << row(c, std::string(1, static_cast<char>('A' + k)), m) << "\n" << std::flush;
        }
    }
    return failures == 0 ? 0 : 1;
}

bool parseOptions(int argc, char** argv, Options& options)
{
    std::string candidates = std::to_string(kDefaultCandidateCount);
    const std::map<std::string, std::string*> single = {{"--stable-candidates", &options.stableCandidates},
                                                        {"--case", &options.caseId},
                                                        {"--probe", &options.probeId},
                                                        {"--candidates", &candidates},
                                                        {"--device", &options.device}};
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const auto found = single.find(a);
        if (found != single.end() && k + 1 < argc)
            *found->second = argv[++k];
        else if ((a == "--plugin" || a == "--only") && k + 1 < argc)
            (a == "--plugin" ? options.plugins : options.only).push_back(argv[++k]);
        else if (a == "--skip-big" || a == "--no-stages")
            (a == "--skip-big" ? options.skipBig : options.stages) = a == "--skip-big";
        else
            return false;
    }
    options.candidateCount = std::atoi(candidates.c_str());
    const std::map<std::string, ComputeDevice> devices = {
        {"cpu", ComputeDevice::cpu}, {"gpu", ComputeDevice::gpu}, {"auto", ComputeDevice::automatic}};
    const auto device = devices.find(options.device);
    if (device == devices.end())
        return false;
    computeDevice = device->second;
    const std::string& sc = options.stableCandidates;
    return sc == "needed" || sc == "default" || std::atoi(sc.c_str()) >= kMinCandidateCount;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "usage: scale_benchmark [--plugin PATH]... [--skip-big] [--no-stages] "
                     "[--stable-candidates needed|default|N] [--device cpu|gpu|auto] [--only CASE]...\n";
        return 2;
    }
    if (options.plugins.empty()) {
        const char* named = std::getenv("KY_PLUGIN");
        options.plugins.push_back(named != nullptr ? named : KY_PLUGIN_PATH);
    }
    const Case* probed = findCase(options.probeId);
    if (probed != nullptr) {
        const int needed = neededCandidates(options.plugins[0], *probed);
        std::cout << "\nNEEDED " << needed << std::endl;
        return 0;
    }
    const Case* measured = findCase(options.caseId);
    if (measured != nullptr) {
        const Measured m = measured->attach ? runAttach(options.plugins[0], *measured)
                                            : runScatter(options.plugins[0], *measured, options.candidateCount,
                                                         options.stages);
        std::cout << "\n" << resultLine(m) << std::endl;
        return 0;
    }
    if (!options.caseId.empty() || !options.probeId.empty()) {
        std::cerr << "scale_benchmark: no case " << options.caseId << options.probeId << std::endl;
        return 2;
    }
    return drive(options);
}
