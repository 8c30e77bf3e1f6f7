// Delay from a combination report fed to the simulated Palmkey to the post
// of its host command at the first relay window, over many reports. Prints
// the median and the worst; asserts nothing.
//
// Two series: reports sent as soon as the previous command arrived (they
// land in the reader's 10 ms pause after each pass), and reports spaced
// 30 ms apart (the reader is already waiting in its read).
//
// usage: combination_delay_bench [REPORTS]   (default 200 per series)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
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

    auto series = [&](const char* name, std::chrono::milliseconds spacing) -> bool {
        std::vector<double> delaysMs;
        for (int index = 0; index < reports; ++index) {
            std::this_thread::sleep_for(spacing);
            const auto sent = Clock::now();
            simulator.WriteLine("combo 8");
            if (vellum.WaitCodes(1, 5s).empty()) {
                std::fprintf(stderr, "bench: report %d got no command\n", index);
                return false;
            }
            delaysMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            tadpole.WaitCodes(1, 5s);
            simulator.WaitForLine("combo 8", 5s);
        }
        std::sort(delaysMs.begin(), delaysMs.end());
        std::printf("%s: combination report -> command 39 at host 1, %zu reports\n", name,
                    delaysMs.size());
        std::printf("  median %.2f ms   p90 %.2f ms   worst %.2f ms   best %.2f ms\n",
                    delaysMs[delaysMs.size() / 2], delaysMs[delaysMs.size() * 9 / 10],
                    delaysMs.back(), delaysMs.front());
        return true;
    };
    const bool measured =
        series("back to back", 0ms) && series("spaced 30 ms", std::chrono::milliseconds(30));
    simulator.WriteLine("quit");
    simulator.WaitExit();
    return measured ? 0 : 1;
}
