#pragma once
// Ours and a public tool's same work timed in the same iterations of one benchmark: each
// iteration runs both, back to back, and the benchmark reports our time alone. A ratio formed
// this way does not depend on which benchmark ran first, on the benchmarks' order at random,
// nor on load that came and went between two benchmarks: what slowed one side slowed the other.
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <string>

class PairedTiming {
public:
    // Times ours(), then peer(); sets the iteration's time to ours (the benchmark must use
    // UseManualTime).
    template <typename Ours, typename Peer>
    void iteration(benchmark::State& state, Ours&& ours, Peer&& peer)
    {
        QElapsedTimer t;
        t.start();
        ours();
        const double oursSeconds = double(t.nsecsElapsed()) * 1e-9;
        t.restart();
        peer();
        m_peer += double(t.nsecsElapsed()) * 1e-9;
        m_ours += oursSeconds;
        ++m_iterations;
        state.SetIterationTime(oursSeconds);
    }

    // Adds `name` (ours / peer over the same iterations) and the peer's mean time in
    // milliseconds as `peerName`.
    void report(benchmark::State& state, const std::string& name, const std::string& peerName)
    {
        if (m_iterations == 0 || !(m_peer > 0))
            return;
        state.counters[name] = m_ours / m_peer;
        state.counters[peerName] = m_peer * 1e3 / double(m_iterations);
    }

private:
    double m_ours = 0, m_peer = 0;
    long m_iterations = 0;
};
