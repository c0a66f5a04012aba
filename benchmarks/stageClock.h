// Times the compute's own stages through its observer: the device is waited for at each stage boundary.
#pragma once

#include <chrono>

#include "scatter/scatterCompute.h"

struct StageSeconds {
    double areas = 0, candidates = 0, cellTable = 0, phases = 0, selection = 0, collect = 0;
    double total() const { return areas + candidates + cellTable + phases + selection + collect; }
    StageSeconds& operator+=(const StageSeconds& other);
};

class StageClock : public StageObserver {
public:
    // Starts the clock; the first stage counts from here.
    void start();
    const StageSeconds& seconds() const { return seconds_; }

    void areasReady(const AreaView&) override { seconds_.areas = lap(); }
    void candidatesReady(const CandidateView&) override { seconds_.candidates = lap(); }
    void cellTableReady(const CellTableView&) override { seconds_.cellTable = lap(); }
    void phasesReady() override { seconds_.phases = lap(); }
    void selectionDone() override { seconds_.selection = lap(); }
    void samplesReady(const ScatterResult&) override { seconds_.collect = lap(); }

protected:
    double lap();
    // Leaves out of the next stage's time whatever the observer itself did since the last lap.
    void skip();

private:
    std::chrono::steady_clock::time_point last_;
    StageSeconds seconds_;
};

// The primitives no compute can avoid: a stable sort by key of 1,000,000 keys and 1,000,000 uniform floats.
double timeUnavoidablePrimitives();
