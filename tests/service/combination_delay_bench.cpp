// Delay from a combination report fed to the simulated Palmkey to the post
// of its host command at the first relay window, over many reports. Prints
// the median and the worst; asserts nothing.
//
// usage: combination_delay_bench [REPORTS]   (default 200)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "service_harness.h"

using namespace service_test;

int main(int argc, char* argv[]) {
    const int reports = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    Session session;
    auto rows = BuiltInRows();
    rows[0].combination = 8;  // combination number 8 -> row 0 -> host command 39
    session.WriteDeliveredDocument(MakeDocument(0, rows, BuiltInRows()));
    Relay vellum("TfrmForward", "Vellum");
    Relay tadpole("TfrmTadpoleForward", "ZanTadpoleResend");

    auto simulator = Process::Start(
        {(BinDir() / "palmkey-sim").string(), "--", session.ProgramPath().string()}, true);
    if (!simulator.WaitForLine("started") || !session.WaitForServiceWindow()) {
        std::fprintf(stderr, "bench: the service did not start\n");
        return 1;
    }
    // The first report also waits for the first poll to open the device.
    simulator.WriteLine("combo 8");
    if (vellum.WaitCodes(1) != std::vector<std::uint64_t>{39} || tadpole.WaitCodes(1).empty()) {
        std::fprintf(stderr, "bench: no command 39 arrived\n");
        return 1;
    }

    std::vector<double> delaysMs;
    for (int index = 0; index < reports; ++index) {
        const auto sent = Clock::now();
        simulator.WriteLine("combo 8");
        if (vellum.WaitCodes(1, 5s).empty()) {
            std::fprintf(stderr, "bench: report %d got no command\n", index);
            return 1;
        }
        delaysMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        tadpole.WaitCodes(1, 5s);
        simulator.WaitForLine("combo 8", 5s);
    }
    simulator.WriteLine("quit");
    simulator.WaitExit();

    std::sort(delaysMs.begin(), delaysMs.end());
    std::printf("combination report -> host command 39 at host 1, %zu reports\n", delaysMs.size());
    std::printf("  median %.2f ms\n", delaysMs[delaysMs.size() / 2]);
    std::printf("  p90    %.2f ms\n", delaysMs[delaysMs.size() * 9 / 10]);
    std::printf("  worst  %.2f ms\n", delaysMs.back());
    std::printf("  best   %.2f ms\n", delaysMs.front());
    return 0;
}
